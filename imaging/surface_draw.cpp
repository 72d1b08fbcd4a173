// Drawing a picture onto the surface: each picture kind becomes B,G,R rows
// (plus a coverage plane for icons and for the transparent-colour mode), the
// rows are stretched into the destination rectangle, and the part of it that
// lies on the bitmap is combined with the surface by the raster operation.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "imaging/drawing_surface.hpp"
#include "imaging/surface_raster.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

enum class RasterOp { None, Copy, NotCopy, Xor, Or, And, Blend, Transparent };

RasterOp OpForMode(std::optional<int> mode) {
  if (!mode) return RasterOp::Copy;
  switch (*mode) {
    case 1:
    case 0xCC0020: return RasterOp::Copy;
    case 2:
    case 0x330008: return RasterOp::NotCopy;
    case 3:
    case 0x660046: return RasterOp::Xor;
    case 4:
    case 0xEE0086: return RasterOp::Or;
    case 5:
    case 0x8800C6: return RasterOp::And;
    default: return *mode < 0 ? RasterOp::Transparent : RasterOp::None;
  }
}

// Compositing over white with the program's single-precision formula; a
// table, since a picture has millions of pixels and only 255 × 256 cases.
const std::array<std::uint8_t, 256 * 256>& WhiteCompositeTable() {
  static const std::array<std::uint8_t, 256 * 256> table = [] {
    std::array<std::uint8_t, 256 * 256> t{};
    const float k = 0.003921568859368563f;
    for (int a = 0; a < 256; ++a) {
      for (int v = 0; v < 256; ++v) {
        if (a == 255) {
          t[a * 256 + v] = static_cast<std::uint8_t>(v);
          continue;
        }
        const float ak = static_cast<float>(a) * k;
        const float lit = ak * static_cast<float>(v);
        const float white = 255.0f * (1.0f - ak);
        const float sum = lit + white;
        const float clamped = std::clamp(sum, 0.0f, 255.0f);
        t[a * 256 + v] = static_cast<std::uint8_t>(static_cast<int>(clamped));
      }
    }
    return t;
  }();
  return table;
}

