// The GIF writer: a 24-bit image written losslessly as a mosaic of 17 × 15
// tiles, each with its own 256-entry local colour table.
#pragma once

#include <string>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"

namespace trimbrel {

// Writes the whole file. A stream error is noted in `lastError`
// ("GIF 文件写出错误") but does not make the writer fail.
bool WriteTiledRgbGif(const DibView& image, ByteSink& out, std::string& lastError);

}  // namespace trimbrel
