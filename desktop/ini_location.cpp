#include "desktop/ini_location.hpp"

#include "platform/platform.hpp"

namespace trimbrel {

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

}  // namespace trimbrel
