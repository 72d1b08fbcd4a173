#include <gtest/gtest.h>

#include <string>

#include "fixtures.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;

std::vector<Rgba> colours() {
  std::vector<Rgba> table;
  for (int i = 0; i < 256; ++i) {
    table.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 3)});
  }
  return table;
}

std::uint8_t pattern(int plane, int x, int y) {
  // Long runs and values above 0xC0 that must be escaped as runs of one.
  return static_cast<std::uint8_t>(x < 9 ? 0xC7 + plane : (x * 31 + y * 17 + plane * 50));
}

Picture mustDecode(const Bytes& bytes, const std::string& context) {
  auto decoded = DecodePictureBytes(bytes);
  EXPECT_TRUE(decoded.ok()) << context << ": " << (decoded.ok() ? "" : decoded.error().reason);
  return decoded.ok() ? decoded.value() : Picture{};
}

// The odd widths give lines of more bytes than pixels: each DIB row still
// holds exactly the picture's pixels.
TEST(PcxReader, DecodesPaletteTrueColourAndMonochrome) {
  for (int width : {13, 16}) {
    const std::string w = " width " + std::to_string(width);
    PcxPlan indexed{.width = width, .height = 5, .palette = colours(), .value = pattern};
    Picture p = mustDecode(MakePcx(indexed), "indexed" + w);
    EXPECT_EQ(p.kind, PictureKind::Pcx8);
    const std::size_t stride = (std::size_t(width) + 3) / 4 * 4;
    ASSERT_EQ(p.pixels.size(), 1064 + stride * 5) << w;
    EXPECT_EQ(p.pixels[12], 1) << "biPlanes";
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < width; ++x) ASSERT_EQ(PictureColour(p, x, y), colours()[pattern(0, x, y)]) << x << "," << y << w;
    }

    for (int planes : {3, 4}) {
      PcxPlan rgb{.width = width, .height = 4, .planes = planes, .value = pattern};
      p = mustDecode(MakePcx(rgb), std::to_string(planes) + " planes" + w);
      EXPECT_EQ(p.kind, PictureKind::Pcx8);
      ASSERT_EQ(p.pixels.size(), 40 + (std::size_t(width) * 3 + 3) / 4 * 4 * 4) << w;
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(PictureColour(p, x, y), (Rgba{pattern(0, x, y), pattern(1, x, y), pattern(2, x, y)}))
              << planes << " planes at " << x << "," << y << w;
        }
      }
    }

    PcxPlan mono{.width = width, .height = 3, .bitsPerPixel = 1, .version = 3};
    mono.value = [](int, int x, int y) { return static_cast<std::uint8_t>((x + y) % 3 == 0); };
    p = mustDecode(MakePcx(mono), "monochrome" + w);
    EXPECT_EQ(p.kind, PictureKind::Pcx1);
    ASSERT_EQ(p.pixels.size(), 48 + 4 * 3u) << w;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t v = mono.value(0, x, y) ? 255 : 0;
        ASSERT_EQ(PictureColour(p, x, y), (Rgba{v, v, v})) << "monochrome at " << x << "," << y << w;
      }
    }
  }
}

TEST(PcxReader, WithoutAPaletteIndicesAreGrey) {
  PcxPlan plan{.width = 4, .height = 2, .value = [](int, int x, int y) { return static_cast<std::uint8_t>(x * 60 + y); }};
  Picture p = mustDecode(MakePcx(plan), "no palette");
  EXPECT_EQ(PictureColour(p, 3, 1), (Rgba{181, 181, 181}));
}

TEST(PcxReader, RefusesWhatItCannotRead) {
  PcxPlan plan{.width = 40, .height = 8, .palette = colours(),
               .value = [](int, int x, int y) { return static_cast<std::uint8_t>(x * y); }};
  const Bytes good = MakePcx(plan);
  auto patched = [&](std::size_t at, std::uint8_t v) {
    Bytes b = good;
    b.at(at) = v;
    return b;
  };
  PcxPlan fourBit{.width = 4, .height = 2, .bitsPerPixel = 4, .value = [](int, int, int) { return std::uint8_t{1}; }};
  PcxPlan twoPlanes{.width = 4, .height = 2, .planes = 2, .value = [](int, int, int) { return std::uint8_t{1}; }};
  struct Case {
    const char* name;
    Bytes bytes;
    std::string reason;
  } cases[] = {
      {"pixel data cut short", Bytes(good.begin(), good.begin() + 140), "damaged: PCX data ends early"},
      {"header only", Bytes(good.begin(), good.begin() + 128), "damaged: PCX header ends early"},
      {"inverted window", patched(4, 100), "damaged: PCX window is inverted"},
      {"lines shorter than the picture", patched(66, 2), "damaged: PCX lines shorter than the picture"},
      {"4 bits is no kind of picture", MakePcx(fourBit), "unknown kind"},
      {"two planes of 8 bits", MakePcx(twoPlanes), "damaged: unsupported PCX depth 8 × 2"},
      {"claimed size the data cannot hold", patched(11, 0x7F), "damaged: PCX data ends early"},
  };
  for (const Case& c : cases) {
    auto decoded = DecodePictureBytes(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_EQ(decoded.error().reason, c.reason) << c.name;
  }
}

}  // namespace
}  // namespace trimbrel
