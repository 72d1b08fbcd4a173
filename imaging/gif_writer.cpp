#include "imaging/gif_writer.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "imaging/lzw_encoder.hpp"
#include "platform/platform.hpp"

namespace trimbrel {
namespace {

constexpr int kTileWidth = 17;
constexpr int kTileHeight = 15;
constexpr int kPaletteSize = 256;
constexpr std::uint8_t kMinCodeSize = 8;
constexpr const char* kWriteError = "GIF 文件写出错误";

// Colours travel as 0x00RRGGBB.
std::uint32_t PackRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

// One piece of the picture as an 8-bit image with its own colour table.
// Tile row 0 is the piece's bottom row; the data goes out top row first.
class GifTile final : public PixelSource {
 public:
  // Every entry black, as a freshly created 8-bit image has it.
  void create(int width, int height) {
    width_ = width;
    height_ = height;
    palette_.fill(0);
  }
  int width() const { return width_; }
  int height() const { return height_; }

  void setOffset(int x, int y) {
    left_ = x;
    top_ = y;
  }
  int left() const { return left_; }
  int top() const { return top_; }
  // No transparent colour and no delay in this program's pictures.
  int transparentIndex() const { return -1; }
  int delay() const { return 0; }

  // Starts a new piece: colours remembered from the previous one no longer count.
  void beginFill() {
    if (++stamp_ == 0) {
      slotStamp_.fill(0);
      stamp_ = 1;
    }
  }

  void setPaletteColor(int index, std::uint32_t rgb) {
    std::uint8_t* entry = &palette_[static_cast<std::size_t>(index) * 3];
    entry[0] = static_cast<std::uint8_t>(rgb >> 16);
    entry[1] = static_cast<std::uint8_t>(rgb >> 8);
    entry[2] = static_cast<std::uint8_t>(rgb);
    rememberFirst(rgb, index);
  }

  std::uint32_t paletteColor(int index) const {
    const std::uint8_t* entry = &palette_[static_cast<std::size_t>(index) * 3];
    return PackRgb(entry[0], entry[1], entry[2]);
  }

  // The lowest index whose entry has exactly this colour, the answer of a
  // full nearest-colour scan over all 256 entries. While a piece is filled
  // in index order, entry i has just received the colour asked for, entries
  // below i hold this piece's colours or the black of `create`, and entries
  // above i cannot beat i; so entry 0 answers black and the first index
  // recorded for a colour answers the rest. Anything else takes the scan.
  int nearestIndex(std::uint32_t rgb) const {
    if (paletteColor(0) == rgb) return 0;
    const int first = recalledFirst(rgb);
    if (first >= 0 && paletteColor(first) == rgb) return first;
    return nearestIndexByScan(rgb);
  }

  // Smallest (dR)² + (dG)² + (dB)², first index on ties, stopping at an exact match.
  int nearestIndexByScan(std::uint32_t rgb) const {
    const int r = static_cast<int>((rgb >> 16) & 0xFF);
    const int g = static_cast<int>((rgb >> 8) & 0xFF);
    const int b = static_cast<int>(rgb & 0xFF);
    int best = 200000;
    int bestIndex = 0;
    for (int i = 0; i < kPaletteSize; ++i) {
      const std::uint8_t* entry = &palette_[static_cast<std::size_t>(i) * 3];
      const int dr = entry[0] - r;
      const int dg = entry[1] - g;
      const int db = entry[2] - b;
      const int distance = dr * dr + dg * dg + db * db;
      if (distance < best) {
        best = distance;
        bestIndex = i;
        if (distance == 0) break;
      }
    }
    return bestIndex;
  }

  void setPixel(int k, int j, int index) {
    pixels_[static_cast<std::size_t>(j * kTileWidth + k)] = static_cast<std::uint8_t>(index);
  }

  std::span<const std::uint8_t> colourTable() const { return palette_; }

  void rewind() {
    nextRow_ = height_ - 1;
    nextColumn_ = 0;
  }

