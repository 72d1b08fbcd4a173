// Opens the window program, which lives in a module of its own so that the
// command line never loads the window's libraries.
#pragma once

#include <string>
#include <vector>

namespace trimbrel {

// Runs the window program and returns its exit status. `photos` (absolute
// paths) are run in the window as a drop of them would be, once it is up;
// with none the window only opens. `programPath` is the program's argv[0].
// When the module is not there (a build without the window), says so on
// stderr and returns kExitUsage.
int OpenWindowProgram(const char* programPath, const std::vector<std::string>& photos);

}  // namespace trimbrel
