// Writes a small seed corpus of icon and cursor files made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    WriteSeed(folder, "masked.ico", MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 24, SeedNoise)}}));
    WriteSeed(folder, "alpha.cur", MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 32, SeedNoise)}}, 2));
    WriteSeed(folder, "two.ico",
          MakeIconFile({{48, 48, 0, MakeIconBitmap(3, 3, 32, SeedNoise, false)}, {32, 32, 16, MakePng(4, 4, SeedNoise)}}));
  });
}
