// Where the window program keeps its settings file. A "Trimbrel.ini"
// beside the executable means a portable copy: that file is used and the
// program folder becomes the current directory. Otherwise the file lives in
// the user's configuration folder, wherever the program runs from.
#pragma once

#include <string>

namespace trimbrel {

inline constexpr const char* kIniFileName = "Trimbrel.ini";

struct IniLocation {
  std::string path;
  bool portable = false;  // beside the executable
};

// `programFolder` without a trailing "/"; `configHome` is $XDG_CONFIG_HOME
// and `home` the user's home folder (either may be empty). With neither the
// path is empty. The folders of the path are not created here.
IniLocation ChooseIniLocation(const std::string& programFolder, const std::string& configHome,
                              const std::string& home);

}  // namespace trimbrel
