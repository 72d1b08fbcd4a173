#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "imaging/byte_reader.hpp"
#include "imaging/drawing_surface.hpp"
#include "imaging/image_object_impl.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

// Snapshots and bitmaps this short cannot hold a picture.
constexpr std::size_t kMinDecodeBytes = 33;

std::size_t RowStride(int width) { return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4; }

int DpiFromPixelsPerMetre(std::int32_t ppm) {
  if (ppm <= 0) return 0;
  return static_cast<int>(std::floor(ppm * 0.0254 + 0.5));
}

ImageObject& Ensure(ImageRef& image) {
  if (!image) image = ImageRef(new ImageObject());
  return *image;
}

}  // namespace

void ImageObjectDeleter::operator()(ImageObject* object) const { delete object; }

std::int32_t PixelsPerMetre(int dpi) {
  const double ppm = std::floor(dpi * 39.37007874015748 + 0.5);
  if (ppm >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(ppm);
}

DibView ImageObject::view() const {
  DibView v;
  if (!hasPixels()) return v;
  v.width = width_;
  v.height = height_;
  v.stride = stride_;
  v.rows = rows_.data();
  return v;
}

void ImageObject::setLastError(const std::string& text) {
  std::size_t n = std::min(text.size(), kMaxErrorBytes);
  // Never cut a UTF-8 sequence in half.
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  lastError_.assign(text, 0, n);
}

void ImageObject::adopt(int width, int height, std::size_t stride, std::vector<std::uint8_t> rows,
                        std::int32_t xPixelsPerMetre, std::int32_t yPixelsPerMetre, int format) {
  width_ = width;
  height_ = height;
  stride_ = stride;
  rows_ = std::move(rows);
  attributes_.formatType = format;
  attributes_.xPixelsPerMetre = xPixelsPerMetre;
  attributes_.yPixelsPerMetre = yPixelsPerMetre;
  attributes_.xDpi = DpiFromPixelsPerMetre(xPixelsPerMetre);
  attributes_.yDpi = DpiFromPixelsPerMetre(yPixelsPerMetre);
}

bool DecodeBmpInto(ImageObject& object, std::span<const std::uint8_t> bytes) {
  ByteReader r(bytes);
  const auto b = r.u8(), m = r.u8();
  if (!b || !m || *b != 'B' || *m != 'M') {
    object.setLastError("Not a BMP");
    return false;
  }
  r.skip(8);
  const auto offBits = r.u32le();
  const auto infoSize = r.u32le();
  const auto width = r.i32le(), height = r.i32le();
  const auto planes = r.u16le(), bits = r.u16le();
  const auto compression = r.u32le();
  r.skip(12);
  const auto xppm = r.i32le(), yppm = r.i32le();
  if (!offBits || !infoSize || !yppm || *infoSize < 40) {
    object.setLastError("Error reading BMP info");
    return false;
  }
  if (*compression == 1 || *compression == 2 || *compression == 3 || *compression == 4 || *compression == 5) {
    object.setLastError("compression type not supported");
    return false;
  }
  if (*compression != 0) {
    object.setLastError("unknown compression");
    return false;
  }
  if (*bits != 24) {
    object.setLastError("BMP bit depth not supported");
    return false;
  }
  const std::int64_t rowsHigh = *height < 0 ? -static_cast<std::int64_t>(*height) : *height;
  if (*planes != 1 || !PictureSizeAllowed(*width, rowsHigh)) {
    object.setLastError("Error reading BMP info");
    return false;
  }
  const int w = *width, h = static_cast<int>(rowsHigh);
  const std::size_t stride = RowStride(w);
  const std::size_t start = *offBits != 0 ? *offBits : 14 + static_cast<std::size_t>(*infoSize);
  const std::size_t imageBytes = stride * static_cast<std::size_t>(h);  // within 2^28 pixels: no overflow
  if (start < 14 + static_cast<std::size_t>(*infoSize) || start > bytes.size() || bytes.size() - start < imageBytes) {
    object.setLastError("BMP data is truncated");
    return false;
  }
  std::vector<std::uint8_t> rows;
  try {
    rows.resize(imageBytes);
  } catch (const std::bad_alloc&) {
    object.setLastError("Can't allocate memory");
    return false;
  }
  const std::uint8_t* src = bytes.data() + start;
  if (*height > 0) {
    std::memcpy(rows.data(), src, imageBytes);
  } else {
    // Stored top-down: keep the object's bottom-up order.
    for (int y = 0; y < h; ++y) {
      std::memcpy(rows.data() + static_cast<std::size_t>(h - 1 - y) * stride, src + static_cast<std::size_t>(y) * stride,
                  stride);
    }
  }
  object.adopt(w, h, stride, std::move(rows), *xppm, *yppm, IMAGE_FORMAT_BMP);
  return true;
}

bool DecodeFromBin(ImageRef& image, std::span<const std::uint8_t> bytes, int format) {
  if (bytes.size() < kMinDecodeBytes) return false;
  ImageObject& object = Ensure(image);
  if (format == IMAGE_FORMAT_BMP) return DecodeBmpInto(object, bytes);
  object.setLastError(format >= 1 && format <= 15 ? "解码: 不支持的图像格式" : "解码: 未知的图像格式");
  return false;
}

bool DecodeFromDib(ImageRef& image, const DibView& pixels) {
  // The BMP bytes of even a 1 × 1 image pass the length test.
  ImageObject& object = Ensure(image);
  if (pixels.rows == nullptr || !PictureSizeAllowed(pixels.width, pixels.height) ||
      pixels.stride < static_cast<std::size_t>(pixels.width) * 3) {
    object.setLastError("Error reading BMP info");
    return false;
  }
  const std::size_t stride = RowStride(pixels.width);
  std::vector<std::uint8_t> rows;
  try {
    rows.resize(stride * static_cast<std::size_t>(pixels.height));
  } catch (const std::bad_alloc&) {
    object.setLastError("Can't allocate memory");
    return false;
  }
  for (int y = 0; y < pixels.height; ++y) {
    std::memcpy(rows.data() + static_cast<std::size_t>(y) * stride, pixels.rowFromBottom(y),
                static_cast<std::size_t>(pixels.width) * 3);
  }
  object.adopt(pixels.width, pixels.height, stride, std::move(rows), 0, 0, IMAGE_FORMAT_BMP);
  return true;
}

bool DecodeFromSurface(ImageRef& image, const DrawingSurface& surface) {
  // Without a bitmap the snapshot would be empty: too short to decode.
  if (!surface.hasBitmap()) return false;
  return DecodeFromDib(image, surface.view());
}

void SetXDPI(ImageRef& image, int dpi) {
  if (!image) return;
  if (dpi <= 0) dpi = kDefaultDpi;
  image->attributes().xDpi = dpi;
  image->attributes().xPixelsPerMetre = PixelsPerMetre(dpi);
}

void SetYDPI(ImageRef& image, int dpi) {
  if (!image) return;
  if (dpi <= 0) dpi = kDefaultDpi;
  image->attributes().yDpi = dpi;
  image->attributes().yPixelsPerMetre = PixelsPerMetre(dpi);
}

void Free(ImageRef& image) { image.reset(); }

std::string LastImageError(const ImageRef& image) { return image ? image->lastError() : std::string(); }

}  // namespace trimbrel
