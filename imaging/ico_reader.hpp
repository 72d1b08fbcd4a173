// Icon and cursor files: bitmaps with an AND mask, or embedded PNG images.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

namespace trimbrel {

// PictureKind::Icon and Cursor: the chosen directory entry as B,G,R,A straight alpha,
// rows top-down; `kind` is Icon or Cursor.
Result<Picture> DecodeIcon(std::span<const std::uint8_t> bytes, PictureKind kind);

// The size DecodeIcon would report, from the header alone.
Result<PictureSize> ReadIconSize(std::span<const std::uint8_t> bytes);

}  // namespace trimbrel
