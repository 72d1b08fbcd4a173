// Writes a small seed corpus of JPEG files made by our own generators.
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
  write(folder, "baseline.jpg", MakeJpeg(24, 16, noise, {.quality = 50}));
  write(folder, "progressive.jpg", MakeJpeg(17, 9, noise, {.progressive = true}));
  write(folder, "grey.jpg", MakeJpeg(8, 8, noise, {.grey = true}));
  write(folder, "cmyk.jpg", MakeJpeg(8, 8, noise, {.cmyk = true}));
  write(folder, "arithmetic.jpg", MakeJpeg(8, 8, noise, {.arithmetic = true}));
  write(folder, "exif6.jpg", WithExifOrientation(MakeJpeg(16, 8, noise), 6, true));
  write(folder, "exif3.jpg", WithExifOrientation(MakeJpeg(16, 8, noise), 3, false));
  return 0;
}
