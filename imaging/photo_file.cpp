#include "imaging/photo_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace trimbrel {

namespace {

Error CannotOpen(int error) {
  return Fail("cannot open: " + std::error_code(error, std::generic_category()).message());
}

}  // namespace

Result<PhotoFile> PhotoFile::open(const std::string& path) {
  if (path.empty()) return Fail("cannot open: no path");
  // O_NONBLOCK changes nothing for the regular files that are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return CannotOpen(errno);
  PhotoFile file(fd, 0);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return CannotOpen(errno);
  if (S_ISDIR(info.st_mode)) return Fail("cannot open: a folder");
  if (!S_ISREG(info.st_mode)) return Fail("cannot open: not a regular file");
  file.size_ = static_cast<std::uint64_t>(info.st_size);
  return file;
}

PhotoFile::PhotoFile(PhotoFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

PhotoFile& PhotoFile::operator=(PhotoFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

PhotoFile::~PhotoFile() {
  if (fd_ >= 0) ::close(fd_);
}

Result<std::size_t> PhotoFile::read(std::uint8_t* into, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, into + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return CannotOpen(errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace trimbrel
