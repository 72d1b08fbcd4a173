// Writes a small seed corpus of icon and cursor files made by our own generators.
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
  write(folder, "masked.ico", MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 24, noise)}}));
  write(folder, "alpha.cur", MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 32, noise)}}, 2));
  write(folder, "two.ico",
        MakeIconFile({{48, 48, 0, MakeIconBitmap(3, 3, 32, noise, false)}, {32, 32, 16, MakePng(4, 4, noise)}}));
  return 0;
}
