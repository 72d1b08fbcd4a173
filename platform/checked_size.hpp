// Size arithmetic that refuses to wrap: every size that comes from a file is
// combined through these before anything is allocated or indexed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace trimbrel {

inline std::optional<std::size_t> CheckedAdd(std::size_t a, std::size_t b) {
  if (a > std::numeric_limits<std::size_t>::max() - b) return std::nullopt;
  return a + b;
}

inline std::optional<std::size_t> CheckedMul(std::size_t a, std::size_t b) {
  if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a) return std::nullopt;
  return a * b;
}

inline std::optional<std::size_t> CheckedMul(std::size_t a, std::size_t b, std::size_t c) {
  auto ab = CheckedMul(a, b);
  if (!ab) return std::nullopt;
  return CheckedMul(*ab, c);
}

// The largest picture the program accepts, on input and as a target.
inline constexpr std::int64_t kMaxPictureSide = 65535;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;

inline bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

}  // namespace trimbrel
