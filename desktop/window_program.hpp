// The window program from start to end: the settings file, the main window,
// the signals and the session manager that ask it to close.
#pragma once

#include <string>
#include <vector>

namespace trimbrel {

// Runs until the main window has closed; returns the exit status. `photos`
// run in the window as a drop of them would, once it is up; with none the
// window only opens.
int RunWindowProgram(int argc, char** argv, std::vector<std::string> photos = {});

}  // namespace trimbrel
