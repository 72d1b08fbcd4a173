// Writes a small seed corpus of PNG files made by our own generators.
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
  write(folder, "rgba.png", MakePng(7, 5, noise, {.alpha = true}));
  write(folder, "grey.png", MakePng(7, 5, noise, {.grey = true}));
  write(folder, "wide.png", MakePng(5, 4, noise, {.bitDepth = 16, .interlaced = true}));
  write(folder, "wide-srgb.png", MakePng(5, 4, noise, {.bitDepth = 16, .alpha = true, .srgbChunk = true}));
  return 0;
}
