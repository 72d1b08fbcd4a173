// Writes a small seed corpus of PNG files made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    WriteSeed(folder, "rgba.png", MakePng(7, 5, SeedNoise, {.alpha = true}));
    WriteSeed(folder, "grey.png", MakePng(7, 5, SeedNoise, {.grey = true}));
    WriteSeed(folder, "wide.png", MakePng(5, 4, SeedNoise, {.bitDepth = 16, .interlaced = true}));
    WriteSeed(folder, "wide-srgb.png", MakePng(5, 4, SeedNoise, {.bitDepth = 16, .alpha = true, .srgbChunk = true}));
  });
}
