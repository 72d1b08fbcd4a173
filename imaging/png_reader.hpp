// PNG pictures through libpng.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

namespace trimbrel {

// PictureKind::Png (or the kind given, for icons that embed a PNG): B,G,R,A straight
// alpha, rows top-down.
Result<Picture> DecodePng(std::span<const std::uint8_t> bytes, PictureKind kind = PictureKind::Png);

// The size DecodePng would report, from the header alone.
Result<PictureSize> ReadPngSize(std::span<const std::uint8_t> bytes);

}  // namespace trimbrel
