#include <string>
#include <vector>

#include "app/app.hpp"

// Given photos or options, trims without a window; given nothing or
// --window, opens it.
int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "trimbrel";
  const trimbrel::WindowOpener openWindow = [program](const std::vector<std::string>& photos) {
    return trimbrel::OpenWindowProgram(program, photos);
  };
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (args.empty()) return openWindow({});
  return trimbrel::RunCommandLine(args, stdout, stderr, openWindow);
}
