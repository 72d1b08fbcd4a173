// What every picture-reader fuzzer does with its input and its result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/picture.hpp"

namespace trimbrel::fuzz {

// Bigger inputs only slow the search down: every structure fits in less.
inline constexpr std::size_t kMaxFuzzInput = std::size_t{1} << 20;

// Touches every output byte so the sanitizers see uninitialised reads.
inline int ConsumeDecoded(const Result<Picture>& decoded) {
  if (!decoded) return 0;
  [[maybe_unused]] static volatile unsigned sink;
  unsigned sum = 0;
  for (std::uint8_t b : decoded.value().pixels) sum += b;
  sink = sum;
  return 0;
}

}  // namespace trimbrel::fuzz
