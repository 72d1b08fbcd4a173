#include "imaging/atomic_file.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

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

// A hidden name beside the target that no other writer is likely to pick.
std::string HiddenName(const std::string& folder) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static std::atomic<unsigned long> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long mix = static_cast<unsigned long>(now.tv_nsec) ^ (counter.fetch_add(1) << 20) ^
                        (static_cast<unsigned long>(::gettid()) << 40);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005UL + 1442695040888963407UL;
      b ^= static_cast<unsigned char>(mix >> 56);
    }
  }
  std::string name = folder + "/.trimbrel-";
  for (unsigned char b : bytes) name += kLetters[b % (sizeof kLetters - 1)];
  return name;
}

// Refusals of O_TMPFILE that mean "not here" rather than "not at all": the
// file system or the kernel lacks it, so a named temporary may still work.
bool UnnamedRefused(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOENT; }

struct ProcPath {
  char text[40];
  explicit ProcPath(int fd) { std::snprintf(text, sizeof text, "/proc/self/fd/%d", fd); }
};

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

FileFault Fault(FileFault::Step step, int code) { return FileFault{step, code != 0 ? code : EIO}; }

constexpr int kNameAttempts = 100;

}  // namespace

std::string FaultText(const FileFault& fault) {
  const char* lead = "无法写入文件";
  if (fault.step == FileFault::Create) lead = "无法创建文件";
  if (fault.step == FileFault::Write) lead = "文件写入失败";
  return std::string(lead) + ": " + std::strerror(fault.code);
}

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
  registration_.forget();
}

int AtomicFile::openNamed(const std::string& folder) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = HiddenName(folder);
    // Registered before it exists, so an interrupt at any moment finds it.
    registration_.aboutToMake(name);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      registration_.made();
      temporary_ = name;
      return fd;
    }
    const int err = errno;
    registration_.forget();
    if (err != EEXIST) {
      errno = err;
      return -1;
    }
  }
  errno = EEXIST;
  return -1;
}

Result<void, FileFault> AtomicFile::open(const std::string& target, bool replace) {
  discard();
  target_ = target;
  replace_ = replace;
  // A file that exists but may not be written stays as it is; one that may
  // keeps its permissions, as it would if it were overwritten in place.
  mode_t mode = 0666 & ~CurrentUmask();
  struct stat st {};
  if (!replace && ::lstat(target.c_str(), &st) == 0) return Fault(FileFault::Target, EEXIST);
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    if (S_ISDIR(st.st_mode)) return Fault(FileFault::Target, EISDIR);
    if (::access(target.c_str(), W_OK) != 0) return Fault(FileFault::Target, errno);
  }
  const std::string folder = FolderOf(target);
  int fd = -1;
  if (kind_ == Temporary::Unnamed) {
    fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0 && !UnnamedRefused(errno)) return Fault(FileFault::Create, errno);
    // Without /proc the file could never be given its name.
    struct stat linkable {};
    if (fd >= 0 && ::stat(ProcPath(fd).text, &linkable) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) fd = openNamed(folder);
  if (fd < 0) return Fault(FileFault::Create, errno);
  // The temporary is made private or with the umask; the result gets the
  // permissions chosen above.
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int err = errno;
    ::close(fd);
    discard();
    return Fault(FileFault::Create, err);
  }
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  return {};
}

Result<void, FileFault> AtomicFile::placeUnnamed(int fd) {
  const ProcPath source(fd);
  if (::linkat(AT_FDCWD, source.text, AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
  int err = errno;
  // A link never replaces; an existing target is replaced by renaming a
  // hidden second name of the file over it.
  if (err != EEXIST || !replace_) return Fault(FileFault::Place, err);
  const std::string folder = FolderOf(target_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string hidden = HiddenName(folder);
    registration_.aboutToMake(hidden);
    if (::linkat(AT_FDCWD, source.text, AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      registration_.made();
      const bool renamed = ::rename(hidden.c_str(), target_.c_str()) == 0;
      err = errno;
      if (!renamed) ::unlink(hidden.c_str());
      registration_.forget();
      if (renamed) return {};
      return Fault(FileFault::Place, err);
    }
    err = errno;
    registration_.forget();
    if (err != EEXIST) return Fault(FileFault::Place, err);
  }
  return Fault(FileFault::Place, EEXIST);
}

Result<void, FileFault> AtomicFile::commit() {
  if (file_ == nullptr) return Fault(FileFault::Write, EBADF);
  // An unnamed file is linked after the close, which may still report a
  // write error, through a second descriptor that keeps it open.
  int keep = -1;
  if (temporary_.empty()) {
    keep = ::fcntl(fileno(file_), F_DUPFD_CLOEXEC, 0);
    if (keep < 0) {
      const int err = errno;
      discard();
      return Fault(FileFault::Place, err);
    }
  }
  errno = 0;
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  int err = errno;
  const bool closed = std::fclose(file_) == 0;
  if (!closed && flushed) err = errno;
  file_ = nullptr;
  if (!flushed || !closed) {
    if (keep >= 0) ::close(keep);
    discard();
    return Fault(FileFault::Write, err);
  }
  if (keep >= 0) {
    auto placed = placeUnnamed(keep);
    ::close(keep);
    return placed;
  }
  const int renamed = replace_ ? ::rename(temporary_.c_str(), target_.c_str())
                               : RenameWithoutReplacing(temporary_.c_str(), target_.c_str());
  if (renamed != 0) {
    err = errno;
    discard();
    return Fault(FileFault::Place, err);
  }
  temporary_.clear();
  registration_.forget();
  return {};
}

}  // namespace trimbrel
