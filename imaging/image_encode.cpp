#include <algorithm>

#include "imaging/atomic_file.hpp"
#include "imaging/bmp_writer.hpp"
#include "imaging/gif_writer.hpp"
#include "imaging/image_object_impl.hpp"
#include "imaging/jpeg_writer.hpp"
#include "imaging/png_writer.hpp"
#include "imaging/tiff_writer.hpp"

namespace trimbrel {

namespace {

bool KnownFormat(int format) { return format >= 1 && format <= 15; }

bool WritableFormat(int format) {
  switch (format) {
    case IMAGE_FORMAT_BMP:
    case IMAGE_FORMAT_GIF:
    case IMAGE_FORMAT_JPG:
    case IMAGE_FORMAT_PNG:
    case IMAGE_FORMAT_TIF: return true;
    default: return false;
  }
}

// A writer's own words when they are English (libjpeg's, libtiff's, ...);
// the image object's Chinese ones stay with it.
Error WriterFailure(const std::string& words) {
  const bool plain = !words.empty() && std::all_of(words.begin(), words.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
  });
  return Fail(plain ? "cannot be encoded: " + words : std::string("cannot be encoded"));
}

Result<void> WriteFormat(const ImageObject& object, int format, ByteSink& out, std::string& note) {
  if (!KnownFormat(format)) return Fail("编码: 未知的图像格式");
  if (!object.hasPixels()) return Fail("没有图像!!!");
  const DibView image = object.view();
  const ImageAttributes& attributes = object.attributes();
  switch (format) {
    case IMAGE_FORMAT_BMP: return WriteBmp(image, attributes, out);
    case IMAGE_FORMAT_GIF: {
      TRIMBREL_TRY_ASSIGN(note, WriteTiledRgbGif(image, out));
      return {};
    }
    case IMAGE_FORMAT_JPG: return WriteJpeg(image, attributes, out);
    case IMAGE_FORMAT_PNG: return WritePng(image, attributes, out);
    case IMAGE_FORMAT_TIF: return WriteTiff(image, attributes, out);
    default: return Fail("编码: 不支持的图像格式");
  }
}

}  // namespace

Result<void> EncodeImage(ImageObject& object, int format, ByteSink& out) {
  std::string note;
  Result<void> written = WriteFormat(object, format, out, note);
  if (!written) note = written.error().reason;
  if (!note.empty()) object.setLastError(note);
  return written;
}

Result<void> SaveImage(ImageRef& image, const std::string& path, int format, ExistingFile existing) {
  if (!image) return Fail("no picture to write");
  if (path.size() < 4) return Fail("the file name is too short");
  ImageObject& object = *image;
  // Refusals that need no file come first, so they never touch the folder.
  if (!KnownFormat(format) || !object.hasPixels()) {
    MemorySink nothing;
    (void)EncodeImage(object, format, nothing);  // for the object's last error text
    return Fail(KnownFormat(format) ? "no picture to write" : "unknown image format");
  }
  AtomicFile file;
  if (auto opened = file.open(path, existing == ExistingFile::Replace); !opened) {
    object.setLastError(FaultText(opened.error()));
    return Fail(SystemReason(opened.error().code));
  }
  FileSink sink(file.file());
  const Result<void> encoded = EncodeImage(object, format, sink);  // on failure the temporary goes with `file`
  if (encoded) sink.flush();
  if (sink.failed()) {
    // A writer that stopped at the failed stream has said so in its words.
    if (encoded) object.setLastError("文件写入失败");
    return Fail(SystemReason(sink.error()));
  }
  if (!encoded) return WritableFormat(format) ? WriterFailure(object.lastError()) : Fail("no writer for this format");
  if (auto committed = file.commit(); !committed) {
    object.setLastError(FaultText(committed.error()));
    return Fail(SystemReason(committed.error().code));
  }
  return {};
}

bool EncodeToFile(ImageRef& image, const std::string& path, int format, ExistingFile existing) {
  return SaveImage(image, path, format, existing).ok();
}

}  // namespace trimbrel
