// The PNG writer: 8-bit RGB, a white background chunk, the resolution in
// pixels per metre.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"

namespace trimbrel {

bool WritePng(const DibView& image, const ImageAttributes& attributes, ByteSink& out, std::string& lastError);

}  // namespace trimbrel
