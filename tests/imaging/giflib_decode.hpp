// Test helper: reads GIF bytes with giflib, the reference reader the
// writer's output is checked against.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trimbrel::testing {

struct GiflibFrame {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> indices;  // row by row from the top
  std::vector<std::uint8_t> rgb;      // local colour table, R, G, B per entry; empty without one
};

struct GiflibImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> globalRgb;
  std::vector<GiflibFrame> frames;
};

namespace detail {
struct GiflibInput {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
};

inline int ReadFromSpan(GifFileType* gif, GifByteType* dest, int wanted) {
  auto* in = static_cast<GiflibInput*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(wanted), in->bytes.size() - in->at);
  if (n > 0) std::memcpy(dest, in->bytes.data() + in->at, n);
  in->at += n;
  return static_cast<int>(n);
}

inline std::vector<std::uint8_t> CopyColourMap(const ColorMapObject* map) {
  std::vector<std::uint8_t> rgb;
  if (map == nullptr) return rgb;
  for (int i = 0; i < map->ColorCount; ++i) {
    rgb.push_back(map->Colors[i].Red);
    rgb.push_back(map->Colors[i].Green);
    rgb.push_back(map->Colors[i].Blue);
  }
  return rgb;
}
}  // namespace detail

// Decodes every frame; on failure returns nothing and puts giflib's reason in `error`.
inline std::optional<GiflibImage> DecodeWithGiflib(std::span<const std::uint8_t> bytes, std::string& error) {
  detail::GiflibInput input{bytes};
  int code = 0;
  GifFileType* gif = DGifOpen(&input, detail::ReadFromSpan, &code);
  if (gif == nullptr) {
    error = GifErrorString(code);
    return std::nullopt;
  }
  std::optional<GiflibImage> result;
  if (DGifSlurp(gif) != GIF_OK) {
    error = GifErrorString(gif->Error);
  } else {
    GiflibImage image;
    image.width = gif->SWidth;
    image.height = gif->SHeight;
    image.globalRgb = detail::CopyColourMap(gif->SColorMap);
    for (int n = 0; n < gif->ImageCount; ++n) {
      const SavedImage& saved = gif->SavedImages[n];
      GiflibFrame frame;
      frame.left = saved.ImageDesc.Left;
      frame.top = saved.ImageDesc.Top;
      frame.width = saved.ImageDesc.Width;
      frame.height = saved.ImageDesc.Height;
      frame.indices.assign(saved.RasterBits, saved.RasterBits + static_cast<std::size_t>(frame.width) * frame.height);
      frame.rgb = detail::CopyColourMap(saved.ImageDesc.ColorMap);
      image.frames.push_back(std::move(frame));
    }
    result = std::move(image);
  }
  DGifCloseFile(gif, &code);
  return result;
}

}  // namespace trimbrel::testing
