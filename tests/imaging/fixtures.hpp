// Picture files made by our own code for the tests and the fuzz seeds: JPEG
// through libjpeg, PNG through libpng, BMP, icon, GIF and PCX by byte
// builders. Also a reader of every picture layout, independent of the
// drawing code, for checking decoded pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/picture.hpp"

namespace trimbrel::fixtures {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};
using PixelFn = std::function<Rgba(int x, int y)>;

// Four flat quadrants (red, green / blue, white), big enough to survive JPEG.
Rgba Quadrants(int x, int y, int width, int height);

// --- JPEG ---
struct JpegOptions {
  int quality = 95;
  bool progressive = false;
  bool grey = false;        // one component, from the red channel
  bool cmyk = false;        // Adobe-style inverted CMYK made from the colour
  bool ycck = false;        // with cmyk: stored as YCCK
  bool arithmetic = false;  // arithmetic entropy coding
  int scans = 0;            // with grey: a progressive script of this many scans (64 to 694)
};
Bytes MakeJpeg(int width, int height, const PixelFn& pixel, JpegOptions options = {});
// Inserts an APP1 Exif segment carrying the orientation tag after SOI.
Bytes WithExifOrientation(const Bytes& jpeg, int orientation, bool bigEndian);

// --- PNG ---
struct PngOptions {
  int bitDepth = 8;  // 8 or 16
  bool alpha = false;
  bool grey = false;
  bool interlaced = false;
  bool srgbChunk = false;  // writes an sRGB chunk
};
// 16-bit samples repeat the 8-bit value in both bytes unless `wide` is given.
Bytes MakePng(int width, int height, const PixelFn& pixel, PngOptions options = {},
              const std::function<std::uint16_t(int x, int y)>& wide = {});

// --- BMP ---
struct BmpPlan {
  int width = 1;
  int height = 1;        // written negative when topDown
  int bitCount = 24;     // 1, 4, 8, 24, 32 (others written as asked, for refusals)
  bool topDown = false;
  std::uint32_t infoSize = 40;
  std::uint32_t compression = 0;
  std::vector<Rgba> palette;       // written after the info header
  std::uint32_t coloursUsed = 0;   // biClrUsed as written
  std::function<std::uint32_t(int x, int y)> value;  // palette index, or 0xRRGGBB
};
Bytes MakeBmp(const BmpPlan& plan);

// --- Icons and cursors ---
struct IconEntry {
  std::uint8_t width = 0;  // directory bytes, as written
  std::uint8_t height = 0;
  std::uint8_t colours = 0;
  Bytes image;  // a bitmap from MakeIconBitmap, or PNG bytes
};
Bytes MakeIconFile(const std::vector<IconEntry>& entries, int type = 1);
// 24 or 32-bit image with its AND mask (alpha 0 = masked); 32-bit images keep
// their alpha unless `alphaChannel` is false.
Bytes MakeIconBitmap(int width, int height, int bitCount, const PixelFn& pixel, bool alphaChannel = true);

// --- GIF ---
struct GifPlan {
  int screenWidth = 1;
  int screenHeight = 1;
  std::vector<Rgba> global;
  int background = 0;
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<Rgba> local;
  bool interlaced = false;
  bool extensions = true;  // a graphic control, a comment and an application block first
  int minimumCodeSize = 0; // 0: from the table size
  std::function<std::uint8_t(int x, int y)> index;
};
Bytes MakeGif(const GifPlan& plan);
// GIF LZW of the given indices, packed into sub-blocks.
Bytes GifLzw(const std::vector<std::uint8_t>& indices, int minimumCodeSize);

// --- PCX ---
struct PcxPlan {
  int width = 1;
  int height = 1;
  int bitsPerPixel = 8;
  int planes = 1;
  int version = 5;
  int bytesPerLine = 0;  // 0: the smallest even count
  std::vector<Rgba> palette;  // 256 colours after a 12 byte, when not empty
  std::function<std::uint8_t(int plane, int x, int y)> value;  // a bit for 1-bit pictures
};
Bytes MakePcx(const PcxPlan& plan);

// --- Reading decoded pictures ---
// The colour a picture shows at (x, y) counted from the top-left, read from
// its layout (alpha is 255 for kinds without it).
Rgba PictureColour(const Picture& picture, int x, int y);
// Max channel difference between two colours (alpha included).
int ColourDistance(Rgba a, Rgba b);

}  // namespace trimbrel::fixtures
