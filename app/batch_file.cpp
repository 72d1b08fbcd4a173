#include "app/batch_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace trimbrel {

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

Result<PhotoBytes> ReadPhotoFile(const std::string& path) {
  if (path.empty()) return Fail("cannot open: empty path");
  FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return Fail(std::string("cannot open: ") + std::strerror(errno));
  struct stat st {};
  if (fstat(file.fd, &st) != 0) return Fail(std::string("cannot open: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Fail(S_ISDIR(st.st_mode) ? "cannot open: a folder" : "cannot open: not a regular file");
  if (static_cast<std::uint64_t>(st.st_size) > kMaxPhotoFileBytes) return Fail("too large: file of " + std::to_string(st.st_size) + " bytes");
  PhotoBytes bytes(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(file.fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(std::string("cannot open: ") + std::strerror(errno));
    if (n == 0) break;  // shrunk meanwhile: decode what is there
    done += static_cast<std::size_t>(n);
  }
  bytes.shrink(done);
  return bytes;
}

}  // namespace trimbrel
