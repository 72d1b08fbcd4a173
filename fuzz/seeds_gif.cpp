// Writes a small seed corpus of GIF files made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    const std::vector<Rgba> table = SeedPalette(16, 3);
    GifPlan plain{.screenWidth = 9, .screenHeight = 7, .global = table, .width = 9, .height = 7};
    plain.index = [](int x, int y) { return static_cast<std::uint8_t>((x * y) % 16); };
    WriteSeed(folder, "plain.gif", MakeGif(plain));
    GifPlan placed = plain;
    placed.screenWidth = 20;
    placed.left = 4;
    placed.top = 2;
    placed.local = table;
    placed.interlaced = true;
    WriteSeed(folder, "placed.gif", MakeGif(placed));
    GifPlan wide = plain;
    wide.screenWidth = wide.width = 120;
    wide.screenHeight = wide.height = 60;
    wide.global.resize(256);
    wide.index = [](int x, int y) { return static_cast<std::uint8_t>(x * x + y); };
    WriteSeed(folder, "wide.gif", MakeGif(wide));
  });
}
