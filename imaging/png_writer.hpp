// The PNG writer: 8-bit RGB, a white background chunk, the resolution in
// pixels per metre.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Fails with the text the image object keeps as its last error.
Result<void> WritePng(const DibView& image, const ImageAttributes& attributes, ByteSink& out);

}  // namespace trimbrel
