// The BMP writer: a 24-bit bitmap file with the image's pixels per metre.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Fails with the text the image object keeps as its last error.
Result<void> WriteBmp(const DibView& image, const ImageAttributes& attributes, ByteSink& out);

}  // namespace trimbrel
