// What the image object keeps besides its pixels: the attributes that carry
// over from one decoded image to the next and that the writers read.
#pragma once

#include <array>
#include <cstdint>

namespace trimbrel {

inline constexpr int kDefaultDpi = 96;

// Pixels per metre for a resolution in dots per inch, rounded half up and
// held within the 32-bit field of a bitmap header.
std::int32_t PixelsPerMetre(int dpi);

struct ImageAttributes {
  int formatType = 0;
  int xDpi = kDefaultDpi;
  int yDpi = kDefaultDpi;
  std::int32_t xPixelsPerMetre = 3780;
  std::int32_t yPixelsPerMetre = 3780;
  std::uint8_t jpegQuality = 90;
  int backgroundIndex = -1;                 // transparent palette index, −1 none
  std::uint32_t backgroundColour = 0;       // B,G,R,reserved
  std::uint8_t maxAlpha = 255;
  bool enabled = true;
  int frameDelay = 0, frameOffsetX = 0, frameOffsetY = 0;
  std::array<std::uint32_t, 16> codecOptions{};  // one option word per format code
};

}  // namespace trimbrel
