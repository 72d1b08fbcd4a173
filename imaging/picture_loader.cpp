#include <cstring>
#include <string>
#include <vector>

#include "imaging/bmp_reader.hpp"
#include "platform/platform.hpp"
#include "imaging/gif_reader.hpp"
#include "imaging/ico_reader.hpp"
#include "imaging/jpeg_reader.hpp"
#include "imaging/pcx_reader.hpp"
#include "imaging/picture.hpp"
#include "imaging/png_reader.hpp"

namespace trimbrel {
namespace {

constexpr std::size_t kSignatureBytes = 8;

// The kind of a whole file, as its first bytes say.
PictureKind SignatureKind(std::span<const std::uint8_t> bytes) {
  return bytes.size() < kSignatureBytes ? PictureKind::None : DetectPictureKind(bytes.first(kSignatureBytes));
}

}  // namespace

Result<void> CheckPictureSize(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return Fail("damaged: empty picture");
  if (!PictureSizeAllowed(width, height)) {
    return Fail("too large: " + std::to_string(width) + " × " + std::to_string(height));
  }
  return {};
}

PictureKind DetectPictureKind(std::span<const std::uint8_t> firstBytes) {
  if (firstBytes.size() < 6) return PictureKind::None;
  const std::uint8_t* b = firstBytes.data();
  if (b[0] == 'B' && b[1] == 'M') return PictureKind::Bmp;
  if (b[0] == 0xFF && b[1] == 0xD8) return PictureKind::Jpeg;
  if (b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return PictureKind::Png;
  // An icon directory: reserved 0, type 1 (icon) or 2 (cursor), at least one image.
  if (LoadLe16(b) == 0 && LoadLe16(b + 4) > 0 && LoadLe16(b + 2) == 1) return PictureKind::Icon;
  if (LoadLe16(b) == 0 && LoadLe16(b + 4) > 0 && LoadLe16(b + 2) == 2) return PictureKind::Cursor;
  if (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0) return PictureKind::Gif;
  if (b[0] == 0x0A && b[1] <= 5 && b[2] == 1 && b[3] == 8) return PictureKind::Pcx8;
  if (b[0] == 0x0A && b[1] == 3 && b[2] == 1 && b[3] == 1) return PictureKind::Pcx1;
  return PictureKind::None;
}

Result<Picture> DecodePictureBytes(std::span<const std::uint8_t> bytes) {
  switch (SignatureKind(bytes)) {
    case PictureKind::Jpeg: return DecodeJpeg(bytes);
    case PictureKind::Bmp: return DecodeBmp(bytes);
    case PictureKind::Icon: return DecodeIcon(bytes, PictureKind::Icon);
    case PictureKind::Cursor: return DecodeIcon(bytes, PictureKind::Cursor);
    case PictureKind::Gif: return DecodeGif(bytes);
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: return DecodePcx(bytes);
    case PictureKind::Png: return DecodePng(bytes);
    case PictureKind::None: break;
  }
  return Fail("unknown kind");
}

PictureHeader ReadPictureHeader(std::span<const std::uint8_t> bytes) {
  PictureHeader header;
  header.kind = SignatureKind(bytes);
  if (header.kind != PictureKind::Jpeg) {
    header.size = ReadPictureSize(bytes);
    return header;
  }
  auto info = ReadJpegInfo(bytes);
  if (!info) {
    header.size = info.error();
    return header;
  }
  header.jpeg = info.value();
  header.size = PictureSize{header.jpeg.width, header.jpeg.height};
  return header;
}

Result<PictureSize> ReadPictureSize(std::span<const std::uint8_t> bytes) {
  switch (SignatureKind(bytes)) {
    case PictureKind::Jpeg: return ReadPictureHeader(bytes).size;
    case PictureKind::Bmp: return ReadBmpSize(bytes);
    case PictureKind::Icon:
    case PictureKind::Cursor: return ReadIconSize(bytes);
    case PictureKind::Gif: return ReadGifSize(bytes);
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: return ReadPcxSize(bytes);
    case PictureKind::Png: return ReadPngSize(bytes);
    case PictureKind::None: break;
  }
  return Fail("unknown kind");
}

Result<Picture> DecodePictureFile(const std::string& path) {
  TRIMBREL_TRY_ASSIGN(auto data, ReadWholeFile(path));
  return DecodePictureBytes(data.span());
}

}  // namespace trimbrel
