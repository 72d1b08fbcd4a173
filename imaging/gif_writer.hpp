// The GIF writer: a 24-bit image written losslessly as a mosaic of 17 × 15
// tiles, each with its own 256-entry local colour table.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

// Writes the whole file, or fails with the text the image object keeps as
// its last error. A stream error does not make the writer fail: it is noted,
// and the value is that note for the last error text ("GIF 文件写出错误"),
// empty when the stream took every byte.
Result<std::string> WriteTiledRgbGif(const DibView& image, ByteSink& out);

}  // namespace trimbrel
