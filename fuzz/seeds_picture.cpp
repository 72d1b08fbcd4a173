// Writes a small seed corpus of pictures of every kind made by our own generators.
#include <string>

#include "fuzz/seed_folder.hpp"

using namespace trimbrel::fixtures;

int main(int argc, char** argv) {
  return RunSeedProgram(argc, argv, [](const std::string& folder) {
    WriteSeed(folder, "photo.jpg", WithExifOrientation(MakeJpeg(16, 8, SeedNoise), 8, false));
    WriteSeed(folder, "picture.png", MakePng(5, 4, SeedNoise, {.alpha = true}));
    WriteSeed(folder, "bitmap.bmp", MakeBmp({.width = 5, .height = 2, .value = [](int x, int) { return 0x20304u * x; }}));
    WriteSeed(folder, "icon.ico", MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 24, SeedNoise)}}));
    std::vector<Rgba> table = {SeedNoise(1, 2), SeedNoise(3, 4), SeedNoise(5, 6), SeedNoise(7, 8)};
    WriteSeed(folder, "anim.gif", MakeGif({.screenWidth = 5, .screenHeight = 5, .global = table, .width = 5, .height = 5,
                                       .index = [](int x, int y) { return std::uint8_t((x + y) % 4); }}));
    WriteSeed(folder, "scan.pcx", MakePcx({.width = 5, .height = 2, .palette = table,
                                       .value = [](int, int x, int) { return std::uint8_t(x % 4); }}));
  });
}
