#include <cstdio>

#include "app/app.hpp"

int main() {
  std::printf("trimbrel %s\n", trimbrel::ProgramVersion());
  return 0;
}
