// JPEG photos through libjpeg.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

namespace trimbrel {

// PictureKind::Jpeg: B,G,R rows bottom-up, turned upright by the EXIF orientation.
Result<Picture> DecodeJpeg(std::span<const std::uint8_t> bytes);

}  // namespace trimbrel
