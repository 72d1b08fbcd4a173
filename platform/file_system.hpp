// Small questions to the file system that several folders ask.
#pragma once

#include <string>

namespace trimbrel {

// What a path names now, following links; false when it cannot be asked.
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// The folder of the running executable, without a trailing "/" (empty for
// one in the root folder, or when the system does not say).
std::string ExecutableFolder();

}  // namespace trimbrel
