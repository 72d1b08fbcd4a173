// Writes a small seed corpus of PNG files made by our own generators.
#include <filesystem>
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  WriteSeed(folder, "rgba.png", MakePng(7, 5, SeedNoise, {.alpha = true}));
  WriteSeed(folder, "grey.png", MakePng(7, 5, SeedNoise, {.grey = true}));
  WriteSeed(folder, "wide.png", MakePng(5, 4, SeedNoise, {.bitDepth = 16, .interlaced = true}));
  WriteSeed(folder, "wide-srgb.png", MakePng(5, 4, SeedNoise, {.bitDepth = 16, .alpha = true, .srgbChunk = true}));
  return 0;
}
