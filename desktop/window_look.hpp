// What both windows share in their looks: the fixed frame, the font and the
// colours their tables name.
#pragma once

#include <cstdint>

#include "desktop/resources.hpp"
#include "ui/ui.hpp"

namespace trimbrel::look {

inline constexpr std::uint32_t kBlack = 0x00000000;  // 0x00BBGGRR
inline constexpr std::uint32_t kWhite = 0x00FFFFFF;
inline constexpr std::uint32_t kBlue = 0x00FF0000;
inline constexpr std::uint32_t kRed = 0x000000FF;

inline FontDef Song(int pixelHeight) { return FontDef{.face = "宋体", .pixelHeight = pixelHeight}; }

// Both windows: centred, a fixed border, minimise but no maximise button,
// Esc closes, Enter leaves the focus where it is. Sizes are outer sizes.
inline WindowDef FixedWindow(const char* name, const char* title, int width, int height) {
  return {.name = name, .title = title, .width = width, .height = height, .centred = true, .resizable = false,
          .minimizeButton = true, .maximizeButton = false, .escCloses = true, .enterMovesFocus = false,
          .iconPath = AssetPath("icon-128.png")};
}

}  // namespace trimbrel::look
