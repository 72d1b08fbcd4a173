#include "imaging/gif_writer.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/giflib_decode.hpp"

namespace trimbrel {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kBlack = 0;

// A 24-bit picture stored like a bitmap: bottom row first, B, G, R, rows padded to 4 bytes.
struct TestImage {
  TestImage(int w, int h) : width(w), height(h), stride((static_cast<std::size_t>(w) * 3 + 3) / 4 * 4) {
    rows.assign(stride * static_cast<std::size_t>(h), 0xCD);  // padding that must never show
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) set(x, y, kBlack);
    }
  }
  // (x, y) from the picture's top left; colours as 0xRRGGBB.
  void set(int x, int y, std::uint32_t rgb) {
    std::uint8_t* p = &rows[static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3];
    p[0] = static_cast<std::uint8_t>(rgb);
    p[1] = static_cast<std::uint8_t>(rgb >> 8);
    p[2] = static_cast<std::uint8_t>(rgb >> 16);
  }
  std::uint32_t get(int x, int y) const {
    const std::uint8_t* p = &rows[static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3];
    return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
  }
  DibView view() const { return DibView{width, height, stride, rows.data()}; }

  int width;
  int height;
  std::size_t stride;
  std::vector<std::uint8_t> rows;
};

std::uint32_t Rgb(int r, int g, int b) {
  return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

// Smooth gradients with noise, a black block and a band of one repeated
// colour: what a trimmed photo with background bands looks like.
TestImage PhotoLike(int w, int h, unsigned seed) {
  TestImage image(w, h);
  std::mt19937 random(seed);
  auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int noise = static_cast<int>(random() % 9) - 4;
      image.set(x, y, Rgb(clamp(x * 255 / w + noise), clamp(y * 255 / h - noise), clamp((x + y) % 256 + noise)));
    }
  }
  for (int y = 0; y < h / 4; ++y) {
    for (int x = 0; x < w / 3; ++x) image.set(x, y, kBlack);
  }
  for (int y = h / 2; y < h / 2 + h / 5; ++y) {
    for (int x = 0; x < w; ++x) image.set(x, y, Rgb(0xF0, 0xF0, 0xF0));
  }
  return image;
}

Bytes Write(const TestImage& image, std::string* error = nullptr) {
  MemorySink sink;
  auto written = WriteTiledRgbGif(image.view(), sink);
  EXPECT_TRUE(written);
  const std::string lastError = written ? written.value() : written.error().reason;
  EXPECT_EQ(lastError, "");
  if (error != nullptr) *error = lastError;
  return sink.take();
}

struct TileBlock {
  int x, y, w, h;
  std::vector<std::size_t> subBlocks;  // data sub-block lengths
};

// Walks the file's blocks and checks the fixed bytes of each; the pixel data
// itself is left to giflib.
std::optional<std::vector<TileBlock>> ParseBlocks(const Bytes& gif, std::string& why) {
  std::size_t at = 0;
  auto need = [&](std::size_t n) { return at + n <= gif.size(); };
  auto word = [&](std::size_t pos) { return gif[pos] | (gif[pos + 1] << 8); };
  const Bytes header = {'G', 'I', 'F', '8', '9', 'a'};
  if (!need(13) || !std::equal(header.begin(), header.end(), gif.begin())) return why = "header", std::nullopt;
  if (gif[10] != 0x11 || gif[11] != 0 || gif[12] != 0) return why = "screen descriptor", std::nullopt;
  at = 13;
  std::vector<TileBlock> tiles;
  while (need(1) && gif[at] == 0x21) {
    const Bytes control = {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00};
    if (!need(8) || !std::equal(control.begin(), control.end(), gif.begin() + static_cast<long>(at)))
      return why = "control extension at " + std::to_string(at), std::nullopt;
    at += 8;
    if (!need(10 + 768 + 1) || gif[at] != 0x2C || gif[at + 9] != 0x87)
      return why = "image descriptor at " + std::to_string(at), std::nullopt;
    TileBlock tile{word(at + 1), word(at + 3), word(at + 5), word(at + 7), {}};
    at += 10 + 768;
    if (gif[at++] != 8) return why = "minimum code size", std::nullopt;
    while (need(1) && gif[at] != 0) {
      tile.subBlocks.push_back(gif[at]);
      at += 1 + gif[at];
    }
    if (!need(1)) return why = "data runs past the end", std::nullopt;
    ++at;  // block terminator
    tiles.push_back(tile);
  }
  if (at + 1 != gif.size() || gif[at] != 0x3B) return why = "trailer at " + std::to_string(at), std::nullopt;
  return tiles;
}

