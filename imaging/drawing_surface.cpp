#include "imaging/drawing_surface.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/area_resampler.hpp"
#include "imaging/surface_raster.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

void FillRow(std::uint8_t* row, int count, std::uint32_t colour) {
  const std::uint8_t b = static_cast<std::uint8_t>(colour >> 16), g = static_cast<std::uint8_t>(colour >> 8),
                     r = static_cast<std::uint8_t>(colour);
  for (int x = 0; x < count; ++x) {
    row[3 * x] = b;
    row[3 * x + 1] = g;
    row[3 * x + 2] = r;
  }
}

}  // namespace

DrawingSurface::DrawingSurface(std::uint32_t buttonFaceColour, int displayDepth)
    : buttonFace_(buttonFaceColour), displayDepth_(displayDepth) {
  rebuild(0, 0);
}

void DrawingSurface::setBackgroundColour(std::uint32_t colour) { background_ = colour; }

std::uint32_t DrawingSurface::effectiveBackground() const {
  return (background_ == kSystemDefaultColour ? buttonFace_ : background_) & 0x00FFFFFFu;
}

std::uint8_t* DrawingSurface::rowFromTop(int y) {
  return rows_.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
}
const std::uint8_t* DrawingSurface::rowFromTop(int y) const {
  return rows_.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
}

DibView DrawingSurface::view() const {
  if (!hasBitmap()) return {};
  return {width_, height_, stride_, rows_.data()};
}

// A new bitmap of the new client size (at least 1 × 1) in the background
// colour, the old content on its top-left corner, the pen back at the origin.
// A size the program cannot hold leaves the surface without a bitmap; every
// operation then does nothing and snapshots come out empty.
void DrawingSurface::rebuild(int clientWidth, int clientHeight) {
  const int w = std::max(1, clientWidth), h = std::max(1, clientHeight);
  penX_ = penY_ = 0;
  Bytes fresh;
  const std::size_t stride = DibStride(w);
  const auto bytes = CheckedMul(stride, static_cast<std::size_t>(h));
  bool allocated = false;
  if (bytes && PictureSizeAllowed(w, h)) {
    try {
      fresh.resize(*bytes);
      allocated = true;
    } catch (const std::bad_alloc&) {
    }
  }
  if (!allocated) {
    rows_ = Bytes();
    width_ = height_ = 0;
    stride_ = 0;
    return;
  }
  const std::uint32_t colour = effectiveBackground();
  const int keepW = hasBitmap() ? std::min(w, width_) : 0;
  const int keepH = hasBitmap() ? std::min(h, height_) : 0;
  // One row in the background colour with zero padding, copied to every
  // row (the bytes are not initialised otherwise), then the old content.
  std::uint8_t* pattern = fresh.data() + static_cast<std::size_t>(h - 1) * stride;
  FillRow(pattern, w, colour);
  std::memset(pattern + static_cast<std::size_t>(w) * 3, 0, stride - static_cast<std::size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = fresh.data() + static_cast<std::size_t>(h - 1 - y) * stride;
    if (row != pattern) std::memcpy(row, pattern, stride);
  }
  // Over the background, now that every row has it.
  for (int y = 0; y < keepH; ++y) {
    std::memcpy(fresh.data() + static_cast<std::size_t>(h - 1 - y) * stride, rowFromTop(y),
                static_cast<std::size_t>(keepW) * 3);
  }
  rows_ = std::move(fresh);
  width_ = w;
  height_ = h;
  stride_ = stride;
}

void ResizeSurface(DrawingSurface& surface, std::optional<int> left, std::optional<int> top,
                   std::optional<int> width, std::optional<int> height) {
  int newLeft = left.value_or(surface.left_);
  int newTop = top.value_or(surface.top_);
  int newWidth = (width && *width != -1) ? *width : surface.clientWidth_;
  int newHeight = (height && *height != -1) ? *height : surface.clientHeight_;
  // A window cannot be narrower than nothing.
  newWidth = std::max(0, newWidth);
  newHeight = std::max(0, newHeight);
  if (newLeft == surface.left_ && newTop == surface.top_ && newWidth == surface.clientWidth_ &&
      newHeight == surface.clientHeight_) {
    return;
  }
  surface.left_ = newLeft;
  surface.top_ = newTop;
  const bool sized = newWidth != surface.clientWidth_ || newHeight != surface.clientHeight_;
  surface.clientWidth_ = newWidth;
  surface.clientHeight_ = newHeight;
  if (sized) surface.rebuild(newWidth, newHeight);
}

