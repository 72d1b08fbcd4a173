// The BMP writer: a 24-bit bitmap file with the image's pixels per metre.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"

namespace trimbrel {

bool WriteBmp(const DibView& image, const ImageAttributes& attributes, ByteSink& out, std::string& lastError);

}  // namespace trimbrel
