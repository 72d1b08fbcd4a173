#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;

std::vector<Rgba> palette(int count) {
  std::vector<Rgba> p;
  for (int i = 0; i < count; ++i) {
    p.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 5)});
  }
  return p;
}

std::uint32_t trueColour(int x, int y) { return static_cast<std::uint32_t>((x * 20) << 16 | (y * 30) << 8 | (x + y)); }

// Every depth, both row orders, odd widths that need row padding.
TEST(BmpReader, DecodesEveryDepthBothRowOrders) {
  for (int bits : {1, 4, 8, 24, 32}) {
    for (bool topDown : {false, true}) {
      const int colours = bits <= 8 ? 1 << bits : 0;
      BmpPlan plan{.width = 7, .height = 5, .bitCount = bits, .topDown = topDown, .palette = palette(colours)};
      plan.value = [&](int x, int y) -> std::uint32_t {
        return bits <= 8 ? static_cast<std::uint32_t>((x * 3 + y) % colours) : trueColour(x, y);
      };
      auto decoded = DecodePictureBytes(MakeBmp(plan));
      const std::string context = std::to_string(bits) + (topDown ? " bits top-down" : " bits");
      ASSERT_TRUE(decoded.ok()) << context << ": " << decoded.error().reason;
      const Picture& p = decoded.value();
      EXPECT_EQ(p.kind, PictureKind::Bmp);
      ASSERT_EQ(p.width, 7);
      ASSERT_EQ(p.height, 5);
      ASSERT_EQ(p.pixels.size(), 7u * 5 * 3) << context;
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
          const std::uint32_t v = plan.value(x, y);
          const Rgba want = bits <= 8 ? plan.palette[v]
                                      : Rgba{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                                             static_cast<std::uint8_t>(v)};
          ASSERT_EQ(PictureColour(p, x, y), want) << context << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(BmpReader, PaletteCountAndPlace) {
  // biClrUsed 0 on an 8-bit file means 256 entries.
  BmpPlan full{.width = 4, .height = 2, .bitCount = 8, .palette = palette(256)};
  full.value = [](int x, int y) { return static_cast<std::uint32_t>(200 + x + y); };
  auto decoded = DecodePictureBytes(MakeBmp(full));
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(PictureColour(decoded.value(), 3, 1), full.palette[204]);

  // A longer (version 5) info header: the palette follows it, not byte 54.
  BmpPlan v5{.width = 3, .height = 3, .bitCount = 4, .infoSize = 124, .palette = palette(16), .coloursUsed = 16};
  v5.value = [](int x, int y) { return static_cast<std::uint32_t>(x * 3 + y); };
  decoded = DecodePictureBytes(MakeBmp(v5));
  ASSERT_TRUE(decoded.ok()) << decoded.error().reason;
  EXPECT_EQ(PictureColour(decoded.value(), 2, 1), v5.palette[7]);

  // Indices past a short palette read black instead of past the table.
  BmpPlan shortPalette{.width = 2, .height = 1, .bitCount = 8, .palette = palette(2), .coloursUsed = 2};
  shortPalette.value = [](int x, int) { return x == 0 ? 1u : 250u; };
  decoded = DecodePictureBytes(MakeBmp(shortPalette));
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(PictureColour(decoded.value(), 0, 0), shortPalette.palette[1]);
  EXPECT_EQ(PictureColour(decoded.value(), 1, 0), (Rgba{0, 0, 0}));
}

TEST(BmpReader, ThirtyTwoBitDropsTheFourthByte) {
  BmpPlan plan{.width = 3, .height = 2, .bitCount = 32, .value = trueColour};
  auto decoded = DecodePictureBytes(MakeBmp(plan));  // the builder writes 0x7F as the fourth byte
  ASSERT_TRUE(decoded.ok());
  const Picture& p = decoded.value();
  ASSERT_EQ(p.pixels.size(), 3u * 2 * 3);
  // Bottom row first: pixel (0, 1) then (1, 1), three bytes each.
  const std::uint32_t v = trueColour(1, 1);
  EXPECT_EQ(p.pixels[3], static_cast<std::uint8_t>(v));
  EXPECT_EQ(p.pixels[4], static_cast<std::uint8_t>(v >> 8));
  EXPECT_EQ(p.pixels[5], static_cast<std::uint8_t>(v >> 16));
}

Bytes patch32(Bytes bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

TEST(BmpReader, RefusesWhatItCannotRead) {
  BmpPlan base{.width = 4, .height = 4, .bitCount = 8, .palette = palette(256)};
  base.value = [](int x, int y) { return static_cast<std::uint32_t>(x + y); };
  const Bytes good = MakeBmp(base);
  BmpPlan sixteen{.width = 4, .height = 4, .bitCount = 16, .value = trueColour};
  BmpPlan rle{.width = 4, .height = 4, .bitCount = 8, .compression = 1, .palette = palette(256)};
  rle.value = base.value;
  struct Case {
    const char* name;
    Bytes bytes;
    std::string reason;
  } cases[] = {
      {"16 bits", MakeBmp(sixteen), "damaged: unsupported bitmap depth 16"},
      {"run-length", MakeBmp(rle), "damaged: compressed bitmaps are not supported"},
      {"offset inside the palette", patch32(good, 10, 54 + 100), "damaged: bitmap pixels overlap the header"},
      {"rows cut short", Bytes(good.begin(), good.end() - 1), "damaged: bitmap rows run past the end of the file"},
      {"header cut short", Bytes(good.begin(), good.begin() + 40), "damaged: bitmap header ends early"},
      {"palette past the end", patch32(good, 46, 0x40000000), "damaged: bitmap palette missing"},
      {"core header", patch32(good, 14, 12), "damaged: unsupported bitmap header"},
      {"zero width", patch32(good, 18, 0), "damaged: empty picture"},
      {"too wide", patch32(good, 18, 70000), "too large: 70000 × 4"},
      {"too many pixels", patch32(patch32(good, 18, 60000), 22, 0xFFFF0000u), "too large: 60000 × 65536"},
      {"most negative height", patch32(good, 22, 0x80000000u), "too large: 4 × 2147483648"},
  };
  for (const Case& c : cases) {
    auto decoded = DecodePictureBytes(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_EQ(decoded.error().reason, c.reason) << c.name;
  }
}

}  // namespace
}  // namespace trimbrel
