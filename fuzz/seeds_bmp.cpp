// Writes a small seed corpus of bitmap files made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    const std::vector<Rgba> palette = SeedPalette(16);
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
  });
}
