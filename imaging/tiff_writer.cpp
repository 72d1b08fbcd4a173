#include "imaging/tiff_writer.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/tiff_library.hpp"

namespace trimbrel {

namespace {

// libtiff seeks back to patch offsets, so it writes into a seekable buffer
// that goes to the sink in one piece once the file is complete.
struct TiffStream {
  std::vector<std::uint8_t> bytes;
  std::size_t pos = 0;
  bool failed = false;
  std::string messages;
};

tmsize_t StreamRead(thandle_t h, void* buf, tmsize_t size) {
  auto* s = static_cast<TiffStream*>(h);
  if (size <= 0 || s->pos >= s->bytes.size()) return 0;
  const std::size_t n = std::min(static_cast<std::size_t>(size), s->bytes.size() - s->pos);
  std::memcpy(buf, s->bytes.data() + s->pos, n);
  s->pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t StreamWrite(thandle_t h, void* buf, tmsize_t size) {
  auto* s = static_cast<TiffStream*>(h);
  if (size < 0) return -1;
  const auto n = static_cast<std::size_t>(size);
  try {
    if (s->pos + n > s->bytes.size()) s->bytes.resize(s->pos + n);
  } catch (const std::bad_alloc&) {
    s->failed = true;
    return -1;
  }
  std::memcpy(s->bytes.data() + s->pos, buf, n);
  s->pos += n;
  return size;
}

toff_t StreamSeek(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<TiffStream*>(h);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = s->pos;
  if (whence == SEEK_END) base = s->bytes.size();
  const std::uint64_t target = base + offset;
  if (target > (std::uint64_t{1} << 40)) return static_cast<toff_t>(-1);
  s->pos = static_cast<std::size_t>(target);
  return target;
}

int StreamClose(thandle_t) { return 0; }
toff_t StreamSize(thandle_t h) { return static_cast<TiffStream*>(h)->bytes.size(); }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

// Per-file handlers (not the process-wide ones), so that threads writing
// different files keep their messages apart.
int CollectMessage(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* s = static_cast<TiffStream*>(user);
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  if (!s->messages.empty()) s->messages += "; ";
  if (module != nullptr && *module != '\0') {
    s->messages += module;
    s->messages += ": ";
  }
  s->messages += text;
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// The tags of one RGB page, in the order they are set.
bool WriteTags(const TiffLibrary& lib, TIFF* tif, const DibView& image, const ImageAttributes& attributes) {
  bool ok = true;
  ok = ok && lib.setField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width));
  ok = ok && lib.setField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height));
  ok = ok && lib.setField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  ok = ok && lib.setField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  ok = ok && lib.setField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  ok = ok && lib.setField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  ok = ok && lib.setField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  ok = ok && lib.setField(tif, TIFFTAG_ROWSPERSTRIP,
                          static_cast<std::uint32_t>(TiffRowsPerStrip(static_cast<std::size_t>(image.width) * 3)));
  ok = ok && lib.setField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  ok = ok && lib.setField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(attributes.xDpi));
  ok = ok && lib.setField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(attributes.yDpi));
  ok = ok && lib.setField(tif, TIFFTAG_SUBFILETYPE, 0);
  const std::uint32_t option = attributes.codecOptions[6];
  const int compression = option != 0 ? static_cast<int>(option) : COMPRESSION_JPEG;
  ok = ok && lib.setField(tif, TIFFTAG_COMPRESSION, compression);
  if (ok && compression == COMPRESSION_JPEG) ok = lib.setField(tif, TIFFTAG_JPEGQUALITY, static_cast<int>(attributes.jpegQuality));
  return ok;
}

// Rows top row first, B and R swapped into R,G,B.
bool WriteBody(const TiffLibrary& lib, TIFF* tif, const DibView& image, std::vector<std::uint8_t>& row) {
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* src = image.rowFromTop(y);
    for (int x = 0; x < image.width; ++x) {
      row[3 * x] = src[3 * x + 2];
      row[3 * x + 1] = src[3 * x + 1];
      row[3 * x + 2] = src[3 * x];
    }
    if (lib.writeScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return false;
  }
  return true;
}

}  // namespace

int TiffRowsPerStrip(std::size_t rowBytes) {
  std::size_t rows = rowBytes == 0 ? 1 : std::max<std::size_t>(1, 8192 / rowBytes);
  rows = (rows + 7) / 8 * 8;
  return static_cast<int>(rows);
}

Result<void> WriteTiff(const DibView& image, const ImageAttributes& attributes, ByteSink& out) {
  TiffStream stream;
  std::vector<std::uint8_t> row;
  try {
    row.resize(static_cast<std::size_t>(image.width) * 3);
  } catch (const std::bad_alloc&) {
    return Fail("Can't allocate memory");
  }
  const Result<TiffLibrary>& loaded = ProcessTiffLibrary();
  if (!loaded) {
    return Fail(loaded.error().reason);
  }
  const TiffLibrary& lib = loaded.value();
  TIFFOpenOptions* options = lib.openOptionsAlloc();
  if (options == nullptr) {
    return Fail("initialization fail");
  }
  lib.setErrorHandler(options, CollectMessage, &stream);
  lib.setWarningHandler(options, IgnoreWarning, &stream);
  TIFF* tif = lib.clientOpen("trimbrel", "w", &stream, StreamRead, StreamWrite, StreamSeek, StreamClose, StreamSize,
                              NoMap, NoUnmap, options);
  lib.openOptionsFree(options);
  if (tif == nullptr) {
    return Fail(stream.messages.empty() ? "initialization fail" : "initialization fail: " + stream.messages);
  }
  bool ok = WriteTags(lib, tif, image, attributes) && WriteBody(lib, tif, image, row);
  // Closing writes the directory, so its failures count too.
  ok = lib.writeDirectory(tif) && ok;
  lib.close(tif);
  ok = ok && !stream.failed;
  if (!ok) {
    return Fail(stream.messages.empty() ? "Error saving TIFF file" : "Error saving TIFF file: " + stream.messages);
  }
  out.write(stream.bytes);
  return {};
}

}  // namespace trimbrel
