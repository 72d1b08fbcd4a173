#include <string>
#include <vector>

#include "imaging/bmp_reader.hpp"
#include "imaging/byte_reader.hpp"
#include "imaging/gif_reader.hpp"
#include "imaging/ico_reader.hpp"
#include "imaging/jpeg_reader.hpp"
#include "imaging/pcx_reader.hpp"
#include "imaging/photo_file.hpp"
#include "imaging/picture.hpp"
#include "imaging/png_reader.hpp"

namespace trimbrel {
namespace {

constexpr std::size_t kSignatureBytes = 8;

// The largest file any reader could need: a 32-bit bitmap at the pixel cap
// takes 1 GiB.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 31;

Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  auto file = PhotoFile::open(path);
  if (!file) return file.error();
  const std::uint64_t size = file.value().size();
  if (size > kMaxFileBytes) return Fail("too large: a file of " + std::to_string(size) + " bytes");
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  auto filled = file.value().read(data.data(), data.size());
  if (!filled) return filled.error();
  data.resize(filled.value());  // the file shrank while we read it
  return data;
}

}  // namespace

Result<void> CheckPictureSize(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return Fail("damaged: empty picture");
  if (!PictureSizeAllowed(width, height)) {
    return Fail("too large: " + std::to_string(width) + " × " + std::to_string(height));
  }
  return {};
}

int DetectPictureKind(std::span<const std::uint8_t> firstBytes) {
  ByteReader reader(firstBytes);
  auto head = reader.bytes(6);
  if (!head) return 0;
  ByteReader in(*head);
  const std::uint8_t b0 = *in.u8(), b1 = *in.u8(), b2 = *in.u8(), b3 = *in.u8(), b4 = *in.u8(), b5 = *in.u8();
  if (b0 == 'B' && b1 == 'M') return static_cast<int>(PictureKind::Bmp);
  if (b0 == 0xFF && b1 == 0xD8) return static_cast<int>(PictureKind::Jpeg);
  if (b0 == 0x89 && b1 == 'P' && b2 == 'N' && b3 == 'G') return static_cast<int>(PictureKind::Png);
  const unsigned reserved = b0 | (b1 << 8), type = b2 | (b3 << 8), count = b4 | (b5 << 8);
  if (reserved == 0 && count > 0 && type == 1) return static_cast<int>(PictureKind::Icon);
  if (reserved == 0 && count > 0 && type == 2) return static_cast<int>(PictureKind::Cursor);
  if (b0 == 'G' && b1 == 'I' && b2 == 'F' && b3 == '8' && (b4 == '7' || b4 == '9') && b5 == 'a') {
    return static_cast<int>(PictureKind::Gif);
  }
  if (b0 == 0x0A && b1 <= 5 && b2 == 1 && b3 == 8) return static_cast<int>(PictureKind::Pcx8);
  if (b0 == 0x0A && b1 == 3 && b2 == 1 && b3 == 1) return static_cast<int>(PictureKind::Pcx1);
  return 0;
}

Result<Picture> DecodePictureBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSignatureBytes) return Fail("unknown kind");
  switch (static_cast<PictureKind>(DetectPictureKind(bytes.first(kSignatureBytes)))) {
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

Result<PictureSize> ReadPictureSize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSignatureBytes) return Fail("unknown kind");
  switch (static_cast<PictureKind>(DetectPictureKind(bytes.first(kSignatureBytes)))) {
    case PictureKind::Jpeg: {
      auto info = ReadJpegInfo(bytes);
      if (!info) return info.error();
      return PictureSize{info.value().width, info.value().height};
    }
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
  auto data = readWholeFile(path);
  if (!data) return data.error();
  return DecodePictureBytes(data.value());
}

}  // namespace trimbrel
