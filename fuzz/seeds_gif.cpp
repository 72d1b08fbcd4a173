// Writes a small seed corpus of GIF files made by our own generators.
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
  std::vector<Rgba> table;
  for (int i = 0; i < 16; ++i) table.push_back(noise(i, 3 * i));
  GifPlan plain{.screenWidth = 9, .screenHeight = 7, .global = table, .width = 9, .height = 7};
  plain.index = [](int x, int y) { return static_cast<std::uint8_t>((x * y) % 16); };
  write(folder, "plain.gif", MakeGif(plain));
  GifPlan placed = plain;
  placed.screenWidth = 20;
  placed.left = 4;
  placed.top = 2;
  placed.local = table;
  placed.interlaced = true;
  write(folder, "placed.gif", MakeGif(placed));
  GifPlan wide = plain;
  wide.screenWidth = wide.width = 120;
  wide.screenHeight = wide.height = 60;
  wide.global.resize(256);
  wide.index = [](int x, int y) { return static_cast<std::uint8_t>(x * x + y); };
  write(folder, "wide.gif", MakeGif(wide));
  return 0;
}
