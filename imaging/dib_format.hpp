// The bitmap layout the readers share: the info header that BMP files, an
// icon's images and snapshots carry and that GIF and PCX pictures are given,
// and palette indexes packed into rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/platform.hpp"
#include "imaging/dib_view.hpp"

namespace trimbrel {

// BITMAPINFOHEADER, as stored.
struct DibInfoHeader {
  std::uint32_t size = 0;  // biSize: 40 or more for these fields to mean what they say
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows stored top-down
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::int32_t xPixelsPerMetre = 0;
  std::int32_t yPixelsPerMetre = 0;
  std::uint32_t coloursUsed = 0;
};

// The 36 bytes up to biClrUsed; `reader.failed()` tells when they are not all there.
inline DibInfoHeader ReadDibInfoHeader(ByteReader& reader) {
  DibInfoHeader h;
  h.size = reader.getDwordLe();
  h.width = reader.getLongLe();
  h.height = reader.getLongLe();
  h.planes = reader.getWordLe();
  h.bitCount = reader.getWordLe();
  h.compression = reader.getDwordLe();
  reader.skip(4);  // biSizeImage
  h.xPixelsPerMetre = reader.getLongLe();
  h.yPixelsPerMetre = reader.getLongLe();
  h.coloursUsed = reader.getDwordLe();
  return h;
}

// A top-down BITMAPINFOHEADER at `at`, whose 40 bytes are zero: the header
// of the GIF and PCX kinds' pixels, `colours` palette entries behind it.
inline void StoreTopDownDibHeader(std::uint8_t* at, std::size_t width, std::size_t height, int planes, int bits,
                                  int colours) {
  StoreLe32(at, 40);
  StoreLe32(at + 4, static_cast<std::uint32_t>(width));
  StoreLe32(at + 8, static_cast<std::uint32_t>(-static_cast<std::int32_t>(height)));
  StoreLe16(at + 12, static_cast<std::uint16_t>(planes));
  StoreLe16(at + 14, static_cast<std::uint16_t>(bits));
  StoreLe32(at + 20, static_cast<std::uint32_t>(DibStride(width, bits) * height));  // biSizeImage
  StoreLe32(at + 32, static_cast<std::uint32_t>(colours));                          // biClrUsed
  StoreLe32(at + 36, static_cast<std::uint32_t>(colours));                          // biClrImportant
}

// Calls `pixel(index)` for the first `width` indexes of a row packed at
// `bits` (1, 2, 4 or 8) a pixel, leftmost in the high bits; the row holds
// at least (width * bits + 7) / 8 bytes.
template <class Pixel>
void UnpackIndexes(std::span<const std::uint8_t> row, std::size_t width, int bits, Pixel&& pixel) {
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  std::size_t x = 0;
  for (std::uint8_t packed : row) {
    for (int k = 0; k < perByte && x < width; ++k, ++x) pixel((packed >> (8 - bits * (k + 1))) & mask);
    if (x == width) break;
  }
}

}  // namespace trimbrel
