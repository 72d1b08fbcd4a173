// GIF pictures, with our own LZW decoder.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

namespace trimbrel {

// PictureKind::Gif: the first image on an 8-bit DIB of the logical screen's size.
Result<Picture> DecodeGif(std::span<const std::uint8_t> bytes);

// The size DecodeGif would report, from the header alone.
Result<PictureSize> ReadGifSize(std::span<const std::uint8_t> bytes);

}  // namespace trimbrel
