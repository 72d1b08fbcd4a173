#include "imaging/ico_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/byte_reader.hpp"
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
Result<Entry> chooseEntry(ByteReader& reader) {
  auto reserved = reader.u16le();
  auto type = reader.u16le();
  auto count = reader.u16le();
  if (!reserved || !type || !count || *reserved != 0 || (*type != 1 && *type != 2) || *count == 0) {
    return Fail("damaged: icon directory");
  }
  Entry entry;
  for (std::uint16_t i = 0; i < *count; ++i) {
    auto width = reader.u8();
    auto height = reader.u8();
    auto colours = reader.u8();
    bool middle = reader.skip(5);
    auto size = reader.u32le();
    auto offset = reader.u32le();
    if (!width || !height || !colours || !middle || !size || !offset) return Fail("damaged: icon directory ends early");
    entry = {*width, *colours, *size, *offset};
    if (entry.colours >= 16 && entry.width == 32) break;
  }
  return entry;
}

std::size_t rowStride(std::size_t width, int bits) { return ((width * bits + 31) / 32) * 4; }

Result<Picture> decodeBitmap(std::span<const std::uint8_t> image, PictureKind kind) {
  ByteReader reader(image);
  auto infoSize = reader.u32le();
  auto width = reader.i32le();
  auto doubleHeight = reader.i32le();
  auto planes = reader.u16le();
  auto bitCount = reader.u16le();
  auto compression = reader.u32le();
  bool rest = reader.skip(12);
  auto used = reader.u32le();
  if (!infoSize || !width || !doubleHeight || !planes || !bitCount || !compression || !rest || !used) {
    return Fail("damaged: icon image header ends early");
  }
  if (*infoSize < 40) return Fail("damaged: unsupported icon image header");
  if (*compression != 0) return Fail("damaged: compressed icon images are not supported");
  const int bits = *bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    return Fail("damaged: unsupported icon depth " + std::to_string(bits));
  }
  // The stored height counts the colour rows and the mask rows.
  const std::int64_t w = *width;
  const std::int64_t h = *doubleHeight / 2;
  TRIMBREL_TRY(CheckPictureSize(w, h));

  std::array<std::uint8_t, 256 * 4> palette{};
  if (!reader.seek(*infoSize)) return Fail("damaged: icon image header ends early");
  if (bits <= 8) {
    const std::uint64_t count = *used ? *used : (1u << bits);
    if (count > reader.remaining() / 4) return Fail("damaged: icon palette missing");
    for (std::uint64_t i = 0; i < count; ++i) {
      auto entry = reader.bytes(4);
      if (i < 256) std::memcpy(&palette[i * 4], entry->data(), 3);
    }
  }
  const std::size_t columns = static_cast<std::size_t>(w);
  const std::size_t rows = static_cast<std::size_t>(h);
  const std::size_t colourStride = rowStride(columns, bits);
  const std::size_t maskStride = rowStride(columns, 1);
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
    ByteReader in(colour->subspan(r * colourStride, colourStride));
    if (bits >= 24) {
      for (std::size_t x = 0; x < columns; ++x, out += 4) {
        auto pixel = in.bytes(bits / 8);
        std::memcpy(out, pixel->data(), 3);
        out[3] = bits == 32 ? (*pixel)[3] : 255;
        anyAlpha = anyAlpha || out[3] != 0;
      }
    } else {
      const int perByte = 8 / bits;
      const unsigned valueMask = (1u << bits) - 1;
      std::size_t x = 0;
      while (x < columns) {
        const unsigned packed = *in.u8();
        for (int k = 0; k < perByte && x < columns; ++k, ++x, out += 4) {
          const unsigned index = (packed >> (8 - bits * (k + 1))) & valueMask;
          std::memcpy(out, &palette[index * 4], 3);
          out[3] = 255;
        }
      }
    }
  }
  if (!mask && !anyAlpha) {
    for (std::size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = 255;
  }
  // Without alpha values of its own, the AND mask says what is transparent.
  if (mask && !(bits == 32 && anyAlpha)) {
    for (std::size_t r = 0; r < rows; ++r) {
      std::uint8_t* out = picture.pixels.data() + 4 * columns * (rows - 1 - r);
      ByteReader in(mask->subspan(r * maskStride, maskStride));
      for (std::size_t x = 0; x < columns; x += 8) {
        const unsigned packed = *in.u8();
        for (std::size_t k = 0; k < 8 && x + k < columns; ++k) {
          out[4 * (x + k) + 3] = (packed >> (7 - k)) & 1 ? 0 : 255;
        }
      }
    }
  }
  return picture;
}

}  // namespace

Result<PictureSize> ReadIconSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  auto chosen = chooseEntry(reader);
  if (!chosen) return chosen.error();
  const Entry& entry = chosen.value();
  if (entry.offset >= bytes.size()) return Fail("damaged: icon image runs past the end of the file");
  // Only the image's own header is looked at, so a cut-off rest does not matter here.
  const std::span<const std::uint8_t> image =
      bytes.subspan(entry.offset, std::min<std::size_t>(entry.size, bytes.size() - entry.offset));
  ByteReader probe(image);
  // A PNG's signature, or a bitmap's info header size.
  auto first = probe.u32le();
  if (first && *first == 0x474E5089) return ReadPngSize(image);
  auto width = probe.i32le();
  auto doubleHeight = probe.i32le();
  if (!first || !width || !doubleHeight) return Fail("damaged: icon image header ends early");
  if (*first < 40) return Fail("damaged: unsupported icon image header");
  // The stored height counts the colour rows and the mask rows.
  TRIMBREL_TRY(CheckPictureSize(*width, *doubleHeight / 2));
  return PictureSize{*width, *doubleHeight / 2};
}

Result<Picture> DecodeIcon(std::span<const std::uint8_t> bytes, PictureKind kind) {
  ByteReader reader(bytes);
  auto chosen = chooseEntry(reader);
  if (!chosen) return chosen.error();
  const Entry& entry = chosen.value();
  auto end = CheckedAdd(entry.offset, entry.size);
  if (!end || *end > bytes.size()) return Fail("damaged: icon image runs past the end of the file");
  if (!reader.seek(entry.offset)) return Fail("damaged: icon image runs past the end of the file");
  auto image = reader.bytes(entry.size);
  ByteReader probe(*image);
  auto signature = probe.u32le();
  if (signature && *signature == 0x474E5089) return DecodePng(*image, kind);
  return decodeBitmap(*image, kind);
}

}  // namespace trimbrel
