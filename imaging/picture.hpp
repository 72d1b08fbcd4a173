// Pictures: photos and BMP file images decoded into one of eight pixel
// layouts, their headers, the JPEG row stream, and a process-wide registry
// that keeps pictures behind 32-bit handles.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace trimbrel {

enum class PictureKind : std::int32_t {
  None = 0,
  Jpeg = 1,    // pixels: B,G,R packed (width*3 per row, no padding), rows bottom-up
  Bmp = 2,     // as Jpeg
  Icon = 3,    // pixels: B,G,R,A straight alpha, rows top-down, width*4 per row;
  Cursor = 4,  //   this decoded image stands in for the platform icon handle
  Gif = 5,     // pixels: 8-bit DIB: 40-byte BITMAPINFOHEADER (biBitCount 8, biClrUsed
               //   256, biClrImportant 256, negative biHeight = top-down), 256 palette
               //   entries B,G,R,0, index rows padded to 4 bytes; the DIB has the
               //   logical screen's size, the first image placed at its offset
  Pcx8 = 6,    // pixels: 8-bit DIB as for Gif, biPlanes = the file's plane count;
               //   a true-colour PCX (8 bits, 3 or 4 planes) is a 24-bit DIB instead:
               //   40-byte header (biBitCount 24, biClrUsed 0, negative biHeight),
               //   no palette, B,G,R rows padded to 4 bytes
  Pcx1 = 7,    // pixels: 1-bit DIB: 40-byte header (biBitCount 1, biClrUsed 2,
               //   negative biHeight), palette {black, white}, rows padded to 4 bytes
  Png = 8,     // pixels: B,G,R,A straight alpha, rows top-down, width*4 per row
};

struct Picture {
  PictureKind kind = PictureKind::None;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;  // layout by kind, see PictureKind
};

using PictureHandle = std::uint32_t;  // 0 is never a valid handle

// Classifies the first bytes of a file (at least 6 are looked at; the loader
// passes 8); None for fewer or for none of the kinds.
PictureKind DetectPictureKind(std::span<const std::uint8_t> firstBytes);

// Decoding with a reason on failure ("cannot open: …", "unknown kind",
// "damaged: …", "too large: W × H"). Pictures over 65535 pixels on a side or
// 2^28 pixels in all are refused before anything is allocated. JPEG photos
// come out upright: their EXIF orientation is applied while decoding.
Result<Picture> DecodePictureFile(const std::string& path);
Result<Picture> DecodePictureBytes(std::span<const std::uint8_t> bytes);

// The registry. Safe to use from several threads at once.
PictureHandle RegisterPicture(Picture picture);
PictureHandle LoadPicture(const std::string& path);                 // 0 on failure
PictureHandle LoadPicture(std::span<const std::uint8_t> bytes);     // 0 on failure
void UnloadPicture(PictureHandle handle);                           // unknown handle: ignored
std::shared_ptr<const Picture> AcquirePicture(PictureHandle handle);  // null when unknown
std::int32_t PictureWidth(PictureHandle handle);                    // 0 when unknown
std::int32_t PictureHeight(PictureHandle handle);                   // 0 when unknown

// The size a decode of these bytes would report, read from the header alone
// (a JPEG's upright size, an icon's chosen image, a GIF's screen), so that a
// photo can be refused for its size before anything of it is decoded. Fails
// when the header is damaged, too large or cut short; the decoder then has
// the last word.
struct PictureSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};
Result<PictureSize> ReadPictureSize(std::span<const std::uint8_t> bytes);

// Refuses sizes the decoders never allocate for: "damaged: …" for an empty
// picture, "too large: W × H" over the limits of PictureSizeAllowed.
Result<void> CheckPictureSize(std::int64_t width, std::int64_t height);

// JPEG streaming, so a large photo can be scaled row by row without ever
// existing whole. Decoding a Jpeg picture runs through the same code.
struct JpegInfo {
  int width = 0;   // as shown, after the EXIF orientation
  int height = 0;
  int components = 0;
  bool progressive = false;
  int orientation = 1;  // EXIF orientation 1..8
  // What libjpeg holds whole while it reads a progressive file: every
  // coefficient of every block. 0 for a sequential file, which it reads a
  // few rows of blocks at a time.
  std::uint64_t coefficientBytes = 0;
};
// Header only, cheap. The size is not held against the picture limit: the
// row stream never holds a picture whole, and DecodeJpegRows says itself what
// it cannot do.
Result<JpegInfo> ReadJpegInfo(std::span<const std::uint8_t> bytes);

// Whether a row stream at 1/scaleDenom fits the memory it would hold whole:
// a progressive file's coefficients, and the decoded photo when its
// orientation turns or flips it upside down. "too large: …" when not.
Result<void> CheckJpegStreamMemory(const JpegInfo& info, int scaleDenom);

// Everything the header of a file says, read once: its kind from the
// signature whether or not the rest is sound, the size as ReadPictureSize
// gives it and, for a JPEG with a sound header, what the row stream needs.
struct PictureHeader {
  PictureKind kind = PictureKind::None;
  Result<PictureSize> size = Fail("unknown kind");
  JpegInfo jpeg;
};
PictureHeader ReadPictureHeader(std::span<const std::uint8_t> bytes);

// What a row stream feeds: told the size first, where it may stop the
// decode, then handed the rows as a RowSink is.
class RowStreamSink {
 public:
  virtual ~RowStreamSink() = default;
  virtual bool begin(int width, int height) = 0;         // the oriented output size; false stops the decode
  virtual void row(int y, const std::uint8_t* bgr) = 0;  // top-down, width*3 bytes B,G,R
};

// Decodes at 1/scaleDenom (1, 2, 4 or 8, libjpeg's DCT scaling) and hands rows
// over top-down, already upright (rows are buffered only when the orientation
// needs it).
Result<void> DecodeJpegRows(std::span<const std::uint8_t> bytes, int scaleDenom, RowStreamSink& sink);

// The same for a sequential JPEG whose first bytes `head` have been read from
// `file` already: the rest is read from `file` as the decoder asks for it, a
// block at a time, so a photo of any size costs one small buffer, and each
// block is decoded while it is still in the cache. `head` may end anywhere,
// even inside the header. A progressive file, which is decoded from all of
// its bytes at once, is refused: read it whole and use the form above.
Result<void> DecodeJpegRows(std::span<const std::uint8_t> head, InputFile& file, int scaleDenom,
                            RowStreamSink& sink);

}  // namespace trimbrel
