// Icon files: a directory of offsets, bitmaps with masks, embedded PNG.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/decoded_picture.hpp"
#include "imaging/ico_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > trimbrel::fuzz::kMaxFuzzInput) return 0;
  return trimbrel::fuzz::ConsumeDecoded(trimbrel::DecodeIcon(std::span<const std::uint8_t>(data, size), trimbrel::PictureKind::Icon));
}
