// The window program as a loadable module: the command line loads it (and
// with it Qt) only when a window is to be opened, so a headless run starts
// as fast as a program that never heard of Qt.
#include <cstddef>
#include <string>
#include <vector>

#include "desktop/desktop.hpp"

// `argv` is for Qt; `photos` are absolute paths to run in the window once it
// is up, as if they had been dropped on it.
extern "C" __attribute__((visibility("default"))) int trimbrel_window_main(int argc, char** argv,
                                                                           const char* const* photos,
                                                                           std::size_t photoCount) {
  std::vector<std::string> paths;
  paths.reserve(photoCount);
  for (std::size_t i = 0; i < photoCount; ++i) paths.emplace_back(photos[i]);
  return trimbrel::RunWindowProgram(argc, argv, std::move(paths));
}
