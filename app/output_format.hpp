// The formats a batch writes, in one table: the window's list of them, the
// command line's words, the file extensions and the image object's codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trimbrel {

// In the order of the window's format list; the value is the list's selection.
enum class OutputFormat : std::int32_t { BMP = 0, JPG = 1, GIF = 2, TIFF = 3, PNG = 4 };

struct OutputFormatEntry {
  const char* extension;  // also the command line's word for the format
  int encoderFormat;      // the image object's IMAGE_FORMAT_* code
};

// Any value outside the list (a damaged stored state) is JPG.
OutputFormatEntry OutputFormatFor(OutputFormat format);

// The format whose extension is `word` (lower case, as the command line takes it).
std::optional<OutputFormat> OutputFormatNamed(std::string_view word);

// Every extension in list order, for messages: "bmp, jpg, gif, tiff or png".
std::string OutputFormatWords();

}  // namespace trimbrel
