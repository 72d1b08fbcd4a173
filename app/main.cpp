#include <cstdio>
#include <string>
#include <vector>

#include "app/app.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    // The window opens here once it exists. Until then a start without
    // arguments asked for nothing wrong: show how to trim from the command line.
    std::fputs(trimbrel::UsageText().c_str(), stdout);
    return 0;
  }
  return trimbrel::RunHeadless(args, stdout, stderr);
}
