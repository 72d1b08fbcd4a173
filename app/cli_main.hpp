// The command line: trims the photos named on it without a window, the
// INI file or a change of the current directory.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace trimbrel {

inline constexpr int kExitOk = 0;
inline constexpr int kExitSomePhotosFailed = 1;
inline constexpr int kExitUsage = 2;

// `args` without the program name. Returns the exit status.
int RunHeadless(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace trimbrel
