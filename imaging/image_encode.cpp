#include "imaging/atomic_file.hpp"
#include "imaging/bmp_writer.hpp"
#include "imaging/gif_writer.hpp"
#include "imaging/image_object_impl.hpp"
#include "imaging/jpeg_writer.hpp"
#include "imaging/png_writer.hpp"
#include "imaging/tiff_writer.hpp"

namespace trimbrel {

bool EncodeImage(ImageObject& object, int format, ByteSink& out) {
  if (format < 1 || format > 15) {
    object.setLastError("编码: 未知的图像格式");
    return false;
  }
  if (!object.hasPixels()) {
    object.setLastError("没有图像!!!");
    return false;
  }
  const DibView image = object.view();
  const ImageAttributes& attributes = object.attributes();
  std::string error;
  bool ok = false;
  switch (format) {
    case IMAGE_FORMAT_BMP: ok = WriteBmp(image, attributes, out, error); break;
    case IMAGE_FORMAT_GIF: ok = WriteTiledRgbGif(image, out, error); break;
    case IMAGE_FORMAT_JPG: ok = WriteJpeg(image, attributes, out, error); break;
    case IMAGE_FORMAT_PNG: ok = WritePng(image, attributes, out, error); break;
    case IMAGE_FORMAT_TIF: ok = WriteTiff(image, attributes, out, error); break;
    default: error = "编码: 不支持的图像格式"; break;
  }
  if (!error.empty()) object.setLastError(error);
  return ok;
}

bool EncodeToFile(ImageRef& image, const std::string& path, int format, ExistingFile existing) {
  if (!image || path.size() < 4) return false;
  ImageObject& object = *image;
  // Refusals that need no file come first, so they never touch the folder.
  if (format < 1 || format > 15 || !object.hasPixels()) {
    MemorySink nothing;
    return EncodeImage(object, format, nothing);
  }
  AtomicFile file;
  std::string error;
  if (!file.open(path, error, existing == ExistingFile::Replace)) {
    object.setLastError(error);
    return false;
  }
  FileSink sink(file.file());
  if (!EncodeImage(object, format, sink)) return false;  // the temporary goes with `file`
  sink.flush();
  if (sink.failed()) {
    object.setLastError("文件写入失败");
    return false;
  }
  if (!file.commit(error)) {
    object.setLastError(error);
    return false;
  }
  return true;
}

}  // namespace trimbrel
