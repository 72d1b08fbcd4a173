// The image object: holds one decoded 24-bit image with its resolution and
// writes it as BMP, GIF, JPEG, PNG or TIFF.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_view.hpp"
#include "platform/platform.hpp"

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

class DrawingSurface;
class ImageObject;
// The owning, nullable reference a batch run holds: created by the first
// DecodeFromBin, released by Free. The deleter lives with the object, so a
// holder needs no more than this header.
struct ImageObjectDeleter {
  void operator()(ImageObject* object) const;
};
using ImageRef = std::unique_ptr<ImageObject, ImageObjectDeleter>;

// More than 32 bytes: creates the object when the reference is empty, then
// decodes (BMP, 24 bits). False on failure, which leaves the previous image in
// the object — callers that must not write a stale image test the result.
bool DecodeFromBin(ImageRef& image, std::span<const std::uint8_t> bytes, int format);
// Same object state as DecodeFromBin(image, TakeSnapshot(surface), IMAGE_FORMAT_BMP),
// without building the BMP bytes.
bool DecodeFromSurface(ImageRef& image, const DrawingSurface& surface);
// Same as DecodeFromBin of a 24-bit BMP holding these rows (stored bottom-up,
// padded), without the copy through BMP bytes.
bool DecodeFromDib(ImageRef& image, const DibView& pixels);
// Resolution in dots per inch for both the writers and the bitmap header's
// pixels per metre; 0 or less means 96.
void SetXDPI(ImageRef& image, int dpi);
void SetYDPI(ImageRef& image, int dpi);
// Writes to a temporary file beside `path` and renames it over `path` only
// when the writer succeeded; an existing file survives a failed write. With
// ExistingFile::Keep nothing is written where anything of that name exists
// ("无法写入文件: File exists"), even when it appears during the write.
enum class ExistingFile { Replace, Keep };
bool EncodeToFile(ImageRef& image, const std::string& path, int format,
                  ExistingFile existing = ExistingFile::Replace);
// EncodeToFile that says why it failed in English, with the system's own
// words where a call failed ("no space left on device", "permission
// denied"), for messages outside the window. The object's last error gets
// the same text as from EncodeToFile.
Result<void> SaveImage(ImageRef& image, const std::string& path, int format,
                       ExistingFile existing = ExistingFile::Replace);
void Free(ImageRef& image);
// The reason of the last failure, up to 256 bytes; empty when there is no object.
std::string LastImageError(const ImageRef& image);

}  // namespace trimbrel
