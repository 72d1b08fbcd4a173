// The window program as a loadable module: the command line loads it (and
// with it Qt) only when a window is to be opened, so a headless run starts
// as fast as a program that never heard of Qt.
#include "desktop/desktop.hpp"

extern "C" __attribute__((visibility("default"))) int trimbrel_window_main(int argc, char** argv) {
  return trimbrel::RunWindowProgram(argc, argv);
}