// The rows of one picture, top-down. With a plane, each row is width pixels of
// colour followed by width pixels of coverage (the value in all three bytes):
// stretching the double-width row keeps the halves apart because the seam
// falls on a pixel boundary at every scale.
class PictureRows {
 public:
  bool init(const Picture& picture, std::optional<std::uint32_t> transparent) {
    pic_ = &picture;
    width_ = picture.width;
    height_ = picture.height;
    if (width_ <= 0 || height_ <= 0) return false;
    const auto w = static_cast<std::size_t>(width_), h = static_cast<std::size_t>(height_);
    switch (picture.kind) {
      case PictureKind::Jpeg:
      case PictureKind::Bmp: {
        const auto need = CheckedMul(w, h, 3);
        if (!need || picture.pixels.size() < *need) return false;
        break;
      }
      case PictureKind::Icon:
      case PictureKind::Cursor:
      case PictureKind::Png: {
        const auto need = CheckedMul(w, h, 4);
        if (!need || picture.pixels.size() < *need) return false;
        break;
      }
      case PictureKind::Gif:
      case PictureKind::Pcx8:
      case PictureKind::Pcx1:
        if (!parseDib()) return false;
        break;
      default:
        return false;
    }
    plane_ = picture.kind == PictureKind::Icon || picture.kind == PictureKind::Cursor || transparent.has_value();
    transparent_ = transparent;
    try {
      row_.resize(w * 3 * (plane_ ? 2 : 1));
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  int width() const { return width_; }
  int height() const { return height_; }
  bool hasPlane() const { return plane_; }
  int rowWidth() const { return plane_ ? 2 * width_ : width_; }

  const std::uint8_t* row(int y) {
    const Picture& p = *pic_;
    const auto w = static_cast<std::size_t>(width_);
    std::uint8_t* out = row_.data();
    switch (p.kind) {
      case PictureKind::Jpeg:
      case PictureKind::Bmp: {
        const std::uint8_t* src = p.pixels.data() + static_cast<std::size_t>(height_ - 1 - y) * w * 3;
        if (!plane_) return src;
        std::memcpy(out, src, w * 3);
        break;
      }
      case PictureKind::Icon:
      case PictureKind::Cursor: {
        // Colour premultiplied by alpha, alpha as the plane: averaging both
        // and blending afterwards keeps transparent pixels from darkening
        // their neighbours.
        const std::uint8_t* src = p.pixels.data() + static_cast<std::size_t>(y) * w * 4;
        for (std::size_t x = 0; x < w; ++x) {
          const unsigned a = src[4 * x + 3];
          for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<std::uint8_t>((src[4 * x + c] * a + 127) / 255);
          std::uint8_t* cov = out + 3 * (w + x);
          cov[0] = cov[1] = cov[2] = static_cast<std::uint8_t>(a);
        }
        return out;
      }
      case PictureKind::Png: {
        const auto& table = WhiteCompositeTable();
        const std::uint8_t* src = p.pixels.data() + static_cast<std::size_t>(y) * w * 4;
        for (std::size_t x = 0; x < w; ++x) {
          const std::size_t a = src[4 * x + 3];
          for (int c = 0; c < 3; ++c) out[3 * x + c] = table[a * 256 + src[4 * x + c]];
        }
        break;
      }
      default:
        dibRow(y, out);
        break;
    }
    if (plane_) markTransparent(out);
    return out;
  }

 private:
  // GIF and PCX pictures keep a bitmap with its own header: 1, 8 or 24 bits,
  // a palette for the first two, rows padded to 4 bytes, top-down when the
  // height is negative. Everything is checked against the block's size.
  bool parseDib() {
    ByteReader r(pic_->pixels);
    r.skip(4);
    const auto bw = r.i32le(), bh = r.i32le();
    r.skip(2);
    const auto bits = r.u16le();
    r.skip(16);
    const auto used = r.u32le();
    if (!bw || !bh || !bits || !used || *bw <= 0 || *bh == 0 || *bh == INT32_MIN) return false;
    if (*bits != 1 && *bits != 8 && *bits != 24) return false;
    dibW_ = *bw;
    dibH_ = *bh < 0 ? -*bh : *bh;
    topDown_ = *bh < 0;
    bits_ = *bits;
    std::size_t entries = 0;
    if (bits_ <= 8) entries = *used != 0 ? *used : (1u << bits_);
    if (entries > 256) return false;
    palette_.assign(256 * 3, 0);
    if (!r.seek(40)) return false;
    for (std::size_t i = 0; i < entries; ++i) {
      auto e = r.bytes(4);
      if (!e) return false;
      palette_[3 * i] = (*e)[0];
      palette_[3 * i + 1] = (*e)[1];
      palette_[3 * i + 2] = (*e)[2];
    }
    rowsAt_ = r.position();
    const auto bitsPerRow = CheckedMul(static_cast<std::size_t>(dibW_), bits_);
    if (!bitsPerRow) return false;
    dibStride_ = (*bitsPerRow + 31) / 32 * 4;
    const auto need = CheckedMul(dibStride_, static_cast<std::size_t>(dibH_));
    return need && r.remaining() >= *need;
  }

  // What lies outside the stored bitmap is black, as in a fresh device bitmap.
  void dibRow(int y, std::uint8_t* out) const {
    const auto w = static_cast<std::size_t>(width_);
    std::memset(out, 0, w * 3);
    if (y >= dibH_) return;
    const int stored = topDown_ ? y : dibH_ - 1 - y;
    const std::uint8_t* src = pic_->pixels.data() + rowsAt_ + static_cast<std::size_t>(stored) * dibStride_;
    const std::size_t n = std::min<std::size_t>(w, static_cast<std::size_t>(dibW_));
    for (std::size_t x = 0; x < n; ++x) {
      if (bits_ == 24) {
        std::memcpy(out + 3 * x, src + 3 * x, 3);
        continue;
      }
      const unsigned index = bits_ == 8 ? src[x] : (src[x / 8] >> (7 - x % 8)) & 1u;
      std::memcpy(out + 3 * x, palette_.data() + 3 * index, 3);
    }
  }

  // The plane of the transparent-colour mode: 0 where the pixel has that colour.
  void markTransparent(std::uint8_t* out) const {
    if (!transparent_) return;
    const auto w = static_cast<std::size_t>(width_);
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint32_t colour = static_cast<std::uint32_t>(out[3 * x + 2]) |
                                   (static_cast<std::uint32_t>(out[3 * x + 1]) << 8) |
                                   (static_cast<std::uint32_t>(out[3 * x]) << 16);
      std::uint8_t* cov = out + 3 * (w + x);
      cov[0] = cov[1] = cov[2] = colour == *transparent_ ? 0 : 255;
    }
  }

  const Picture* pic_ = nullptr;
  int width_ = 0, height_ = 0;
  bool plane_ = false;
  std::optional<std::uint32_t> transparent_;
  std::vector<std::uint8_t> row_;
  int dibW_ = 0, dibH_ = 0, bits_ = 0;
  bool topDown_ = false;
  std::size_t rowsAt_ = 0, dibStride_ = 0;
  std::vector<std::uint8_t> palette_;
};

void Combine(RasterOp op, std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* plane, std::size_t pixels) {
  const std::size_t n = pixels * 3;
  switch (op) {
    case RasterOp::Copy: std::memcpy(dst, src, n); break;
    case RasterOp::NotCopy: for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<std::uint8_t>(~src[k]); break;
    case RasterOp::Xor: for (std::size_t k = 0; k < n; ++k) dst[k] ^= src[k]; break;
    case RasterOp::Or: for (std::size_t k = 0; k < n; ++k) dst[k] |= src[k]; break;
    case RasterOp::And: for (std::size_t k = 0; k < n; ++k) dst[k] &= src[k]; break;
    case RasterOp::Blend:
      for (std::size_t k = 0; k < n; ++k) {
        const unsigned keep = 255u - plane[k];
        dst[k] = static_cast<std::uint8_t>(std::min(255u, src[k] + (dst[k] * keep + 127) / 255));
      }
      break;
    case RasterOp::Transparent:
      for (std::size_t x = 0; x < pixels; ++x) {
        if (plane[3 * x] >= 128) std::memcpy(dst + 3 * x, src + 3 * x, 3);
      }
      break;
    case RasterOp::None: break;
  }
}

}  // namespace

