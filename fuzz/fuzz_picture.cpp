// The loader as the batch run calls it: kind detection, then any reader.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/decoded_picture.hpp"
#include "imaging/picture.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > trimbrel::fuzz::kMaxFuzzInput) return 0;
  return trimbrel::fuzz::ConsumeDecoded(trimbrel::DecodePictureBytes(std::span<const std::uint8_t>(data, size)));
}
