#include "imaging/bmp_writer.hpp"

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace trimbrel {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

std::size_t RowBytes(const DibView& image) { return static_cast<std::size_t>(image.width) * 3; }
std::size_t PaddedRowBytes(const DibView& image) { return DibStride(image.width); }

// BITMAPFILEHEADER: where the file ends and where the rows start.
void WriteFileHeader(ByteSink& out, std::uint32_t imageSize) {
  out.put('B');
  out.put('M');
  out.putDwordLe(kFileHeaderSize + kInfoHeaderSize + imageSize);  // bfSize
  out.putWordLe(0);                                               // bfReserved1
  out.putWordLe(0);                                               // bfReserved2
  out.putDwordLe(kFileHeaderSize + kInfoHeaderSize);              // bfOffBits: no palette at 24 bits
}

// BITMAPINFOHEADER: a bottom-up 24-bit image with the chosen resolution.
void WriteInfoHeader(ByteSink& out, const DibView& image, const ImageAttributes& attributes, std::uint32_t imageSize) {
  out.putDwordLe(kInfoHeaderSize);                                     // biSize
  out.putDwordLe(static_cast<std::uint32_t>(image.width));             // biWidth
  out.putDwordLe(static_cast<std::uint32_t>(image.height));            // biHeight, positive: bottom-up
  out.putWordLe(1);                                                    // biPlanes
  out.putWordLe(24);                                                   // biBitCount
  out.putDwordLe(0);                                                   // biCompression: none
  out.putDwordLe(imageSize);                                           // biSizeImage
  out.putDwordLe(static_cast<std::uint32_t>(attributes.xPixelsPerMetre));  // biXPelsPerMeter
  out.putDwordLe(static_cast<std::uint32_t>(attributes.yPixelsPerMetre));  // biYPelsPerMeter
  out.putDwordLe(0);                                                   // biClrUsed
  out.putDwordLe(0);                                                   // biClrImportant
}

// Pixel rows as stored: bottom row first, B,G,R, padded to 4 bytes with
// zeros (a view's own padding bytes may hold anything).
void WriteRows(ByteSink& out, const DibView& image) {
  std::vector<std::uint8_t> row(PaddedRowBytes(image), 0);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(row.data(), image.rowFromBottom(y), RowBytes(image));
    out.write(row);
  }
}

}  // namespace

Result<void> WriteBmp(const DibView& image, const ImageAttributes& attributes, ByteSink& out) {
  const std::uint64_t imageSize = static_cast<std::uint64_t>(PaddedRowBytes(image)) * static_cast<std::uint64_t>(image.height);
  if (imageSize > 0xFFFFFFFFull - kFileHeaderSize - kInfoHeaderSize) {
    return Fail("图像过大，无法保存为BMP");
  }
  WriteFileHeader(out, static_cast<std::uint32_t>(imageSize));
  WriteInfoHeader(out, image, attributes, static_cast<std::uint32_t>(imageSize));
  WriteRows(out, image);
  return {};
}

}  // namespace trimbrel
