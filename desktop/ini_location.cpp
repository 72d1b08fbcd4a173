#include "desktop/ini_location.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace trimbrel {

namespace {
bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
}  // namespace

IniLocation ChooseIniLocation(const std::string& programFolder, const std::string& configHome,
                              const std::string& home) {
  const std::string beside = programFolder + "/" + kIniFileName;
  if (!programFolder.empty() && IsRegularFile(beside)) return {beside, true};
  // A relative $XDG_CONFIG_HOME is invalid and to be ignored.
  std::string base;
  if (!configHome.empty() && configHome.front() == '/') {
    base = configHome;
  } else if (!home.empty()) {
    base = home + "/.config";
  } else {
    return {};  // no home to keep settings in: the program runs without saving them
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return {base + "/trimbrel/" + kIniFileName, false};
}

std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(n));
      const std::size_t slash = path.rfind('/');
      if (slash == std::string::npos) return {};
      return slash == 0 ? std::string() : path.substr(0, slash);
    }
    if (buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace trimbrel