  // Top row first, left to right, then -1.
  int nextPixel() override {
    if (nextRow_ < 0) return -1;
    const int index = pixels_[static_cast<std::size_t>(nextRow_ * kTileWidth + nextColumn_)];
    if (++nextColumn_ == width_) {
      nextColumn_ = 0;
      --nextRow_;
    }
    return index;
  }

 private:
  static constexpr int kSlots = 512;  // at least twice the 255 colours of a piece

  static int slotOf(std::uint32_t rgb) { return static_cast<int>((rgb * 0x9E3779B1u) >> 23); }

  void rememberFirst(std::uint32_t rgb, int index) {
    for (int s = slotOf(rgb);; s = (s + 1) & (kSlots - 1)) {
      if (slotStamp_[s] != stamp_) {
        slotStamp_[s] = stamp_;
        slotColour_[s] = rgb;
        slotIndex_[s] = static_cast<std::uint8_t>(index);
        return;
      }
      if (slotColour_[s] == rgb) {
        if (index < slotIndex_[s]) slotIndex_[s] = static_cast<std::uint8_t>(index);
        return;
      }
    }
  }

  int recalledFirst(std::uint32_t rgb) const {
    for (int s = slotOf(rgb);; s = (s + 1) & (kSlots - 1)) {
      if (slotStamp_[s] != stamp_) return -1;
      if (slotColour_[s] == rgb) return slotIndex_[s];
    }
  }

  int width_ = 0;
  int height_ = 0;
  int left_ = 0;
  int top_ = 0;
  std::array<std::uint8_t, kPaletteSize * 3> palette_{};  // R, G, B per entry
  std::array<std::uint8_t, kTileWidth * kTileHeight> pixels_{};
  int nextRow_ = -1;
  int nextColumn_ = 0;

  std::array<std::uint32_t, kSlots> slotStamp_{};
  std::array<std::uint32_t, kSlots> slotColour_{};
  std::array<std::uint8_t, kSlots> slotIndex_{};
  std::uint32_t stamp_ = 0;
};

// Writes a 24-bit picture without reducing its colours: every piece of
// 17 × 15 pixels is its own image, so its 255 pixels fit one colour table.
class GifCodec {
 public:
  Result<std::string> writeTiledRgb(const DibView& image, ByteSink& out);

 private:
  void writeScreenHeader(ByteSink& out, int width, int height);
  void writeComment(ByteSink& out);
  void fillTile(const DibView& image, int x, int y);
  void writeControlExtension(ByteSink& out, const GifTile& tile);
  void writeImageBlock(ByteSink& out, GifTile& tile);
  static std::uint32_t pixelColor(const DibView& image, int column, int rowFromBottom);

