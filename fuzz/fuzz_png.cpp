// PNG files: our chunk walk, then libpng behind its error wall.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/decoded_picture.hpp"
#include "imaging/png_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > trimbrel::fuzz::kMaxFuzzInput) return 0;
  return trimbrel::fuzz::ConsumeDecoded(trimbrel::DecodePng(std::span<const std::uint8_t>(data, size)));
}
