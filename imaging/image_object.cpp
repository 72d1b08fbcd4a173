#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "imaging/dib_format.hpp"
#include "imaging/drawing_surface.hpp"
#include "imaging/image_object_impl.hpp"
#include "platform/platform.hpp"

namespace trimbrel {

namespace {

// Snapshots and bitmaps this short cannot hold a picture.
constexpr std::size_t kMinDecodeBytes = 33;

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
  if (!hasPixels()) return {};
  return {width_, height_, stride_, rows_.data()};
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

Result<void> DecodeBmpInto(ImageObject& object, std::span<const std::uint8_t> bytes) {
  ByteReader r(bytes);
  if (r.get() != 'B' || r.get() != 'M') return Fail("Not a BMP");
  r.skip(8);  // bfSize, bfReserved1, bfReserved2
  const std::uint32_t offBits = r.getDwordLe();
  const DibInfoHeader info = ReadDibInfoHeader(r);
  if (r.failed() || info.size < 40) return Fail("Error reading BMP info");
  if (info.compression >= 1 && info.compression <= 5) return Fail("compression type not supported");
  if (info.compression != 0) return Fail("unknown compression");
  if (info.bitCount != 24) return Fail("BMP bit depth not supported");
  const std::int64_t rowsHigh = std::abs(std::int64_t{info.height});
  if (info.planes != 1 || !PictureSizeAllowed(info.width, rowsHigh)) {
    return Fail("Error reading BMP info");
  }
  const int w = info.width, h = static_cast<int>(rowsHigh);
  const std::size_t stride = DibStride(w);
  const std::size_t start = offBits != 0 ? offBits : 14 + static_cast<std::size_t>(info.size);
  const std::size_t imageBytes = stride * static_cast<std::size_t>(h);  // within 2^28 pixels: no overflow
  if (start < 14 + static_cast<std::size_t>(info.size) || start > bytes.size() || bytes.size() - start < imageBytes) {
    return Fail("BMP data is truncated");
  }
  std::vector<std::uint8_t> rows;
  try {
    rows.resize(imageBytes);
  } catch (const std::bad_alloc&) {
    return Fail("Can't allocate memory");
  }
  const std::uint8_t* src = bytes.data() + start;
  if (info.height > 0) {
    std::memcpy(rows.data(), src, imageBytes);
  } else {
    // Stored top-down: keep the object's bottom-up order.
    for (int y = 0; y < h; ++y) {
      std::memcpy(rows.data() + static_cast<std::size_t>(h - 1 - y) * stride, src + static_cast<std::size_t>(y) * stride,
                  stride);
    }
  }
  object.adopt(w, h, stride, std::move(rows), info.xPixelsPerMetre, info.yPixelsPerMetre, IMAGE_FORMAT_BMP);
  return {};
}

bool DecodeFromBin(ImageRef& image, std::span<const std::uint8_t> bytes, int format) {
  if (bytes.size() < kMinDecodeBytes) return false;
  ImageObject& object = Ensure(image);
  if (format == IMAGE_FORMAT_BMP) {
    auto decoded = DecodeBmpInto(object, bytes);
    if (!decoded) object.setLastError(decoded.error().reason);
    return decoded.ok();
  }
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
  const std::size_t stride = DibStride(pixels.width);
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
