#include "imaging/ico_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/dib_format.hpp"
#include "imaging/png_reader.hpp"

namespace trimbrel {
namespace {

struct Entry {
  std::uint8_t width = 0;
  std::uint8_t colours = 0;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

// The entry a 32 × 32 display of at least 16 colours would pick; the last
// one when none fits.
Result<Entry> ChooseEntry(ByteReader& reader) {
  const std::uint16_t reserved = reader.getWordLe();
  const std::uint16_t type = reader.getWordLe();
  const std::uint16_t count = reader.getWordLe();
  if (reader.failed() || reserved != 0 || (type != 1 && type != 2) || count == 0) return Fail("damaged: icon directory");
  Entry entry;
  for (std::uint16_t i = 0; i < count; ++i) {
    entry.width = reader.get();
    reader.skip(1);  // bHeight
    entry.colours = reader.get();
    reader.skip(5);
    entry.size = reader.getDwordLe();
    entry.offset = reader.getDwordLe();
    if (reader.failed()) return Fail("damaged: icon directory ends early");
    if (entry.colours >= 16 && entry.width == 32) break;
  }
  return entry;
}

Result<Picture> DecodeBitmap(std::span<const std::uint8_t> image, PictureKind kind) {
  ByteReader reader(image);
  const DibInfoHeader info = ReadDibInfoHeader(reader);
  if (reader.failed()) return Fail("damaged: icon image header ends early");
  if (info.size < 40) return Fail("damaged: unsupported icon image header");
  if (info.compression != 0) return Fail("damaged: compressed icon images are not supported");
  const int bits = info.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    return Fail("damaged: unsupported icon depth " + std::to_string(bits));
  }
  // The stored height counts the colour rows and the mask rows.
  const std::int64_t w = info.width;
  const std::int64_t h = info.height / 2;
  TRIMBREL_TRY(CheckPictureSize(w, h));

  std::array<std::uint8_t, 256 * 4> palette{};
  if (!reader.seek(info.size)) return Fail("damaged: icon image header ends early");
  if (bits <= 8) {
    const std::uint64_t count = info.coloursUsed ? info.coloursUsed : (1u << bits);
    if (count > reader.remaining() / 4) return Fail("damaged: icon palette missing");
    for (std::uint64_t i = 0; i < count; ++i) {
      auto entry = reader.bytes(4);
      if (i < 256) std::memcpy(&palette[i * 4], entry->data(), 3);
    }
  }
  const std::size_t columns = static_cast<std::size_t>(w);
  const std::size_t rows = static_cast<std::size_t>(h);
  const std::size_t colourStride = DibStride(columns, bits);
  const std::size_t maskStride = DibStride(columns, 1);
  auto colourBytes = CheckedMul(colourStride, rows);
  if (!colourBytes || *colourBytes > reader.remaining()) return Fail("damaged: icon rows run past the end of the data");
  auto colour = reader.bytes(*colourBytes);
  // Icons with an alpha channel sometimes come without a mask.
  auto mask = reader.bytes(maskStride * rows);
  if (!mask && bits != 32) return Fail("damaged: icon mask missing");

  Picture picture;
  picture.kind = kind;
  picture.width = static_cast<std::int32_t>(w);
  picture.height = static_cast<std::int32_t>(h);
  picture.pixels.resize(columns * rows * 4);
  bool anyAlpha = false;
  for (std::size_t r = 0; r < rows; ++r) {
    // Rows are stored bottom-up; the picture keeps them top-down.
    std::uint8_t* out = picture.pixels.data() + 4 * columns * (rows - 1 - r);
    const std::span<const std::uint8_t> row = colour->subspan(r * colourStride, colourStride);
    if (bits >= 24) {
      const std::size_t step = bits / 8;
      for (std::size_t x = 0; x < columns; ++x, out += 4) {
        const std::uint8_t* pixel = row.data() + x * step;
        std::memcpy(out, pixel, 3);
        out[3] = bits == 32 ? pixel[3] : 255;
        anyAlpha = anyAlpha || out[3] != 0;
      }
    } else {
      UnpackIndexes(row, columns, bits, [&](unsigned index) {
        std::memcpy(out, &palette[index * 4], 3);
        out[3] = 255;
        out += 4;
      });
    }
  }
  if (!mask && !anyAlpha) {
    for (std::size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = 255;
  }
  // Without alpha values of its own, the AND mask says what is transparent.
  if (mask && !(bits == 32 && anyAlpha)) {
    for (std::size_t r = 0; r < rows; ++r) {
      std::uint8_t* out = picture.pixels.data() + 4 * columns * (rows - 1 - r);
      std::uint8_t* alpha = out + 3;
      UnpackIndexes(mask->subspan(r * maskStride, maskStride), columns, 1, [&](unsigned transparent) {
        *alpha = transparent ? 0 : 255;
        alpha += 4;
      });
    }
  }
  return picture;
}

}  // namespace

Result<PictureSize> ReadIconSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const Entry entry, ChooseEntry(reader));
  if (entry.offset >= bytes.size()) return Fail("damaged: icon image runs past the end of the file");
  // Only the image's own header is looked at, so a cut-off rest does not matter here.
  const std::span<const std::uint8_t> image =
      bytes.subspan(entry.offset, std::min<std::size_t>(entry.size, bytes.size() - entry.offset));
  ByteReader probe(image);
  // A PNG's signature, or a bitmap's info header size.
  const std::uint32_t first = probe.getDwordLe();
  if (!probe.failed() && first == 0x474E5089) return ReadPngSize(image);
  const std::int32_t width = probe.getLongLe();
  const std::int32_t doubleHeight = probe.getLongLe();
  if (probe.failed()) return Fail("damaged: icon image header ends early");
  if (first < 40) return Fail("damaged: unsupported icon image header");
  // The stored height counts the colour rows and the mask rows.
  TRIMBREL_TRY(CheckPictureSize(width, doubleHeight / 2));
  return PictureSize{width, doubleHeight / 2};
}

Result<Picture> DecodeIcon(std::span<const std::uint8_t> bytes, PictureKind kind) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const Entry entry, ChooseEntry(reader));
  auto end = CheckedAdd(entry.offset, entry.size);
  if (!end || *end > bytes.size()) return Fail("damaged: icon image runs past the end of the file");
  if (!reader.seek(entry.offset)) return Fail("damaged: icon image runs past the end of the file");
  auto image = reader.bytes(entry.size);
  ByteReader probe(*image);
  auto signature = probe.u32le();
  if (signature && *signature == 0x474E5089) return DecodePng(*image, kind);
  return DecodeBitmap(*image, kind);
}

}  // namespace trimbrel
