// The window program from start to end: the settings file, the main window,
// the signals and the session manager that ask it to close.
#pragma once

namespace trimbrel {

// Runs until the main window has closed; returns the exit status.
int RunWindowProgram(int argc, char** argv);

}  // namespace trimbrel
