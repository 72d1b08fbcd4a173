// The image object's insides: one 24-bit image stored like a bitmap's pixel
// block (bottom row first, rows padded to 4 bytes) and its attributes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/image_attributes.hpp"
#include "imaging/image_object.hpp"

namespace trimbrel {

class ImageObject {
 public:
  static constexpr std::size_t kMaxErrorBytes = 256;

  bool hasPixels() const { return width_ > 0 && height_ > 0 && !rows_.empty(); }
  int width() const { return width_; }
  int height() const { return height_; }
  int bitCount() const { return hasPixels() ? 24 : 0; }
  std::size_t stride() const { return stride_; }
  std::span<const std::uint8_t> rows() const { return rows_; }
  DibView view() const;

  ImageAttributes& attributes() { return attributes_; }
  const ImageAttributes& attributes() const { return attributes_; }

  const std::string& lastError() const { return lastError_; }
  // Keeps at most kMaxErrorBytes, cut at a character boundary.
  void setLastError(const std::string& text);

  // Takes over a decoded image: pixels, size and the resolution it carried
  // (0 pixels per metre reads as 0 dots per inch). The other attributes stay.
  void adopt(int width, int height, std::size_t stride, std::vector<std::uint8_t> rows, std::int32_t xPixelsPerMetre,
             std::int32_t yPixelsPerMetre, int format);

 private:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> rows_;
  ImageAttributes attributes_;
  std::string lastError_;
};

// Decodes a whole BMP file image (24 bits, uncompressed, either row order)
// into the object. On failure the object keeps its image, and the reason is
// the text for its last error.
Result<void> DecodeBmpInto(ImageObject& object, std::span<const std::uint8_t> bytes);

// Runs the writer for `format` on the object's image. A failure's reason,
// and the GIF writer's note on a failed stream, become the object's last
// error text.
Result<void> EncodeImage(ImageObject& object, int format, ByteSink& out);

}  // namespace trimbrel
