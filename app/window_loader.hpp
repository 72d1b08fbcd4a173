// Opens the window program, which lives in a module of its own so that the
// command line never loads the window's libraries.
#pragma once

namespace trimbrel {

// Runs the window program and returns its exit status. When the module is
// not there (a build without the window), says so on stderr and returns
// kExitUsage.
int OpenWindowProgram(int argc, char** argv);

}  // namespace trimbrel
