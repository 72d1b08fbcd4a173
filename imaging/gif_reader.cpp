#include "imaging/gif_reader.hpp"

#include <array>
#include <cstring>
#include <vector>

#include "imaging/dib_format.hpp"

namespace trimbrel {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

Result<std::vector<Rgb>> ReadColourTable(ByteReader& reader, unsigned flags) {
  std::vector<Rgb> table;
  if (!(flags & 0x80)) return table;
  const std::size_t count = std::size_t{1} << ((flags & 7) + 1);
  auto raw = reader.bytes(count * 3);
  if (!raw) return Fail("damaged: GIF colour table ends early");
  ByteReader in(*raw);
  for (std::size_t i = 0; i < count; ++i) table.push_back({*in.u8(), *in.u8(), *in.u8()});
  return table;
}

// Sub-blocks: a length byte, that many bytes, until a zero length.
Result<void> ReadSubBlocks(ByteReader& reader, std::vector<std::uint8_t>* collect) {
  for (;;) {
    auto length = reader.u8();
    if (!length) return Fail("damaged: GIF block runs past the end of the data");
    if (*length == 0) return {};
    auto data = reader.bytes(*length);
    if (!data) return Fail("damaged: GIF block runs past the end of the data");
    if (collect) collect->insert(collect->end(), data->begin(), data->end());
  }
}

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> data) : reader_(data) {}
  // Codes are packed least significant bit first.
  std::optional<int> code(int bits) {
    while (count_ < bits) {
      auto byte = reader_.u8();
      if (!byte) return std::nullopt;
      buffer_ |= std::uint32_t{*byte} << count_;
      count_ += 8;
    }
    const int value = static_cast<int>(buffer_ & ((1u << bits) - 1));
    buffer_ >>= bits;
    count_ -= bits;
    return value;
  }

 private:
  ByteReader reader_;
  std::uint32_t buffer_ = 0;
  int count_ = 0;
};

// Decodes indices in the order they are stored; `put` receives each in turn.
// Data that ends before the image is full leaves the remaining pixels alone.
template <class Put>
Result<void> DecodeLzw(std::span<const std::uint8_t> data, int minimumBits, std::size_t pixelCount, Put put) {
  if (minimumBits < 2 || minimumBits > 8) return Fail("damaged: GIF code size");
  const int clear = 1 << minimumBits;
  const int end = clear + 1;
  std::vector<std::uint16_t> prefix(kTableSize);
  std::vector<std::uint8_t> suffix(kTableSize);
  std::vector<std::uint8_t> stack(kTableSize + 1);
  for (int i = 0; i < clear; ++i) suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  BitReader bits(data);
  int width = minimumBits + 1;
  int next = end + 1;
  int previous = -1;
  std::uint8_t first = 0;
  std::size_t written = 0;
  while (written < pixelCount) {
    auto read = bits.code(width);
    if (!read) break;
    const int code = *read;
    if (code == clear) {
      width = minimumBits + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= clear) return Fail("damaged: GIF code out of sequence");
      first = static_cast<std::uint8_t>(code);
      put(first);
      ++written;
      previous = code;
      continue;
    }
    if (code > next) return Fail("damaged: GIF code out of sequence");
    std::size_t depth = 0;
    int walk = code;
    if (code == next) {
      stack[depth++] = first;
      walk = previous;
    }
    while (walk >= clear) {
      stack[depth++] = suffix[static_cast<std::size_t>(walk)];
      walk = prefix[static_cast<std::size_t>(walk)];
    }
    stack[depth++] = static_cast<std::uint8_t>(walk);
    first = static_cast<std::uint8_t>(walk);
    while (depth > 0 && written < pixelCount) {
      put(stack[--depth]);
      ++written;
    }
    if (next < kTableSize) {
      prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
      suffix[static_cast<std::size_t>(next)] = first;
      ++next;
      if (next == (1 << width) && width < kMaxCodeBits) ++width;
    }
    previous = code;
  }
  return {};
}

