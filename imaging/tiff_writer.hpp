// The TIFF writer: one RGB page, JPEG-compressed at the image's quality, with
// the resolution in dots per inch. libtiff's messages end up in the error text.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Fails with the text the image object keeps as its last error.
Result<void> WriteTiff(const DibView& image, const ImageAttributes& attributes, ByteSink& out);

// Rows per strip for a row of `rowBytes`: libtiff's default strip of 8192
// bytes, at least one row, rounded up to the 8-row blocks JPEG compresses.
int TiffRowsPerStrip(std::size_t rowBytes);

}  // namespace trimbrel