void ClearSurface(DrawingSurface& surface, std::optional<int> left, std::optional<int> top,
                  std::optional<int> width, std::optional<int> height) {
  const std::int64_t l = left.value_or(0), t = top.value_or(0);
  const std::int64_t r = width ? l + *width : surface.clientWidth_;
  const std::int64_t b = height ? t + *height : surface.clientHeight_;
  surface.penX_ = static_cast<int>(l);
  surface.penY_ = static_cast<int>(t);
  if (!surface.hasBitmap()) return;
  const int x0 = static_cast<int>(std::clamp<std::int64_t>(l, 0, surface.width_));
  const int x1 = static_cast<int>(std::clamp<std::int64_t>(r, 0, surface.width_));
  const int y0 = static_cast<int>(std::clamp<std::int64_t>(t, 0, surface.height_));
  const int y1 = static_cast<int>(std::clamp<std::int64_t>(b, 0, surface.height_));
  if (x0 >= x1 || y0 >= y1) return;
  const std::uint32_t colour = surface.effectiveBackground();
  const std::size_t offset = static_cast<std::size_t>(x0) * 3, bytes = static_cast<std::size_t>(x1 - x0) * 3;
  const std::uint8_t* first = surface.rowFromTop(y0) + offset;
  FillRow(surface.rowFromTop(y0) + offset, x1 - x0, colour);
  for (int y = y0 + 1; y < y1; ++y) std::memcpy(surface.rowFromTop(y) + offset, first, bytes);
}

namespace {

// Resolves one snapshot extent: absent or 0 the bitmap's own, −p that many per
// cent of it (at least 10), a positive value as given.
std::int64_t SnapshotExtent(std::optional<int> requested, int own) {
  if (!requested || *requested == 0) return own;
  if (*requested > 0) return *requested;
  const std::int64_t percent = std::max<std::int64_t>(10, -static_cast<std::int64_t>(*requested));
  return static_cast<std::int64_t>(own) * percent / 100;
}

}  // namespace

std::vector<std::uint8_t> TakeSnapshot(const DrawingSurface& surface, std::optional<int> width,
                                       std::optional<int> height) {
  std::vector<std::uint8_t> out;
  if (!surface.hasBitmap()) return out;
  const std::int64_t w = SnapshotExtent(width, surface.width()), h = SnapshotExtent(height, surface.height());
  if (w <= 0 || h <= 0 || !PictureSizeAllowed(w, h)) return out;
  const std::size_t stride = DibStride(static_cast<std::size_t>(w));
  const auto image = CheckedMul(stride, static_cast<std::size_t>(h));
  if (!image || *image > 0xFFFFFFFFu - 54) return out;
  try {
    out.resize(54 + *image);
  } catch (const std::bad_alloc&) {
    return std::vector<std::uint8_t>();
  }
  std::uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  StoreLe32(p + 2, static_cast<std::uint32_t>(out.size()));
  StoreLe32(p + 10, 54);
  StoreLe32(p + 14, 40);
  StoreLe32(p + 18, static_cast<std::uint32_t>(w));
  StoreLe32(p + 22, static_cast<std::uint32_t>(h));
  StoreLe16(p + 26, 1);
  StoreLe16(p + 28, 24);
  StoreLe32(p + 34, static_cast<std::uint32_t>(*image));
  std::uint8_t* pixels = p + 54;
  if (w == surface.width() && h == surface.height()) {
    std::memcpy(pixels, surface.rows().data(), *image);
    return out;
  }
  const int dw = static_cast<int>(w), dh = static_cast<int>(h);
  const DibView source = surface.view();
  auto store = [&](int y, const std::uint8_t* bgr) {
    std::memcpy(pixels + static_cast<std::size_t>(dh - 1 - y) * stride, bgr, static_cast<std::size_t>(dw) * 3);
  };
  if (!StretchDib(source, dw, dh, surface.displayDepth() > 16, store)) return std::vector<std::uint8_t>();
  return out;
}

}  // namespace trimbrel
