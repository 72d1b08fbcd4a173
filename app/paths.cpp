#include "app/paths.hpp"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>

#include "platform/platform.hpp"

namespace trimbrel {

std::string DirectoryOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string();
  return std::string(path.substr(0, slash));
}

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

std::string BaseNameOf(std::string_view path) {
  std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

Result<void> CreateDirectories(std::string_view path) {
  std::string_view whole = path;
  while (whole.size() > 1 && whole.back() == '/') whole.remove_suffix(1);
  for (std::size_t slash = path.find('/'); slash != std::string_view::npos;
       slash = path.find('/', slash + 1)) {
    // The empty level before the "/" of an absolute path is the root.
    if (slash == 0) continue;
    const std::string level(path.substr(0, slash));
    if (IsDirectory(level)) continue;
    // A level that exists as a file is not a folder the pictures can go into;
    // mkdir refuses it with EEXIST. EEXIST from a folder made meanwhile by
    // someone else is fine.
    if (::mkdir(level.c_str(), 0777) == 0) continue;
    int err = errno;
    if (err == EEXIST) {
      if (IsDirectory(level)) continue;
      err = ENOTDIR;
    }
    const std::string words = SystemReason(err);
    return Fail(level == whole ? words : level + ": " + words);
  }
  return {};
}

bool PathExists(std::string_view path) {
  struct stat st {};
  return ::lstat(std::string(path).c_str(), &st) == 0;
}

}  // namespace trimbrel
