#include "imaging/bmp_reader.hpp"

#include <array>
#include <cstring>

#include "imaging/byte_reader.hpp"

namespace trimbrel {
namespace {

struct BmpHeader {
  std::uint32_t pixelOffset = 0;  // bfOffBits
  std::uint32_t infoSize = 0;     // biSize
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: rows stored top-down
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
};

Result<BmpHeader> readHeader(ByteReader& reader) {
  BmpHeader h;
  auto magic = reader.u16le();
  if (!magic || *magic != 0x4D42) return Fail("damaged: no bitmap signature");
  if (!reader.skip(8)) return Fail("damaged: bitmap header ends early");
  auto offset = reader.u32le();
  auto infoSize = reader.u32le();
  auto width = reader.i32le();
  auto height = reader.i32le();
  auto planes = reader.u16le();
  auto bitCount = reader.u16le();
  auto compression = reader.u32le();
  bool rest = reader.skip(12);
  auto used = reader.u32le();
  if (!offset || !infoSize || !width || !height || !planes || !bitCount || !compression || !rest || !used ||
      !reader.skip(4)) {
    return Fail("damaged: bitmap header ends early");
  }
  // Shorter (OS/2) headers put other fields where these are read.
  if (*infoSize < 40) return Fail("damaged: unsupported bitmap header");
  h.pixelOffset = *offset;
  h.infoSize = *infoSize;
  h.width = *width;
  h.height = *height;
  h.bitCount = *bitCount;
  h.compression = *compression;
  h.coloursUsed = *used;
  return h;
}

}  // namespace

Result<PictureSize> ReadBmpSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  auto parsed = readHeader(reader);
  if (!parsed) return parsed.error();
  const BmpHeader& h = parsed.value();
  const std::int64_t width = h.width < 0 ? -h.width : h.width;
  const std::int64_t height = h.height < 0 ? -h.height : h.height;
  TRIMBREL_TRY(CheckPictureSize(width, height));
  return PictureSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

Result<Picture> DecodeBmp(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  auto parsed = readHeader(reader);
  if (!parsed) return parsed.error();
  const BmpHeader& h = parsed.value();
  if (h.compression != 0) return Fail("damaged: compressed bitmaps are not supported");
  const int bits = h.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    return Fail("damaged: unsupported bitmap depth " + std::to_string(bits));
  }
  const std::int64_t width = h.width < 0 ? -h.width : h.width;
  const std::int64_t height = h.height < 0 ? -h.height : h.height;
  TRIMBREL_TRY(CheckPictureSize(width, height));

  // The palette follows the info header, whatever that header's length.
  std::array<std::uint8_t, 256 * 3> palette{};  // B,G,R; indices past it read black
  if (bits <= 8) {
    std::uint64_t count = h.coloursUsed ? h.coloursUsed : (1u << bits);
    if (!reader.seek(14 + std::size_t{h.infoSize})) return Fail("damaged: bitmap palette missing");
    if (count > reader.remaining() / 4) return Fail("damaged: bitmap palette missing");
    for (std::uint64_t i = 0; i < count; ++i) {
      auto entry = reader.bytes(4);
      if (i < 256) std::memcpy(&palette[i * 3], entry->data(), 3);
    }
  } else if (!reader.seek(14 + std::size_t{h.infoSize})) {
    return Fail("damaged: bitmap header ends early");
  }
  if (h.pixelOffset < reader.position()) return Fail("damaged: bitmap pixels overlap the header");
  if (!reader.seek(h.pixelOffset)) return Fail("damaged: bitmap rows missing");

  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t rows = static_cast<std::size_t>(height);
  const std::size_t fileRow = ((w * bits + 31) / 32) * 4;
  auto needed = CheckedMul(fileRow, rows);
  if (!needed || *needed > reader.remaining()) return Fail("damaged: bitmap rows run past the end of the file");

  Picture picture;
  picture.kind = PictureKind::Bmp;
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  picture.pixels.resize(w * rows * 3);
  const bool topDown = h.height < 0;
  for (std::size_t r = 0; r < rows; ++r) {
    auto row = reader.bytes(fileRow);
    ByteReader in(*row);
    // Kind 2 keeps rows bottom-up, as a bottom-up file stores them.
    std::uint8_t* out = picture.pixels.data() + 3 * w * (topDown ? rows - 1 - r : r);
    if (bits >= 24) {
      const std::size_t step = bits / 8;
      for (std::size_t x = 0; x < w; ++x, out += 3) {
        auto pixel = in.bytes(step);
        std::memcpy(out, pixel->data(), 3);
      }
    } else {
      const int perByte = 8 / bits;
      const unsigned mask = (1u << bits) - 1;
      std::size_t x = 0;
      while (x < w) {
        const unsigned packed = *in.u8();
        for (int k = 0; k < perByte && x < w; ++k, ++x, out += 3) {
          const unsigned index = (packed >> (8 - bits * (k + 1))) & mask;
          std::memcpy(out, &palette[index * 3], 3);
        }
      }
    }
  }
  return picture;
}

}  // namespace trimbrel
