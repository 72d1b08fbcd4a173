#include <cstdio>
#include <string>
#include <vector>

#include "app/app.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    // The window opens here once it exists; until then say how to use the command line.
    std::fputs(trimbrel::UsageText().c_str(), stderr);
    return trimbrel::kExitUsage;
  }
  return trimbrel::RunHeadless(args, stdout, stderr);
}
