// Writes a small seed corpus of pictures of every kind made by our own generators.
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/imaging/fixtures.hpp"

using namespace trimbrel::fixtures;

namespace {

void write(const std::string& folder, const std::string& name, const Bytes& bytes) {
  std::ofstream(folder + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Rgba noise(int x, int y) {
  return {static_cast<std::uint8_t>(x * 37 + y), static_cast<std::uint8_t>(y * 11), static_cast<std::uint8_t>(x ^ y),
          static_cast<std::uint8_t>(x * 40)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  write(folder, "photo.jpg", WithExifOrientation(MakeJpeg(16, 8, noise), 8, false));
  write(folder, "picture.png", MakePng(5, 4, noise, {.alpha = true}));
  write(folder, "bitmap.bmp", MakeBmp({.width = 5, .height = 2, .value = [](int x, int) { return 0x20304u * x; }}));
  write(folder, "icon.ico", MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 24, noise)}}));
  std::vector<Rgba> table = {noise(1, 2), noise(3, 4), noise(5, 6), noise(7, 8)};
  write(folder, "anim.gif", MakeGif({.screenWidth = 5, .screenHeight = 5, .global = table, .width = 5, .height = 5,
                                     .index = [](int x, int y) { return std::uint8_t((x + y) % 4); }}));
  write(folder, "scan.pcx", MakePcx({.width = 5, .height = 2, .palette = table,
                                     .value = [](int, int x, int) { return std::uint8_t(x % 4); }}));
  return 0;
}