  std::string comment_;
  int disposalMethod_ = 0;
  GifTile tile_;
  LzwEncoder lzw_;  // its tables are reset per piece, not reallocated
};

Result<std::string> GifCodec::writeTiledRgb(const DibView& image, ByteSink& out) {
  if (image.width <= 0 || image.height <= 0 || image.rows == nullptr) return Fail("没有图像!!!");
  // The format stores sides in 16 bits; a larger picture would come out corrupt.
  if (image.width > kMaxPictureSide || image.height > kMaxPictureSide) {
    return Fail("GIF 图像的宽度或高度超过 65535");
  }
  if (image.stride < static_cast<std::size_t>(image.width) * 3) return Fail("GIF 图像的行长度不足");

  writeScreenHeader(out, image.width, image.height);
  writeComment(out);
  tile_.create(0, 0);
  for (int y = 0; y < image.height; y += kTileHeight) {
    for (int x = 0; x < image.width; x += kTileWidth) {
      const int w = std::min(kTileWidth, image.width - x);
      const int h = std::min(kTileHeight, image.height - y);
      if (w != tile_.width() || h != tile_.height()) tile_.create(w, h);
      fillTile(image, x, y);
      tile_.setOffset(x, y);
      writeControlExtension(out, tile_);
      writeImageBlock(out, tile_);
    }
  }
  out.put(0x3B);  // trailer
  out.flush();
  // A failed stream (the sink keeps failing once it failed, so a piece the
  // LZW encoder could not write shows here too) is noted but does not fail
  // the writer.
  return std::string(out.failed() ? kWriteError : "");
}

// Header and logical screen descriptor; no global colour table.
void GifCodec::writeScreenHeader(ByteSink& out, int width, int height) {
  static constexpr std::uint8_t kSignature[] = {'G', 'I', 'F', '8', '9', 'a'};
  out.write(kSignature);
  out.putWordLe(static_cast<std::uint16_t>(width));
  out.putWordLe(static_cast<std::uint16_t>(height));
  out.put(0x11);  // packed fields
  out.put(0);     // background colour index
  out.put(0);     // pixel aspect ratio
}

// Comment extension, only for a non-empty comment.
void GifCodec::writeComment(ByteSink& out) {
  if (comment_.empty()) return;
  out.put(0x21);
  out.put(0xFE);
  for (std::size_t at = 0; at < comment_.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, comment_.size() - at);
    out.put(static_cast<std::uint8_t>(n));
    out.write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(comment_.data()) + at, n));
  }
  out.put(0);
}

// Pixel (k, j) of the piece becomes palette entry 1 + k + 17 j, so the
// colour table carries the piece's colours exactly.
void GifCodec::fillTile(const DibView& image, int x, int y) {
  const int w = tile_.width();
  const int h = tile_.height();
  const int bottomRow = image.height - y - h;  // stored rows run bottom-up
  tile_.beginFill();
  for (int j = 0; j < h; ++j) {
    for (int k = 0; k < w; ++k) {
      const std::uint32_t rgb = pixelColor(image, x + k, bottomRow + j);
      const int entry = 1 + k + kTileWidth * j;
      tile_.setPaletteColor(entry, rgb);
      tile_.setPixel(k, j, tile_.nearestIndex(rgb));
    }
  }
}

// Graphic control extension.
void GifCodec::writeControlExtension(ByteSink& out, const GifTile& tile) {
  out.put(0x21);
  out.put(0xF9);
  out.put(0x04);  // block size
  out.put(static_cast<std::uint8_t>(((disposalMethod_ & 7) << 2) | (tile.transparentIndex() >= 0 ? 1 : 0)));
  out.putWordLe(static_cast<std::uint16_t>(tile.delay()));
  out.put(static_cast<std::uint8_t>(tile.transparentIndex() & 0xFF));
  out.put(0);  // block terminator
}

// Image descriptor, local colour table and LZW image data.
void GifCodec::writeImageBlock(ByteSink& out, GifTile& tile) {
  out.put(0x2C);
  out.putWordLe(static_cast<std::uint16_t>(tile.left()));
  out.putWordLe(static_cast<std::uint16_t>(tile.top()));
  out.putWordLe(static_cast<std::uint16_t>(tile.width()));
  out.putWordLe(static_cast<std::uint16_t>(tile.height()));
  out.put(0x80 | (8 - 1));  // local colour table of 2^8 entries
  out.write(tile.colourTable());
  out.put(kMinCodeSize);
  tile.rewind();
  lzw_.compressLzw(tile, out);  // a failed sink stays failed: writeTiledRgb notes it
  out.put(0);  // block terminator
}

std::uint32_t GifCodec::pixelColor(const DibView& image, int column, int rowFromBottom) {
  const std::uint8_t* bgr = image.rowFromBottom(rowFromBottom) + static_cast<std::size_t>(column) * 3;
  return PackRgb(bgr[2], bgr[1], bgr[0]);
}

}  // namespace

Result<std::string> WriteTiledRgbGif(const DibView& image, ByteSink& out) {
  // The LZW tables make the codec too large for the stack.
  return std::make_unique<GifCodec>()->writeTiledRgb(image, out);
}

}  // namespace trimbrel
