// The JPEG writer: libjpeg's defaults at the image's quality (90), baseline,
// 4:2:0, with a JFIF density in dots per inch.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Fails with the text the image object keeps as its last error.
Result<void> WriteJpeg(const DibView& image, const ImageAttributes& attributes, ByteSink& out);

}  // namespace trimbrel
