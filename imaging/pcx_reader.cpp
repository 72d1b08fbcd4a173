#include "imaging/pcx_reader.hpp"

#include <cstring>
#include <vector>

#include "imaging/dib_format.hpp"

namespace trimbrel {
namespace {

constexpr std::size_t kHeaderSize = 128;
// One run (two bytes) gives at most 63 bytes.
constexpr std::uint64_t kMaxRunRatio = 63;

struct PcxHeader {
  std::uint8_t version = 0, bitsPerPixel = 0, planes = 0;
  std::int64_t width = 0, height = 0;  // of the window Xmin..Xmax, Ymin..Ymax
  std::uint16_t bytesPerLine = 0;      // per plane
};

Result<PcxHeader> ReadHeader(ByteReader& reader) {
  PcxHeader h;
  const std::uint8_t manufacturer = reader.get();
  h.version = reader.get();
  const std::uint8_t encoding = reader.get();
  h.bitsPerPixel = reader.get();
  const std::uint16_t xmin = reader.getWordLe();
  const std::uint16_t ymin = reader.getWordLe();
  const std::uint16_t xmax = reader.getWordLe();
  const std::uint16_t ymax = reader.getWordLe();
  reader.seek(65);
  h.planes = reader.get();
  h.bytesPerLine = reader.getWordLe();
  reader.seek(kHeaderSize);
  if (reader.failed() || reader.atEnd()) return Fail("damaged: PCX header ends early");
  if (manufacturer != 0x0A || encoding != 1 || h.version > 5) return Fail("damaged: not a PCX header");
  if (xmax < xmin || ymax < ymin) return Fail("damaged: PCX window is inverted");
  h.width = std::int64_t{xmax} - xmin + 1;
  h.height = std::int64_t{ymax} - ymin + 1;
  return h;
}

// The run-length stream, one scan line at a time; a run may carry over
// into the next line, as some writers let it.
class RunReader {
 public:
  explicit RunReader(ByteReader& reader) : reader_(reader) {}
  bool line(std::uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      if (run_ == 0) {
        auto byte = reader_.u8();
        if (!byte) return false;
        if (*byte > 192) {
          auto value = reader_.u8();
          if (!value) return false;
          run_ = *byte - 192u;
          value_ = *value;
        } else {
          run_ = 1;
          value_ = *byte;
        }
      }
      out[i] = value_;
      --run_;
    }
    return true;
  }

 private:
  ByteReader& reader_;
  unsigned run_ = 0;
  std::uint8_t value_ = 0;
};

// The 256-colour palette follows the pixels after a 12 byte; some writers
// leave a gap, so the end of the file is the second place to look. Without
// one the indices are grey levels.
void ReadPalette(std::span<const std::uint8_t> bytes, ByteReader& reader, std::uint8_t* entries) {
  std::optional<std::span<const std::uint8_t>> colours;
  auto marker = reader.u8();
  if (marker && *marker == 12) colours = reader.bytes(768);
  if (!colours && bytes.size() >= kHeaderSize + 769) {
    ByteReader tail(bytes);
    tail.seek(bytes.size() - 769);
    if (*tail.u8() == 12) colours = tail.bytes(768);
  }
  for (std::size_t i = 0; i < 256; ++i) {
    std::uint8_t* e = entries + 4 * i;
    if (colours) {
      ByteReader in(colours->subspan(3 * i, 3));
      const std::uint8_t r = *in.u8(), g = *in.u8(), b = *in.u8();
      e[0] = b;
      e[1] = g;
      e[2] = r;
    } else {
      e[0] = e[1] = e[2] = static_cast<std::uint8_t>(i);
    }
    e[3] = 0;
  }
}

}  // namespace

Result<PictureSize> ReadPcxSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const PcxHeader h, ReadHeader(reader));
  TRIMBREL_TRY(CheckPictureSize(h.width, h.height));
  return PictureSize{static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(h.height)};
}

Result<Picture> DecodePcx(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const PcxHeader h, ReadHeader(reader));
  TRIMBREL_TRY(CheckPictureSize(h.width, h.height));
  const bool mono = h.bitsPerPixel == 1 && h.planes == 1;
  const bool indexed = h.bitsPerPixel == 8 && h.planes == 1;
  const bool trueColour = h.bitsPerPixel == 8 && (h.planes == 3 || h.planes == 4);
  if (!mono && !indexed && !trueColour) {
    return Fail("damaged: unsupported PCX depth " + std::to_string(h.bitsPerPixel) + " × " +
                std::to_string(h.planes));
  }
  const std::size_t width = static_cast<std::size_t>(h.width);
  const std::size_t height = static_cast<std::size_t>(h.height);
  const std::size_t lineBytes = mono ? (width + 7) / 8 : width;  // per plane
  if (h.bytesPerLine < lineBytes) return Fail("damaged: PCX lines shorter than the picture");
  const std::size_t scanLine = std::size_t{h.bytesPerLine} * h.planes;
  if (std::uint64_t{scanLine} * height > kMaxRunRatio * reader.remaining()) {
    return Fail("damaged: PCX data ends early");
  }

  const int bits = mono ? 1 : trueColour ? 24 : 8;
  const std::size_t stride = DibStride(width, bits);
  const int colours = mono ? 2 : indexed ? 256 : 0;
  const std::size_t header = 40 + 4 * static_cast<std::size_t>(colours);
  Picture picture;
  picture.kind = mono ? PictureKind::Pcx1 : PictureKind::Pcx8;
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  std::vector<std::uint8_t>& dib = picture.pixels;
  dib.assign(header + stride * height, 0);
  StoreTopDownDibHeader(dib.data(), width, height, indexed ? h.planes : 1, bits, colours);

  std::vector<std::uint8_t> line(scanLine);
  RunReader runs(reader);
  for (std::size_t y = 0; y < height; ++y) {
    if (!runs.line(line.data(), line.size())) return Fail("damaged: PCX data ends early");
    std::uint8_t* out = dib.data() + header + stride * y;
    if (!trueColour) {
      std::memcpy(out, line.data(), lineBytes);
      continue;
    }
    const std::uint8_t* red = line.data();
    const std::uint8_t* green = red + h.bytesPerLine;
    const std::uint8_t* blue = green + h.bytesPerLine;
    for (std::size_t x = 0; x < width; ++x, out += 3) {
      out[0] = blue[x];
      out[1] = green[x];
      out[2] = red[x];
    }
  }
  if (mono) {
    const std::uint8_t white[4] = {255, 255, 255, 0};
    std::memcpy(dib.data() + 44, white, 4);
  } else if (indexed) {
    ReadPalette(bytes, reader, dib.data() + 40);
  }
  return picture;
}

}  // namespace trimbrel
