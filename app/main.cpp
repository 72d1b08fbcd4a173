#include <string>
#include <vector>

#include "app/app.hpp"

// Given photos or options, trims without a window; given nothing, opens it.
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return trimbrel::OpenWindowProgram(argc, argv);
  return trimbrel::RunHeadless(args, stdout, stderr);
}
