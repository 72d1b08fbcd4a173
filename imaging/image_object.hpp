// The image object: holds one decoded 24-bit image with its resolution and
// writes it as BMP, GIF, JPEG, PNG or TIFF.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace trimbrel {

enum ImageFormat : int {
  IMAGE_FORMAT_UNKNOWN = 0,
  IMAGE_FORMAT_BMP = 1,
  IMAGE_FORMAT_GIF = 2,
  IMAGE_FORMAT_JPG = 3,
  IMAGE_FORMAT_PNG = 4,
  IMAGE_FORMAT_ICO = 5,
  IMAGE_FORMAT_TIF = 6,
  IMAGE_FORMAT_TGA = 7,
  IMAGE_FORMAT_PCX = 8,
  IMAGE_FORMAT_WBMP = 9,
};

class ImageObject;
// The owning, nullable reference a batch run holds: created by the first
// DecodeFromBin, released by Free.
using ImageRef = std::unique_ptr<ImageObject>;

bool DecodeFromBin(ImageRef& image, std::span<const std::uint8_t> bytes, int format);
void SetXDPI(ImageRef& image, int dpi);
void SetYDPI(ImageRef& image, int dpi);
// Writes to a temporary file beside `path` and renames it over `path` only
// when the writer succeeded; an existing file survives a failed write.
bool EncodeToFile(ImageRef& image, const std::string& path, int format);
void Free(ImageRef& image);
// The reason of the last failure, up to 256 bytes; empty when there is no object.
std::string LastImageError(const ImageRef& image);

}  // namespace trimbrel
