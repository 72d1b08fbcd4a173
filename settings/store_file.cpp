#include "settings/store_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

constexpr std::size_t kMoveBlock = 64 * 1024;

// pread and pwrite may move fewer bytes than asked, or be interrupted: repeat
// until all of them moved. A return of 0 (end of file, full disk) is a failure.
template <class Byte, class Io>
bool TransferAll(Io io, int fd, Byte* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = io(fd, data, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return true;
}

bool ReadAt(int fd, char* data, std::size_t size, off_t offset) { return TransferAll(::pread, fd, data, size, offset); }

bool WriteAt(int fd, const char* data, std::size_t size, off_t offset) {
  return TransferAll(::pwrite, fd, data, size, offset);
}

// Moves [from, from + length) to `to`, block by block, in the order that never
// overwrites bytes still to be moved.
bool MoveBytes(int fd, off_t from, off_t length, off_t to) {
  if (length <= 0 || from == to) return true;
  std::vector<char> block(static_cast<std::size_t>(std::min<off_t>(length, kMoveBlock)));
  off_t done = 0;
  while (done < length) {
    const off_t chunk = std::min<off_t>(length - done, static_cast<off_t>(block.size()));
    // Moving forward copies from the end backwards, moving back from the start.
    const off_t at = to > from ? length - done - chunk : done;
    if (!ReadAt(fd, block.data(), static_cast<std::size_t>(chunk), from + at)) return false;
    if (!WriteAt(fd, block.data(), static_cast<std::size_t>(chunk), to + at)) return false;
    done += chunk;
  }
  return true;
}

// Replaces `gone` bytes at `at` of a file of `fileSize` bytes with `bytes`,
// the tail moving in blocks; errno says why when it fails.
bool Splice(int fd, off_t fileSize, off_t at, off_t gone, std::string_view bytes) {
  const off_t tailFrom = at + gone;
  const off_t tailLength = fileSize - tailFrom;
  const off_t added = static_cast<off_t>(bytes.size());
  errno = 0;
  if (added > gone) {
    const int reserved = ::posix_fallocate(fd, fileSize, added - gone);  // returns the error, not errno
    if (reserved != 0) {
      errno = reserved;
      return false;
    }
    if (!MoveBytes(fd, tailFrom, tailLength, at + added)) return false;
    return WriteAt(fd, bytes.data(), bytes.size(), at);
  }
  if (!WriteAt(fd, bytes.data(), bytes.size(), at)) return false;
  if (added == gone) return true;
  if (!MoveBytes(fd, tailFrom, tailLength, at + added)) return false;
  return ::ftruncate(fd, fileSize - (gone - added)) == 0;
}

}  // namespace

StoreFile::~StoreFile() { close(); }

Result<void> StoreFile::open(const std::string& path) {
  close();
  // Close-on-exec: a file manager or browser started by the window must not
  // inherit the descriptor and with it the lock.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Fail("cannot open: " + SystemReason(errno));
  struct stat st {};
  const char* refusal = ::fstat(fd, &st) != 0           ? "cannot open: no status"
                        : !S_ISREG(st.st_mode)           ? "cannot open: not a regular file"
                        : ::flock(fd, LOCK_EX | LOCK_NB) ? "locked by another program"
                                                         : nullptr;
  if (refusal != nullptr) {
    ::close(fd);
    return Fail(refusal);
  }
  // Absolute, so a later change of the current directory does not make the
  // file look replaced.
  std::error_code error;
  path_ = std::filesystem::absolute(path, error).string();
  if (error) path_ = path;
  fd_ = fd;
  return {};
}

void StoreFile::close() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock with the descriptor
  fd_ = -1;
  path_.clear();
}

Result<std::string> StoreFile::readAll() const {
  if (fd_ < 0) return Fail("not open");
  TRIMBREL_TRY_ASSIGN(const FileBytes bytes, ReadWholeDescriptor(fd_));
  return std::string(bytes.text());
}

Result<void> StoreFile::replace(std::uint64_t offset, std::size_t removed, std::string_view bytes,
                                std::uint64_t expectedSize) {
  if (fd_ < 0) return Fail("not open");
  struct stat st {}, atPath {};
  if (::fstat(fd_, &st) != 0 || ::stat(path_.c_str(), &atPath) != 0) return Fail("replaced or removed");
  if (st.st_dev != atPath.st_dev || st.st_ino != atPath.st_ino) return Fail("replaced or removed");
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (size != expectedSize || offset > size || removed > size - offset) return Fail("changed by another program");
  if (!Splice(fd_, st.st_size, static_cast<off_t>(offset), static_cast<off_t>(removed), bytes)) {
    return Fail("cannot write: " + SystemReason(errno != 0 ? errno : EIO));
  }
  return {};
}

}  // namespace trimbrel