// Interlaced images store every 8th row from 0, every 8th from 4, every 4th
// from 2, then every 2nd from 1.
std::vector<std::size_t> RowOrder(std::size_t height, bool interlaced) {
  std::vector<std::size_t> order;
  order.reserve(height);
  if (!interlaced) {
    for (std::size_t y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static constexpr std::size_t kStart[4] = {0, 4, 2, 1};
  static constexpr std::size_t kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (std::size_t y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  }
  return order;
}

// The palette index that shows `colour`: found, added, or the nearest.
std::uint8_t BackgroundIndex(std::vector<Rgb>& palette, Rgb colour) {
  for (std::size_t i = 0; i < palette.size(); ++i) {
    if (palette[i] == colour) return static_cast<std::uint8_t>(i);
  }
  if (palette.size() < 256) {
    palette.push_back(colour);
    return static_cast<std::uint8_t>(palette.size() - 1);
  }
  std::size_t best = 0;
  int bestDistance = 1 << 30;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int dr = palette[i].r - colour.r, dg = palette[i].g - colour.g, db = palette[i].b - colour.b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return static_cast<std::uint8_t>(best);
}

struct Screen {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t flags = 0;
  std::uint8_t background = 0;
};

// The image descriptor's fields, in the order the file holds them.
struct Frame {
  std::uint16_t left = 0, top = 0, width = 0, height = 0;
  std::uint8_t flags = 0;
};

Result<Screen> ReadScreen(ByteReader& reader) {
  auto signature = reader.bytes(6);
  if (!signature || reader.size() < 14 ||
      (std::memcmp(signature->data(), "GIF87a", 6) != 0 && std::memcmp(signature->data(), "GIF89a", 6) != 0)) {
    return Fail("damaged: no GIF signature");
  }
  Screen screen;
  screen.width = reader.getWordLe();
  screen.height = reader.getWordLe();
  screen.flags = reader.get();
  screen.background = reader.get();
  reader.skip(1);  // pixel aspect ratio
  if (screen.width != 0 && screen.height != 0) TRIMBREL_TRY(CheckPictureSize(screen.width, screen.height));
  return screen;
}

// Extensions before the first image are skipped; anything else before it
// (the trailer included) means the file has no picture.
Result<Frame> ReadFirstFrame(ByteReader& reader) {
  for (;;) {
    auto introducer = reader.u8();
    if (!introducer) return Fail("damaged: GIF has no image");
    if (*introducer == 0x21) {
      if (!reader.u8()) return Fail("damaged: GIF block runs past the end of the data");
      TRIMBREL_TRY(ReadSubBlocks(reader, nullptr));
      continue;
    }
    if (*introducer != 0x2C) return Fail("damaged: GIF has no image");
    break;
  }
  // A braced list reads its fields in order.
  const Frame frame{reader.getWordLe(), reader.getWordLe(), reader.getWordLe(), reader.getWordLe(), reader.get()};
  if (reader.failed()) return Fail("damaged: GIF image descriptor ends early");
  return frame;
}

// A screen of no size takes the extent of the image on it.
Result<PictureSize> SizeOnScreen(const Screen& screen, const Frame& frame) {
  const std::int64_t width = screen.width ? screen.width : std::int64_t{frame.left} + frame.width;
  const std::int64_t height = screen.height ? screen.height : std::int64_t{frame.top} + frame.height;
  TRIMBREL_TRY(CheckPictureSize(width, height));
  return PictureSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

}  // namespace

Result<PictureSize> ReadGifSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const Screen screen, ReadScreen(reader));
  if (screen.width != 0 && screen.height != 0) return SizeOnScreen(screen, Frame{});
  TRIMBREL_TRY(ReadColourTable(reader, screen.flags));
  TRIMBREL_TRY_ASSIGN(const Frame frame, ReadFirstFrame(reader));
  return SizeOnScreen(screen, frame);
}

Result<Picture> DecodeGif(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  TRIMBREL_TRY_ASSIGN(const Screen screen, ReadScreen(reader));
  TRIMBREL_TRY_ASSIGN(const std::vector<Rgb> global, ReadColourTable(reader, screen.flags));
  TRIMBREL_TRY_ASSIGN(const Frame frame, ReadFirstFrame(reader));
  TRIMBREL_TRY_ASSIGN(const std::vector<Rgb> local, ReadColourTable(reader, frame.flags));
  auto minimumBits = reader.u8();
  if (!minimumBits) return Fail("damaged: GIF image data missing");
  std::vector<std::uint8_t> data;
  TRIMBREL_TRY(ReadSubBlocks(reader, &data));

  TRIMBREL_TRY_ASSIGN(const PictureSize size, SizeOnScreen(screen, frame));
  const std::size_t width = static_cast<std::size_t>(size.width);
  const std::size_t height = static_cast<std::size_t>(size.height);

  std::vector<Rgb> palette = local.empty() ? global : local;
  Rgb background;
  if (screen.background < global.size()) background = global[screen.background];
  const std::uint8_t fill = BackgroundIndex(palette, background);

  constexpr std::size_t kHeader = 40 + 256 * 4;
  const std::size_t stride = DibStride(width, 8);
  Picture picture;
  picture.kind = PictureKind::Gif;
  picture.width = static_cast<std::int32_t>(width);
  picture.height = static_cast<std::int32_t>(height);
  std::vector<std::uint8_t>& dib = picture.pixels;
  dib.assign(kHeader + stride * height, fill);
  std::memset(dib.data(), 0, kHeader);
  StoreTopDownDibHeader(dib.data(), width, height, 1, 8, 256);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    dib[40 + 4 * i] = palette[i].b;
    dib[40 + 4 * i + 1] = palette[i].g;
    dib[40 + 4 * i + 2] = palette[i].r;
  }

  const std::size_t frameWidth = frame.width;
  const std::vector<std::size_t> rows = RowOrder(frame.height, (frame.flags & 0x40) != 0);
  std::size_t index = 0;
  auto put = [&](std::uint8_t value) {
    const std::size_t x = frame.left + index % frameWidth;
    const std::size_t y = frame.top + rows[index / frameWidth];
    ++index;
    if (x < width && y < height) dib[kHeader + y * stride + x] = value;
  };
  TRIMBREL_TRY(DecodeLzw(data, *minimumBits, frameWidth * frame.height, put));
  return picture;
}

}  // namespace trimbrel
