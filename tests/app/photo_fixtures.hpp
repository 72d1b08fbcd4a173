// Photos for the batch tests, generated here: smooth light, texture and
// noise like a camera picture, written as JPEG (baseline or progressive,
// with an EXIF orientation if asked) or 24-bit BMP.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace trimbrel::testing {

struct Rgb {
  std::uint8_t r, g, b;
};
using PixelFn = std::function<Rgb(int x, int y)>;

// Deterministic photo-like content for a w × h picture; `seed` varies it.
PixelFn PhotoLike(int width, int height, unsigned seed = 1);

struct JpegOptions {
  int quality = 92;
  bool progressive = false;
  bool grey = false;
  int orientation = 0;  // 0: no EXIF block; 1..8 written into an APP1 block
};
void WriteJpeg(const std::filesystem::path& path, int width, int height, const PixelFn& pixel,
               const JpegOptions& options = {});
void WriteBmp24(const std::filesystem::path& path, int width, int height, const PixelFn& pixel);

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A 24-bit BMP as the program writes it: size, resolution and top-down RGB.
struct BmpImage {
  int width = 0;
  int height = 0;
  std::int32_t xPelsPerMeter = 0;
  std::vector<Rgb> pixels;  // top row first
  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
bool ParseBmp24(const std::vector<std::uint8_t>& bytes, BmpImage& image);

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace trimbrel::testing
