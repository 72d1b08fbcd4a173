// Bitmap files, read by our own code.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

namespace trimbrel {

// PictureKind::Bmp: uncompressed 1, 4, 8, 24 and 32-bit bitmap files.
Result<Picture> DecodeBmp(std::span<const std::uint8_t> bytes);

// The size DecodeBmp would report, from the header alone.
Result<PictureSize> ReadBmpSize(std::span<const std::uint8_t> bytes);

}  // namespace trimbrel
