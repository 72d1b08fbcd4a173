// The command line: trims the photos named on it without a window, the
// INI file or a change of the current directory, or hands them to the
// window when asked to.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace trimbrel {

inline constexpr int kExitOk = 0;
inline constexpr int kExitSomePhotosFailed = 1;
inline constexpr int kExitUsage = 2;

// Opens the window and runs these photos (absolute paths; none: only the
// window) in it; returns the window program's exit status.
using WindowOpener = std::function<int(const std::vector<std::string>& photos)>;

// `args` without the program name. `openWindow` is called for --window
// only. Returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   const WindowOpener& openWindow);

}  // namespace trimbrel
