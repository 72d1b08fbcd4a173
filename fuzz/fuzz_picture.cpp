// The loader as the batch run calls it: kind detection, then any reader;
// and the header's size, which a trim plans with before decoding, must be
// the size the decoder then gives.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/decoded_picture.hpp"
#include "imaging/picture.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > trimbrel::fuzz::kMaxFuzzInput) return 0;
  const std::span<const std::uint8_t> bytes(data, size);
  auto decoded = trimbrel::DecodePictureBytes(bytes);
  auto header = trimbrel::ReadPictureSize(bytes);
  if (decoded && (!header || header.value().width != decoded.value().width ||
                  header.value().height != decoded.value().height)) {
    __builtin_trap();
  }
  return trimbrel::fuzz::ConsumeDecoded(decoded);
}
