// Writes a small seed corpus of bitmap files made by our own generators.
#include <filesystem>
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  std::vector<Rgba> palette;
  for (int i = 0; i < 16; ++i) palette.push_back(SeedNoise(i, i));
  for (int bits : {1, 4, 8}) {
    BmpPlan plan{.width = 7, .height = 3, .bitCount = bits, .topDown = bits == 4,
                 .palette = std::vector<Rgba>(palette.begin(), palette.begin() + (bits == 1 ? 2 : 16)),
                 .value = [](int x, int y) { return static_cast<std::uint32_t>(x + y) & 1; }};
    WriteSeed(folder, std::to_string(bits) + ".bmp", MakeBmp(plan));
  }
  for (int bits : {24, 32}) {
    WriteSeed(folder, std::to_string(bits) + ".bmp",
          MakeBmp({.width = 5, .height = 2, .bitCount = bits, .value = [](int x, int y) { return 0x10203u * (x + y); }}));
  }
  return 0;
}
