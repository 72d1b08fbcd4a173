// The drawing surface: an off-screen 24-bit canvas that pictures are drawn
// onto (1:1 to crop or pad, stretched to scale) and whose content comes out as
// the bytes of a BMP file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "imaging/dib_view.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {

// 0xFF000000 stands for the owner's button-face colour; any other value is 0x00BBGGRR.
inline constexpr std::uint32_t kSystemDefaultColour = 0xFF000000u;
inline constexpr std::uint32_t kNoWindowButtonFace = 0x00F0F0F0u;

// Leaves new bytes unset: every byte of a fresh backing bitmap is written by
// the rebuild anyway, and zeroing a 100 MB canvas first costs a full pass.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class DrawingSurface {
 public:
  // The owner tells the surface what the display would: its button-face
  // colour and its depth in bits (the command line has no display: 24).
  explicit DrawingSurface(std::uint32_t buttonFaceColour = kNoWindowButtonFace, int displayDepth = 24);

  void setBackgroundColour(std::uint32_t colour);
  std::uint32_t backgroundColour() const { return background_; }
  void setButtonFaceColour(std::uint32_t colour) { buttonFace_ = colour; }
  void setDisplayDepth(int bits) { displayDepth_ = bits; }
  int displayDepth() const { return displayDepth_; }
  // The colour clearing fills with, resolved to 0x00BBGGRR.
  std::uint32_t effectiveBackground() const;

  // The panel's rectangle in its parent, as ResizeSurface left it.
  int left() const { return left_; }
  int top() const { return top_; }
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }
  // The backing bitmap: the client size, at least 1 × 1; 0 × 0 when it could
  // not be allocated (then drawing does nothing and snapshots are empty).
  int width() const { return width_; }
  int height() const { return height_; }
  bool hasBitmap() const { return !rows_.empty(); }
  // More than 16 bits: stretches average areas; otherwise nearest pixel.
  bool smoothStretch() const { return displayDepth_ > 16; }

  // The backing bitmap: B,G,R rows bottom-up, each padded to a multiple of 4
  // bytes — exactly the pixel part of a snapshot.
  std::size_t stride() const { return stride_; }
  std::span<const std::uint8_t> rows() const { return rows_; }
  std::span<std::uint8_t> rows() { return rows_; }
  std::uint8_t* rowFromTop(int y);
  const std::uint8_t* rowFromTop(int y) const;
  DibView view() const;  // empty view without a bitmap

  int penX() const { return penX_; }
  int penY() const { return penY_; }

 private:
  friend void ResizeSurface(DrawingSurface&, std::optional<int>, std::optional<int>,
                            std::optional<int>, std::optional<int>);
  friend void ClearSurface(DrawingSurface&, std::optional<int>, std::optional<int>,
                           std::optional<int>, std::optional<int>);
  void rebuild(int width, int height);

  std::uint32_t background_ = kSystemDefaultColour;
  std::uint32_t buttonFace_;
  int displayDepth_;
  int left_ = 0, top_ = 0, clientWidth_ = 0, clientHeight_ = 0;
  int width_ = 0, height_ = 0;
  std::size_t stride_ = 0;
  using Bytes = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;
  Bytes rows_;
  int penX_ = 0, penY_ = 0;
};

void ResizeSurface(DrawingSurface& surface, std::optional<int> left, std::optional<int> top,
                   std::optional<int> width, std::optional<int> height);
void ClearSurface(DrawingSurface& surface, std::optional<int> left = {}, std::optional<int> top = {},
                  std::optional<int> width = {}, std::optional<int> height = {});
// Draws the whole picture stretched into (left, top, width, height); an absent
// width or height is the picture's own. Mode: absent or 1 copy, 2 inverted
// copy, 3 xor, 4 or, 5 and; −t draws with colour t (0x00BBGGRR) transparent.
// Other values are taken as raster-operation codes: 0xCC0020 copy, 0x330008
// inverted copy, 0x660046 xor, 0xEE0086 or, 0x8800C6 and; any other code
// draws nothing. Icons and cursors always draw with their own transparency.
// A width or height of −1 means the picture's own; other values below 1 draw
// nothing, as does a stretched rectangle over 65535 pixels on a side.
void DrawPicture(DrawingSurface& surface, PictureHandle picture, int left, int top,
                 std::optional<int> width = {}, std::optional<int> height = {},
                 std::optional<int> mode = {});
void DrawPicture(DrawingSurface& surface, const Picture& picture, int left, int top,
                 std::optional<int> width = {}, std::optional<int> height = {},
                 std::optional<int> mode = {});
// The content as a complete 24-bit BMP file image; empty when it cannot be made.
std::vector<std::uint8_t> TakeSnapshot(const DrawingSurface& surface, std::optional<int> width = {},
                                       std::optional<int> height = {});

// Picture sizes in the surface's logical units (it works in pixels).
std::int32_t PictureWidth(const DrawingSurface& surface, PictureHandle picture);
std::int32_t PictureHeight(const DrawingSurface& surface, PictureHandle picture);

}  // namespace trimbrel
