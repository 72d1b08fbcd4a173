#include "app/output_format.hpp"

#include <iterator>

#include "imaging/imaging.hpp"

namespace trimbrel {

namespace {

// Indexed by OutputFormat.
constexpr OutputFormatEntry kFormats[] = {
    {"bmp", IMAGE_FORMAT_BMP}, {"jpg", IMAGE_FORMAT_JPG}, {"gif", IMAGE_FORMAT_GIF},
    {"tiff", IMAGE_FORMAT_TIF}, {"png", IMAGE_FORMAT_PNG},
};
constexpr int kFormatCount = static_cast<int>(std::size(kFormats));
static_assert(static_cast<int>(OutputFormat::PNG) == kFormatCount - 1);

}  // namespace

OutputFormatEntry OutputFormatFor(OutputFormat format) {
  int index = static_cast<int>(format);
  if (index < 0 || index >= kFormatCount) index = static_cast<int>(OutputFormat::JPG);
  return kFormats[index];
}

std::optional<OutputFormat> OutputFormatNamed(std::string_view word) {
  for (int i = 0; i < kFormatCount; ++i) {
    if (word == kFormats[i].extension) return static_cast<OutputFormat>(i);
  }
  return std::nullopt;
}

std::string OutputFormatWords() {
  std::string words;
  for (int i = 0; i < kFormatCount; ++i) {
    if (i > 0) words += i + 1 < kFormatCount ? ", " : " or ";
    words += kFormats[i].extension;
  }
  return words;
}

}  // namespace trimbrel
