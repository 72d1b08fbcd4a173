#include "photo_fixtures.hpp"

#include <jpeglib.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace trimbrel::testing {

namespace fs = std::filesystem;

namespace {

std::uint32_t Hash(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

void Put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A little-endian TIFF structure with one IFD entry: Orientation.
std::vector<std::uint8_t> ExifOrientation(int orientation) {
  std::vector<std::uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
  Put32(b, 8);   // IFD offset
  Put16(b, 1);   // one entry
  Put16(b, 0x0112);
  Put16(b, 3);   // SHORT
  Put32(b, 1);
  Put16(b, static_cast<unsigned>(orientation));
  Put16(b, 0);
  Put32(b, 0);   // no next IFD
  return b;
}

}  // namespace

PixelFn PhotoLike(int width, int height, unsigned seed) {
  return [width, height, seed](int x, int y) {
    const double u = static_cast<double>(x) / std::max(1, width - 1);
    const double v = static_cast<double>(y) / std::max(1, height - 1);
    // Sky-to-ground light, a soft blob and a fine texture, plus sensor noise.
    const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 8.0);
    const double texture = 10.0 * std::sin(x * 0.35 + seed) * std::cos(y * 0.27 + 2.0 * seed);
    const double noise = static_cast<double>(Hash(static_cast<std::uint32_t>(x) * 73856093U ^
                                                  static_cast<std::uint32_t>(y) * 19349663U ^ seed) % 13) - 6.0;
    return Rgb{Clamp(60 + 140 * v + 50 * blob + texture + noise), Clamp(90 + 80 * u + 70 * blob + texture + noise),
               Clamp(200 - 120 * v + 30 * blob + texture + noise)};
  };
}

void WriteJpeg(const fs::path& path, int width, int height, const PixelFn& pixel, const JpegOptions& options) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path.string());
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = options.grey ? 1 : 3;
  cinfo.in_color_space = options.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  if (options.orientation > 0) {
    auto exif = ExifOrientation(options.orientation);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * cinfo.input_components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb c = pixel(x, y);
      if (options.grey) {
        row[static_cast<std::size_t>(x)] = c.g;
      } else {
        row[static_cast<std::size_t>(x) * 3] = c.r;
        row[static_cast<std::size_t>(x) * 3 + 1] = c.g;
        row[static_cast<std::size_t>(x) * 3 + 2] = c.b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

void WriteBmp24(const fs::path& path, int width, int height, const PixelFn& pixel) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> b = {'B', 'M'};
  Put32(b, 54 + stride * static_cast<std::uint32_t>(height));
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(width));
  Put32(b, static_cast<std::uint32_t>(height));
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int y = height - 1; y >= 0; --y) {
    std::size_t start = b.size();
    for (int x = 0; x < width; ++x) {
      Rgb c = pixel(x, y);
      b.push_back(c.b);
      b.push_back(c.g);
      b.push_back(c.r);
    }
    b.resize(start + stride, 0);
  }
  WriteFileBytes(path, b);
}

std::vector<std::uint8_t> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool ParseBmp24(const std::vector<std::uint8_t>& b, BmpImage& image) {
  auto le32 = [&](std::size_t at) {
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24));
  };
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || b[28] != 24) return false;
  image.width = le32(18);
  image.height = le32(22);
  image.xPelsPerMeter = le32(38);
  if (image.width <= 0 || image.height <= 0) return false;
  const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
  const std::size_t offset = static_cast<std::size_t>(le32(10));
  if (offset + stride * static_cast<std::size_t>(image.height) > b.size()) return false;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = &b[offset + stride * static_cast<std::size_t>(image.height - 1 - y)];
    for (int x = 0; x < image.width; ++x)
      image.pixels[static_cast<std::size_t>(y) * image.width + x] = Rgb{row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
  }
  return true;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "trimbrel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests make folders read-only on purpose; give them back before removing.
  for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator(); ++it)
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

}  // namespace trimbrel::testing