testing::GiflibImage Decode(const Bytes& gif) {
  std::string error;
  auto decoded = testing::DecodeWithGiflib(gif, error);
  EXPECT_TRUE(decoded) << error;
  return decoded ? *decoded : testing::GiflibImage{};
}

std::uint32_t TableColour(const testing::GiflibFrame& frame, int index) {
  const std::size_t at = static_cast<std::size_t>(index) * 3;
  return Rgb(frame.rgb[at], frame.rgb[at + 1], frame.rgb[at + 2]);
}

TEST(GifWriter, OneWhitePixelIsTheKnown807Bytes) {
  TestImage image(1, 1);
  image.set(0, 0, Rgb(255, 255, 255));
  Bytes expected = {'G', 'I', 'F', '8', '9', 'a', 0x01, 0x00, 0x01, 0x00, 0x11, 0x00, 0x00,
                    0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00,
                    0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x87,
                    0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
  expected.insert(expected.end(), 254 * 3, 0x00);
  expected.insert(expected.end(), {0x08, 0x04, 0x00, 0x03, 0x04, 0x04, 0x00, 0x3B});
  ASSERT_EQ(expected.size(), 807u);
  EXPECT_EQ(Write(image), expected);
}

TEST(GifWriter, TilesGoBandByBandFromTheTopLeft) {
  struct Expected {
    int x, y, w, h;
  };
  const std::vector<Expected> expected = {{0, 0, 17, 15}, {17, 0, 17, 15}, {34, 0, 1, 15},
                                          {0, 15, 17, 1}, {17, 15, 17, 1}, {34, 15, 1, 1}};
  std::string why;
  const auto tiles = ParseBlocks(Write(PhotoLike(35, 16, 1)), why);
  ASSERT_TRUE(tiles) << why;
  ASSERT_EQ(tiles->size(), expected.size());
  for (std::size_t n = 0; n < expected.size(); ++n) {
    const TileBlock& t = (*tiles)[n];
    const Expected& e = expected[n];
    EXPECT_TRUE(t.x == e.x && t.y == e.y && t.w == e.w && t.h == e.h)
        << "tile " << n << ": got " << t.x << "," << t.y << " " << t.w << "x" << t.h;
  }
}

// Pixel (k, j), j counted from the tile's bottom row, owns entry 1 + k + 17 j.
TEST(GifWriter, NarrowTileUsesTheFirstEntryOfEachRow) {
  TestImage image(18, 15);
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 18; ++x) image.set(x, y, Rgb(10 + x, 100 + y, 200));
  }
  const testing::GiflibImage decoded = Decode(Write(image));
  ASSERT_EQ(decoded.frames.size(), 2u);
  const testing::GiflibFrame& narrow = decoded.frames[1];
  ASSERT_EQ(narrow.left, 17);
  ASSERT_EQ(narrow.width, 1);
  ASSERT_EQ(narrow.height, 15);
  ASSERT_EQ(narrow.rgb.size(), 768u);
  std::array<bool, 256> used{};
  for (int row = 0; row < 15; ++row) {
    const int j = 14 - row;
    EXPECT_EQ(narrow.indices[static_cast<std::size_t>(row)], 1 + 17 * j) << "row " << row;
    EXPECT_EQ(TableColour(narrow, 1 + 17 * j), image.get(17, row)) << "row " << row;
    used[static_cast<std::size_t>(1 + 17 * j)] = true;
  }
  for (int i = 0; i < 256; ++i) {
    if (!used[static_cast<std::size_t>(i)]) {
      EXPECT_EQ(TableColour(narrow, i), kBlack) << "entry " << i;
    }
  }
}

TEST(GifWriter, OneColourTileUsesOneIndex) {
  struct Case {
    std::uint32_t colour;
    int w, h;
    int index;
  };
  const std::vector<Case> cases = {
      {kBlack, 17, 15, 0}, {Rgb(255, 255, 255), 17, 15, 1}, {Rgb(0, 0, 1), 17, 15, 1},
      {Rgb(1, 0, 0), 5, 3, 1}, {Rgb(30, 200, 90), 5, 3, 1}, {kBlack, 5, 3, 0},
  };
  for (const Case& c : cases) {
    TestImage image(c.w, c.h);
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) image.set(x, y, c.colour);
    }
    const testing::GiflibImage decoded = Decode(Write(image));
    ASSERT_EQ(decoded.frames.size(), 1u);
    const testing::GiflibFrame& tile = decoded.frames[0];
    EXPECT_EQ(tile.indices, Bytes(static_cast<std::size_t>(c.w * c.h), static_cast<std::uint8_t>(c.index)))
        << "colour " << std::hex << c.colour << std::dec << " in " << c.w << "x" << c.h;
    // Entries of pixels that exist hold the colour, all others stay black.
    for (int i = 1; i < 256; ++i) {
      const int k = (i - 1) % 17;
      const int j = (i - 1) / 17;
      const std::uint32_t want = (k < c.w && j < c.h) ? c.colour : kBlack;
      EXPECT_EQ(TableColour(tile, i), want) << "entry " << i << " of " << c.w << "x" << c.h;
    }
  }
}

