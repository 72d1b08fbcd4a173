// A read-only view of 24-bit pixel rows stored like a bitmap file's: bottom
// row first, B,G,R per pixel, each row padded to a multiple of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trimbrel {

// Bytes per stored row of a bitmap `width` pixels wide at `bitCount` bits a
// pixel: rows are padded to a multiple of 4 bytes.
constexpr std::size_t DibStride(std::size_t width, int bitCount = 24) {
  return (width * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

struct DibView {
  int width = 0;
  int height = 0;
  std::size_t stride = 0;            // bytes per stored row, a multiple of 4
  const std::uint8_t* rows = nullptr;  // stored row 0 is the picture's bottom row

  // Row y counted from the top of the picture.
  const std::uint8_t* rowFromTop(int y) const {
    return rows + static_cast<std::size_t>(height - 1 - y) * stride;
  }
  const std::uint8_t* rowFromBottom(int y) const { return rows + static_cast<std::size_t>(y) * stride; }
};

}  // namespace trimbrel
