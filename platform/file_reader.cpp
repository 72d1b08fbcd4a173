#include "platform/file_reader.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <system_error>
#include <utility>

namespace trimbrel {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

Error CannotOpen(int error) {
  return Fail("cannot open: " + std::error_code(error, std::generic_category()).message());
}

// pread may move fewer bytes than asked, or be interrupted: repeat until all
// of them moved or the file ends.
Result<std::size_t> ReadAt(int fd, std::uint8_t* into, std::size_t count, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, into + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return CannotOpen(errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

Result<FileBytes> ReadRange(int fd, std::uint64_t from, std::uint64_t size, std::uint64_t maxBytes) {
  if (size > maxBytes) return Fail("too large: a file of " + std::to_string(size) + " bytes");
  FileBytes bytes(static_cast<std::size_t>(size));
  TRIMBREL_TRY_ASSIGN(auto done, ReadAt(fd, bytes.data(), bytes.size(), from));
  bytes.shrink(done);  // shrunk meanwhile: what is there
  return bytes;
}

}  // namespace

// Reading a large file into fresh memory faults in one page per 4 KB, and
// those faults cost about as much again as the copy (some 6 ms for an 8 MB
// photo, a twentieth of decoding it). Aligned to 2 MB, the whole 2 MB spans
// can be given huge pages, one fault each; the rest stays in small pages,
// so no more memory is touched than the file needs.
FileBytes::FileBytes(std::size_t size) : size_(size) {
  void* p = nullptr;
  if (size >= kHugePage) {
    if (::posix_memalign(&p, kHugePage, size) != 0) p = nullptr;
    if (p != nullptr) ::madvise(p, size / kHugePage * kHugePage, MADV_HUGEPAGE);  // a hint: refused is fine
  } else {
    p = std::malloc(std::max<std::size_t>(size, 1));
  }
  if (p == nullptr) throw std::bad_alloc();
  data_.reset(static_cast<std::uint8_t*>(p));
}

void FileBytes::Release::operator()(std::uint8_t* p) const { std::free(p); }

Result<InputFile> InputFile::open(const std::string& path) {
  if (path.empty()) return Fail("cannot open: no path");
  // O_NONBLOCK changes nothing for the regular files that are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return CannotOpen(errno);
  InputFile file(fd, 0);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return CannotOpen(errno);
  if (S_ISDIR(info.st_mode)) return Fail("cannot open: a folder");
  if (!S_ISREG(info.st_mode)) return Fail("cannot open: not a regular file");
  file.size_ = static_cast<std::uint64_t>(info.st_size);
  return file;
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), position_(other.position_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    position_ = other.position_;
  }
  return *this;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

Result<std::size_t> InputFile::read(std::uint8_t* into, std::size_t count) {
  auto done = ReadAt(fd_, into, count, position_);
  if (done) position_ += done.value();
  return done;
}

bool InputFile::lockShared() { return ::flock(fd_, LOCK_SH | LOCK_NB) == 0; }

Result<FileBytes> InputFile::readRest(std::uint64_t maxBytes) {
  auto bytes = ReadRange(fd_, position_, size_ - std::min(position_, size_), maxBytes);
  if (bytes) position_ += bytes.value().size();
  return bytes;
}

Result<FileBytes> ReadWholeFile(const std::string& path, std::uint64_t maxBytes) {
  TRIMBREL_TRY_ASSIGN(auto file, InputFile::open(path));
  return file.readRest(maxBytes);
}

Result<FileHead> ReadFileHead(const std::string& path, std::size_t count, std::uint64_t maxBytes) {
  TRIMBREL_TRY_ASSIGN(InputFile file, InputFile::open(path));
  if (file.size() > maxBytes) return Fail("too large: a file of " + std::to_string(file.size()) + " bytes");
  FileBytes bytes(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), count)));
  TRIMBREL_TRY_ASSIGN(const std::size_t done, file.read(bytes.data(), bytes.size()));
  const bool ended = done < bytes.size();
  bytes.shrink(done);
  return FileHead{std::move(file), std::move(bytes), ended};
}

Result<FileBytes> ReadFileRest(FileHead& head) {
  if (head.whole()) return std::move(head.bytes);
  FileBytes bytes(static_cast<std::size_t>(head.file.size()));
  const std::size_t have = head.bytes.size();
  std::copy(head.bytes.span().begin(), head.bytes.span().end(), bytes.data());
  head.bytes.release();
  TRIMBREL_TRY_ASSIGN(const std::size_t done, head.file.read(bytes.data() + have, bytes.size() - have));
  bytes.shrink(have + done);  // shrunk meanwhile: what is there
  return bytes;
}

Result<FileBytes> ReadWholeDescriptor(int fd, std::uint64_t maxBytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return CannotOpen(errno);
  if (!S_ISREG(info.st_mode)) return Fail("cannot open: not a regular file");
  return ReadRange(fd, 0, static_cast<std::uint64_t>(info.st_size), maxBytes);
}

}  // namespace trimbrel