// The writer's indices against the literal nearest-colour scan over all
// 256 entries, with the colour table carried over between tiles of one size
// and cleared to black when the size changes.
std::vector<Bytes> IndicesByFullScan(const TestImage& image) {
  std::array<std::uint32_t, 256> palette{};
  int lastW = -1;
  int lastH = -1;
  std::vector<Bytes> tiles;
  for (int y = 0; y < image.height; y += 15) {
    for (int x = 0; x < image.width; x += 17) {
      const int w = std::min(17, image.width - x);
      const int h = std::min(15, image.height - y);
      if (w != lastW || h != lastH) palette.fill(kBlack);
      lastW = w;
      lastH = h;
      Bytes indices(static_cast<std::size_t>(w * h));
      for (int j = 0; j < h; ++j) {
        for (int k = 0; k < w; ++k) {
          const std::uint32_t c = image.get(x + k, y + h - 1 - j);
          palette[static_cast<std::size_t>(1 + k + 17 * j)] = c;
          int best = 200000;
          int bestIndex = 0;
          for (int i = 0; i < 256; ++i) {
            const std::uint32_t e = palette[static_cast<std::size_t>(i)];
            const int dr = static_cast<int>(e >> 16) - static_cast<int>(c >> 16);
            const int dg = static_cast<int>((e >> 8) & 0xFF) - static_cast<int>((c >> 8) & 0xFF);
            const int db = static_cast<int>(e & 0xFF) - static_cast<int>(c & 0xFF);
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
              best = d;
              bestIndex = i;
              if (d == 0) break;
            }
          }
          indices[static_cast<std::size_t>((h - 1 - j) * w + k)] = static_cast<std::uint8_t>(bestIndex);
        }
      }
      tiles.push_back(indices);
    }
  }
  return tiles;
}

TEST(GifWriter, IndicesMatchTheFullNearestColourScan) {
  // Few colours, so most pixels repeat an earlier one; black and colours one
  // step away from black and from each other make near misses.
  const std::vector<std::uint32_t> colours = {kBlack, Rgb(0, 0, 1), Rgb(1, 0, 0), Rgb(0, 1, 0),
                                              Rgb(200, 10, 10), Rgb(200, 10, 11), Rgb(255, 255, 255)};
  struct Case {
    int w, h;
    unsigned seed;
  };
  for (const Case& c : std::vector<Case>{{40, 33, 1}, {40, 33, 2}, {17, 45, 3}, {52, 16, 4}, {3, 2, 5}}) {
    std::mt19937 random(c.seed);
    TestImage image(c.w, c.h);
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) image.set(x, y, colours[random() % colours.size()]);
    }
    const std::vector<Bytes> expected = IndicesByFullScan(image);
    const testing::GiflibImage decoded = Decode(Write(image));
    ASSERT_EQ(decoded.frames.size(), expected.size()) << c.w << "x" << c.h;
    for (std::size_t n = 0; n < expected.size(); ++n) {
      EXPECT_EQ(decoded.frames[n].indices, expected[n]) << c.w << "x" << c.h << " seed " << c.seed << " tile " << n;
    }
  }
}

TEST(GifWriter, SubBlocksHoldAtMost254Bytes) {
  // 255 different colours give 255 different indices: about 290 bytes of codes.
  TestImage image(17, 15);
  std::mt19937 random(9);
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 17; ++x) image.set(x, y, static_cast<std::uint32_t>(random() & 0xFFFFFF));
  }
  std::string why;
  const auto tiles = ParseBlocks(Write(image), why);
  ASSERT_TRUE(tiles) << why;
  ASSERT_EQ(tiles->size(), 1u);
  const std::vector<std::size_t>& blocks = (*tiles)[0].subBlocks;
  ASSERT_GE(blocks.size(), 2u) << "a noisy tile needs more than one sub-block";
  for (std::size_t n = 0; n < blocks.size(); ++n) {
    if (n + 1 < blocks.size()) {
      EXPECT_EQ(blocks[n], 254u) << "sub-block " << n;
    } else {
      EXPECT_LE(blocks[n], 254u);
      EXPECT_GE(blocks[n], 1u);
    }
  }
}

