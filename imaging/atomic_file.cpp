#include "imaging/atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace trimbrel {

namespace {

// The process's umask, read without changing it: umask() can only be read by
// setting it, which would race with other threads creating files.
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return static_cast<mode_t>(022);
  }();
  return mask;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string Reason(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

// A rename that never replaces: atomic where the file system can do it, else
// after a last look, which leaves a moment for another program's file to
// appear and be replaced.
int RenameWithoutReplacing(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  struct stat st {};
  if (::lstat(to, &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from, to);
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

bool AtomicFile::open(const std::string& target, std::string& error, bool replace) {
  discard();
  target_ = target;
  replace_ = replace;
  // A file that exists but may not be written stays as it is; one that may
  // keeps its permissions, as it would if it were overwritten in place.
  mode_t mode = 0666 & ~CurrentUmask();
  struct stat st {};
  if (!replace && ::lstat(target.c_str(), &st) == 0) {
    error = Reason("无法写入文件", EEXIST);
    return false;
  }
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    if (S_ISDIR(st.st_mode)) {
      error = Reason("无法写入文件", EISDIR);
      return false;
    }
    if (::access(target.c_str(), W_OK) != 0) {
      error = Reason("无法写入文件", errno);
      return false;
    }
  }
  std::string name = FolderOf(target) + "/.trimbrel-XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) {
    error = Reason("无法创建文件", errno);
    return false;
  }
  temporary_ = buffer.data();
  // mkstemp makes the file private; the result gets the usual permissions.
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int err = errno;
    ::close(fd);
    discard();
    error = Reason("无法创建文件", err);
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  return true;
}

bool AtomicFile::commit(std::string& error) {
  if (file_ == nullptr) {
    error = "文件句柄为空的";
    return false;
  }
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  int err = errno;
  const bool closed = std::fclose(file_) == 0;
  if (!closed && flushed) err = errno;
  file_ = nullptr;
  if (!flushed || !closed) {
    discard();
    error = Reason("文件写入失败", err);
    return false;
  }
  const int renamed = replace_ ? ::rename(temporary_.c_str(), target_.c_str())
                               : RenameWithoutReplacing(temporary_.c_str(), target_.c_str());
  if (renamed != 0) {
    err = errno;
    discard();
    error = Reason("无法写入文件", err);
    return false;
  }
  temporary_.clear();
  return true;
}

}  // namespace trimbrel
