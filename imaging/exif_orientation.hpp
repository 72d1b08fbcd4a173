// The orientation tag of an EXIF block, and the pixel mapping it asks for.
#pragma once

#include <cstdint>
#include <span>

namespace trimbrel {

// `app1` is the payload of an APP1 segment ("Exif\0\0" + TIFF data). Returns
// 1..8, or 1 when the block carries no usable orientation.
int ExifOrientation(std::span<const std::uint8_t> app1);

// Orientations 5 to 8 swap width and height.
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

struct StoredPixel {
  int x;
  int y;
};
// Where the shown pixel (x, y) comes from in the stored picture of
// storedWidth × storedHeight.
inline StoredPixel OrientedSource(int orientation, int x, int y, int storedWidth, int storedHeight) {
  switch (orientation) {
    case 2: return {storedWidth - 1 - x, y};
    case 3: return {storedWidth - 1 - x, storedHeight - 1 - y};
    case 4: return {x, storedHeight - 1 - y};
    case 5: return {y, x};
    case 6: return {y, storedHeight - 1 - x};
    case 7: return {storedWidth - 1 - y, storedHeight - 1 - x};
    case 8: return {storedWidth - 1 - y, x};
    default: return {x, y};
  }
}

}  // namespace trimbrel