// Every pixel must come back exactly, each covered by exactly one tile.
TEST(GifWriter, GiflibReadsBackEveryPixel) {
  struct Case {
    int w, h;
  };
  for (const Case& c : std::vector<Case>{{1, 1}, {17, 15}, {18, 15}, {35, 16}, {16, 14}, {154, 189}, {1000, 300}}) {
    const TestImage image = PhotoLike(c.w, c.h, static_cast<unsigned>(c.w * 7 + c.h));
    const Bytes gif = Write(image);
    std::string why;
    const auto tiles = ParseBlocks(gif, why);
    ASSERT_TRUE(tiles) << c.w << "x" << c.h << ": " << why;
    for (const TileBlock& t : *tiles) {
      for (std::size_t length : t.subBlocks) ASSERT_LE(length, 254u);
    }

    const testing::GiflibImage decoded = Decode(gif);
    ASSERT_EQ(decoded.width, c.w);
    ASSERT_EQ(decoded.height, c.h);
    ASSERT_TRUE(decoded.globalRgb.empty());
    ASSERT_EQ(decoded.frames.size(), static_cast<std::size_t>(((c.w + 16) / 17) * ((c.h + 14) / 15)));
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(c.w * c.h), 0);
    std::vector<int> covered(screen.size(), 0);
    for (const testing::GiflibFrame& frame : decoded.frames) {
      ASSERT_LE(frame.left + frame.width, c.w);
      ASSERT_LE(frame.top + frame.height, c.h);
      ASSERT_EQ(frame.rgb.size(), 768u);
      for (int r = 0; r < frame.height; ++r) {
        for (int k = 0; k < frame.width; ++k) {
          const std::size_t at = static_cast<std::size_t>((frame.top + r) * c.w + frame.left + k);
          screen[at] = TableColour(frame, frame.indices[static_cast<std::size_t>(r * frame.width + k)]);
          ++covered[at];
        }
      }
    }
    int wrong = 0;
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        const std::size_t at = static_cast<std::size_t>(y * c.w + x);
        if ((covered[at] != 1 || screen[at] != image.get(x, y)) && ++wrong <= 5) {
          ADD_FAILURE() << c.w << "x" << c.h << " pixel " << x << "," << y << " covered " << covered[at]
                        << " times, got " << std::hex << screen[at] << " want " << image.get(x, y) << std::dec;
        }
      }
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
  }
}

// Fails every write after the first `limit` bytes but counts what it is offered.
class FailingSink final : public ByteSink {
 public:
  explicit FailingSink(std::size_t limit) : limit_(limit) {}
  void write(std::span<const std::uint8_t> bytes) override {
    offered_ += bytes.size();
    if (offered_ > limit_) failed_ = true;
  }
  bool failed() const override { return failed_; }
  std::size_t offered() const { return offered_; }

 private:
  std::size_t limit_;
  std::size_t offered_ = 0;
  bool failed_ = false;
};

TEST(GifWriter, StreamErrorIsNotedAndTheRestStillWritten) {
  const TestImage image = PhotoLike(40, 31, 5);
  const std::size_t fullSize = Write(image).size();
  for (std::size_t limit : {std::size_t{0}, std::size_t{500}, fullSize - 1}) {
    FailingSink sink(limit);
    auto written = WriteTiledRgbGif(image.view(), sink);
    ASSERT_TRUE(written) << "limit " << limit;
    EXPECT_EQ(written.value(), "GIF 文件写出错误") << "limit " << limit;
    EXPECT_EQ(sink.offered(), fullSize) << "limit " << limit;
  }
}

TEST(GifWriter, RefusesPicturesTheFormatCannotHold) {
  struct Case {
    int w, h;
    std::size_t strideShortBy;
    bool written;
  };
  const std::vector<Case> cases = {
      {65535, 1, 0, true}, {65536, 1, 0, false}, {1, 65536, 0, false},
      {0, 0, 0, false},    {4, 2, 4, false},
  };
  for (const Case& c : cases) {
    TestImage image(c.w, c.h);
    DibView view = image.view();
    view.stride -= c.strideShortBy;
    if (c.w == 0) view.rows = nullptr;
    MemorySink sink;
    auto written = WriteTiledRgbGif(view, sink);
    const bool ok = written.ok();
    const std::string lastError = ok ? written.value() : written.error().reason;
    EXPECT_EQ(ok, c.written) << c.w << "x" << c.h;
    if (c.written) {
      EXPECT_EQ(lastError, "") << c.w << "x" << c.h;
      ASSERT_GE(sink.data().size(), 10u);
      EXPECT_EQ(sink.data()[6] | (sink.data()[7] << 8), c.w);
    } else {
      EXPECT_NE(lastError, "") << c.w << "x" << c.h;
      EXPECT_TRUE(sink.data().empty()) << c.w << "x" << c.h;
    }
  }
}

}  // namespace
}  // namespace trimbrel