void DrawPicture(DrawingSurface& surface, const Picture& picture, int left, int top, std::optional<int> width,
                 std::optional<int> height, std::optional<int> mode) {
  if (!surface.hasBitmap()) return;
  const bool icon = picture.kind == PictureKind::Icon || picture.kind == PictureKind::Cursor;
  RasterOp op = icon ? RasterOp::Blend : OpForMode(mode);
  if (op == RasterOp::None) return;
  std::optional<std::uint32_t> transparent;
  if (op == RasterOp::Transparent) transparent = 0u - static_cast<std::uint32_t>(*mode);

  PictureRows rows;
  if (!rows.init(picture, transparent)) return;
  const std::int64_t dw = (!width || *width == -1) ? rows.width() : *width;
  const std::int64_t dh = (!height || *height == -1) ? rows.height() : *height;
  if (dw <= 0 || dh <= 0) return;
  const bool scaled = dw != rows.width() || dh != rows.height();
  const int planes = rows.hasPlane() ? 2 : 1;
  if (scaled && (dw * planes > kMaxPictureSide || dh > kMaxPictureSide)) return;

  // The part of the rectangle that lies on the bitmap; the rest is clipped
  // away, which is how a photo larger than its canvas gets cropped.
  const std::int64_t x0 = std::max<std::int64_t>(0, left), x1 = std::min<std::int64_t>(surface.width(), left + dw);
  const std::int64_t y0 = std::max<std::int64_t>(0, top), y1 = std::min<std::int64_t>(surface.height(), top + dh);
  if (x0 >= x1 || y0 >= y1) return;
  const auto visible = static_cast<std::size_t>(x1 - x0);
  const auto skip = static_cast<std::size_t>(x0 - left);
  const auto planeAt = static_cast<std::size_t>(dw);

  auto store = [&](int y, const std::uint8_t* bgr) {
    std::uint8_t* dst = surface.rowFromTop(static_cast<int>(top + y)) + static_cast<std::size_t>(x0) * 3;
    const std::uint8_t* plane = rows.hasPlane() ? bgr + (planeAt + skip) * 3 : nullptr;
    Combine(op, dst, bgr + skip * 3, plane, visible);
  };
  StretchRows(
      rows.rowWidth(), rows.height(), [&](int y) { return rows.row(y); }, static_cast<int>(dw) * planes,
      static_cast<int>(dh), surface.smoothStretch(), static_cast<int>(y0 - top), static_cast<int>(y1 - top), store);
}

}  // namespace trimbrel
