// The loader as the batch run calls it: kind detection, then any reader.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/picture.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Bigger inputs only slow the search down: every structure fits in less.
  if (size > (1u << 20)) return 0;
  auto decoded = trimbrel::DecodePictureBytes(std::span<const std::uint8_t>(data, size));
  if (!decoded) return 0;
  // Touch every output byte so the sanitizers see uninitialised reads.
  [[maybe_unused]] static volatile unsigned sink;
  unsigned sum = 0;
  for (std::uint8_t b : decoded.value().pixels) sum += b;
  sink = sum;
  return 0;
}
