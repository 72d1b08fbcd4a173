#include <gtest/gtest.h>

#include <string>

#include "fixtures.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;

Rgba translucent(int x, int y) {
  return {static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 40), 200, static_cast<std::uint8_t>(x * 60)};
}

TEST(PngReader, KeepsStraightAlphaTopDownInBlueGreenRedAlphaOrder) {
  for (bool interlaced : {false, true}) {
    auto decoded = DecodePictureBytes(MakePng(5, 4, translucent, {.alpha = true, .interlaced = interlaced}));
    ASSERT_TRUE(decoded.ok()) << decoded.error().reason;
    const Picture& p = decoded.value();
    EXPECT_EQ(p.kind, PictureKind::Png);
    ASSERT_EQ(p.width, 5);
    ASSERT_EQ(p.height, 4);
    ASSERT_EQ(p.pixels.size(), 5u * 4 * 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) ASSERT_EQ(PictureColour(p, x, y), translucent(x, y)) << x << "," << y;
    }
    // Top row first, B,G,R,A: pixel (1, 0) starts at byte 4.
    EXPECT_EQ(p.pixels[4], 200);
    EXPECT_EQ(p.pixels[6], 30);
    EXPECT_EQ(p.pixels[7], 60);
  }
}

TEST(PngReader, GreyAndOpaqueFilesGetFullAlpha) {
  auto grey = [](int x, int y) { return Rgba{static_cast<std::uint8_t>(x * 50 + y), 0, 0}; };
  auto decoded = DecodePictureBytes(MakePng(4, 3, grey, {.grey = true}));
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(PictureColour(decoded.value(), 3, 2), (Rgba{152, 152, 152, 255}));
}

// Without a colour-space chunk, a 16-bit file shows its high bytes; with
// one, libpng's colour handling applies (and sRGB keeps them too).
TEST(PngReader, SixteenBitFilesShowTheirHighBytes) {
  auto grey = [](int, int) { return Rgba{0, 0, 0, 255}; };
  auto wide = [](int x, int) { return static_cast<std::uint16_t>(x == 0 ? 0x8040 : 0x40FF); };
  struct Case {
    const char* name;
    PngOptions options;
  } cases[] = {{"grey", {.bitDepth = 16, .grey = true}},
               {"grey interlaced", {.bitDepth = 16, .grey = true, .interlaced = true}},
               {"grey alpha", {.bitDepth = 16, .alpha = true, .grey = true}},
               {"rgb", {.bitDepth = 16}},
               {"rgb with sRGB chunk", {.bitDepth = 16, .srgbChunk = true}}};
  for (const Case& c : cases) {
    auto decoded = DecodePictureBytes(MakePng(2, 2, grey, c.options, wide));
    ASSERT_TRUE(decoded.ok()) << c.name << ": " << decoded.error().reason;
    EXPECT_NEAR(PictureColour(decoded.value(), 0, 1).r, 0x80, 1) << c.name;
    EXPECT_NEAR(PictureColour(decoded.value(), 1, 0).r, 0x40, 1) << c.name;
    EXPECT_EQ(PictureColour(decoded.value(), 1, 0).a, 255) << c.name;
  }
}

TEST(PngReader, TruncatedOrOversizedFilesFail) {
  auto noise = [](int x, int y) { return Rgba{static_cast<std::uint8_t>(x * y * 13), static_cast<std::uint8_t>(x ^ y), 7}; };
  for (int depth : {8, 16}) {
    const Bytes png = MakePng(40, 40, noise, {.bitDepth = depth});
    for (std::size_t cut : {png.size() - 12, png.size() / 2, std::size_t{40}, std::size_t{12}}) {
      auto decoded = DecodePictureBytes(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(cut)));
      ASSERT_FALSE(decoded.ok()) << "depth " << depth << " cut at " << cut;
      EXPECT_EQ(decoded.error().reason.rfind("damaged: ", 0), 0u) << decoded.error().reason;
    }
  }
  // IHDR's width and height are bytes 16-23.
  Bytes png = MakePng(2, 2, noise);
  for (int i = 0; i < 4; ++i) png[16 + i] = i == 1 ? 0x01 : 0x00;  // 65536 wide
  auto decoded = DecodePictureBytes(png);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "too large: 65536 × 2");
  // A claimed size the compressed data could never hold.
  png = MakePng(2, 2, noise);
  png[18] = 0xF0;  // 61440 wide
  png[22] = 0x0F;  // 3842 high
  png[23] = 0x02;
  decoded = DecodePictureBytes(png);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "damaged: PNG data ends early");
}

}  // namespace
}  // namespace trimbrel
