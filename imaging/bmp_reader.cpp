#include "imaging/bmp_reader.hpp"

#include <array>
#include <cstdlib>
#include <cstring>

#include "imaging/dib_format.hpp"

namespace trimbrel {
namespace {

struct BmpHeader {
  std::uint32_t pixelOffset = 0;  // bfOffBits
  DibInfoHeader info;
};

Result<BmpHeader> ReadHeader(ByteReader& reader) {
  BmpHeader h;
  auto magic = reader.u16le();
  if (!magic || *magic != 0x4D42) return Fail("damaged: no bitmap signature");
  reader.skip(8);  // bfSize, bfReserved1, bfReserved2
  h.pixelOffset = reader.getDwordLe();
  h.info = ReadDibInfoHeader(reader);
  reader.skip(4);  // biClrImportant
  if (reader.failed()) return Fail("damaged: bitmap header ends early");
  // Shorter (OS/2) headers put other fields where these are read.
  if (h.info.size < 40) return Fail("damaged: unsupported bitmap header");
  return h;
}

}  // namespace

Result<PictureSize> ReadBmpSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const BmpHeader h, ReadHeader(reader));
  const std::int64_t width = std::abs(std::int64_t{h.info.width});
  const std::int64_t height = std::abs(std::int64_t{h.info.height});
  TRIMBREL_TRY(CheckPictureSize(width, height));
  return PictureSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

Result<Picture> DecodeBmp(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const BmpHeader h, ReadHeader(reader));
  if (h.info.compression != 0) return Fail("damaged: compressed bitmaps are not supported");
  const int bits = h.info.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    return Fail("damaged: unsupported bitmap depth " + std::to_string(bits));
  }
  const std::int64_t width = std::abs(std::int64_t{h.info.width});
  const std::int64_t height = std::abs(std::int64_t{h.info.height});
  TRIMBREL_TRY(CheckPictureSize(width, height));

  // The palette follows the info header, whatever that header's length.
  std::array<std::uint8_t, 256 * 3> palette{};  // B,G,R; indices past it read black
  if (bits <= 8) {
    std::uint64_t count = h.info.coloursUsed ? h.info.coloursUsed : (1u << bits);
    if (!reader.seek(14 + std::size_t{h.info.size})) return Fail("damaged: bitmap palette missing");
    if (count > reader.remaining() / 4) return Fail("damaged: bitmap palette missing");
    for (std::uint64_t i = 0; i < count; ++i) {
      auto entry = reader.bytes(4);
      if (i < 256) std::memcpy(&palette[i * 3], entry->data(), 3);
    }
  } else if (!reader.seek(14 + std::size_t{h.info.size})) {
    return Fail("damaged: bitmap header ends early");
  }
  if (h.pixelOffset < reader.position()) return Fail("damaged: bitmap pixels overlap the header");
  if (!reader.seek(h.pixelOffset)) return Fail("damaged: bitmap rows missing");

  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t rows = static_cast<std::size_t>(height);
  const std::size_t fileRow = DibStride(w, bits);
  auto needed = CheckedMul(fileRow, rows);
  if (!needed || *needed > reader.remaining()) return Fail("damaged: bitmap rows run past the end of the file");

  Picture picture;
  picture.kind = PictureKind::Bmp;
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  picture.pixels.resize(w * rows * 3);
  const bool topDown = h.info.height < 0;
  for (std::size_t r = 0; r < rows; ++r) {
    auto row = reader.bytes(fileRow);
    // Bmp pictures keep rows bottom-up, as a bottom-up file stores them.
    std::uint8_t* out = picture.pixels.data() + 3 * w * (topDown ? rows - 1 - r : r);
    if (bits >= 24) {
      const std::size_t step = bits / 8;
      for (std::size_t x = 0; x < w; ++x, out += 3) std::memcpy(out, row->data() + x * step, 3);
    } else {
      UnpackIndexes(*row, w, bits, [&](unsigned index) {
        std::memcpy(out, &palette[index * 3], 3);
        out += 3;
      });
    }
  }
  return picture;
}

}  // namespace trimbrel
