// GIF files: block structure and our own LZW decoder.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/decoded_picture.hpp"
#include "imaging/gif_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > trimbrel::fuzz::kMaxFuzzInput) return 0;
  return trimbrel::fuzz::ConsumeDecoded(trimbrel::DecodeGif(std::span<const std::uint8_t>(data, size)));
}
