// Writes a small seed corpus of PCX files made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    const std::vector<Rgba> palette = SeedPalette(256);
    WriteSeed(folder, "indexed.pcx", MakePcx({.width = 11, .height = 4, .palette = palette,
                                          .value = [](int, int x, int y) { return std::uint8_t(x < 5 ? 0xC9 : x * y); }}));
    WriteSeed(folder, "rgb.pcx", MakePcx({.width = 6, .height = 3, .planes = 3,
                                      .value = [](int p, int x, int) { return std::uint8_t(p * 80 + x); }}));
    WriteSeed(folder, "mono.pcx", MakePcx({.width = 13, .height = 3, .bitsPerPixel = 1, .version = 3,
                                       .value = [](int, int x, int y) { return std::uint8_t((x + y) & 1); }}));
  });
}
