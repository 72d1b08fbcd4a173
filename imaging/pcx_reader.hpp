// PCX pictures, run-length decoded by our own code.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

namespace trimbrel {

// PictureKind::Pcx8 and Pcx1: 8-bit palette or true-colour, and 1-bit pictures as DIBs.
Result<Picture> DecodePcx(std::span<const std::uint8_t> bytes);

// The size DecodePcx would report, from the header alone.
Result<PictureSize> ReadPcxSize(std::span<const std::uint8_t> bytes);

}  // namespace trimbrel
