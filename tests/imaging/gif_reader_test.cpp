#include <gtest/gtest.h>

#include <string>

#include "fixtures.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;

std::vector<Rgba> colours(int count, int seed) {
  std::vector<Rgba> table;
  for (int i = 0; i < count; ++i) {
    table.push_back({static_cast<std::uint8_t>(i * 7 + seed), static_cast<std::uint8_t>(i * 13), static_cast<std::uint8_t>(255 - i)});
  }
  return table;
}

Picture mustDecode(const Bytes& bytes, const std::string& context) {
  auto decoded = DecodePictureBytes(bytes);
  EXPECT_TRUE(decoded.ok()) << context << ": " << (decoded.ok() ? "" : decoded.error().reason);
  return decoded.ok() ? decoded.value() : Picture{};
}

// Sizes and patterns that walk the code width from the minimum up to 12 bits
// and past a full table, plain and interlaced, with global and local tables.
TEST(GifReader, DecodesTheFirstImage) {
  struct Case {
    const char* name;
    int width, height, tableSize;
    bool interlaced, local;
  } cases[] = {
      {"one pixel", 1, 1, 2, false, false},
      {"two colours", 9, 7, 2, false, false},
      {"16 colours interlaced", 13, 11, 16, true, false},
      {"256 colours, full table", 300, 200, 256, false, false},
      {"local table, interlaced, tall", 37, 99, 64, true, true},
  };
  for (const Case& c : cases) {
    GifPlan plan{.screenWidth = c.width, .screenHeight = c.height, .global = colours(c.tableSize, 1),
                 .width = c.width, .height = c.height, .interlaced = c.interlaced};
    if (c.local) plan.local = colours(c.tableSize, 99);
    const int n = c.tableSize;
    plan.index = [n](int x, int y) { return static_cast<std::uint8_t>((x * x + 3 * y + (x * y) / 7) % n); };
    Picture p = mustDecode(MakeGif(plan), c.name);
    EXPECT_EQ(p.kind, PictureKind::Gif) << c.name;
    ASSERT_EQ(p.width, c.width) << c.name;
    ASSERT_EQ(p.height, c.height) << c.name;
    const std::size_t stride = (std::size_t(c.width) + 3) / 4 * 4;
    ASSERT_EQ(p.pixels.size(), 40 + 1024 + stride * c.height) << c.name;
    const auto& table = c.local ? plan.local : plan.global;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        ASSERT_EQ(PictureColour(p, x, y), table[plan.index(x, y)]) << c.name << " at " << x << "," << y;
      }
    }
  }
}

// The picture has the logical screen's size; the rest of the screen shows
// the background colour of the global table.
TEST(GifReader, PlacesASmallerImageOnTheScreen) {
  GifPlan plan{.screenWidth = 10, .screenHeight = 8, .global = colours(4, 0), .background = 2,
               .left = 3, .top = 2, .width = 4, .height = 3};
  plan.index = [](int x, int y) { return static_cast<std::uint8_t>((x + y) % 4); };
  // A full local table has no room for the background: its nearest colour stands in.
  std::vector<Rgba> full = colours(256, 50);
  full[200] = {static_cast<std::uint8_t>(plan.global[2].r + 3), plan.global[2].g, plan.global[2].b};
  struct Case {
    const char* name;
    std::vector<Rgba> local;
  } cases[] = {{"global table", {}}, {"local table without the background colour", colours(4, 50)},
               {"full local table", full}};
  for (const Case& c : cases) {
    plan.local = c.local;
    Picture p = mustDecode(MakeGif(plan), c.name);
    ASSERT_EQ(p.width, 10);
    ASSERT_EQ(p.height, 8);
    const auto& table = c.local.empty() ? plan.global : plan.local;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 10; ++x) {
        const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
        const Rgba want = inside ? table[plan.index(x - 3, y - 2)] : plan.global[2];
        if (c.local.size() == 256 && !inside) {
          EXPECT_LE(ColourDistance(PictureColour(p, x, y), want), 3) << c.name << " nearest at " << x << "," << y;
        } else {
          ASSERT_EQ(PictureColour(p, x, y), want) << c.name << " at " << x << "," << y;
        }
      }
    }
  }
  // No global table: black around the image.
  plan.global.clear();
  plan.local = colours(4, 0);
  Picture p = mustDecode(MakeGif(plan), "no global table");
  EXPECT_EQ(PictureColour(p, 0, 0), (Rgba{0, 0, 0}));
}

TEST(GifReader, FilesWithoutAnImageFail) {
  GifPlan plan{.screenWidth = 4, .screenHeight = 4, .global = colours(4, 0), .width = 4, .height = 4};
  plan.index = [](int x, int) { return static_cast<std::uint8_t>(x); };
  const Bytes good = MakeGif(plan);
  const std::size_t afterTable = 13 + 12;
  Bytes trailerFirst(good.begin(), good.begin() + afterTable);
  trailerFirst.push_back(0x3B);
  trailerFirst.insert(trailerFirst.end(), good.begin() + afterTable, good.end());
  Bytes zeroFirst = trailerFirst;
  zeroFirst[afterTable] = 0;
  Bytes badScreen = good;
  badScreen[6] = 0xFF;
  badScreen[7] = 0xFF;
  badScreen[8] = 0xFF;
  badScreen[9] = 0xFF;
  struct Case {
    const char* name;
    Bytes bytes;
    std::string reason;
  } cases[] = {
      {"trailer before the image", trailerFirst, "damaged: GIF has no image"},
      {"zero byte before the image", zeroFirst, "damaged: GIF has no image"},
      {"cut inside the image data", Bytes(good.begin(), good.end() - 4), "damaged: GIF block runs past the end of the data"},
      {"cut inside an extension", Bytes(good.begin(), good.begin() + afterTable + 5), "damaged: GIF block runs past the end of the data"},
      {"cut inside the colour table", Bytes(good.begin(), good.begin() + 20), "damaged: GIF colour table ends early"},
      {"huge screen", badScreen, "too large: 65535 × 65535"},
  };
  for (const Case& c : cases) {
    auto decoded = DecodePictureBytes(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_EQ(decoded.error().reason, c.reason) << c.name;
  }
}

TEST(GifReader, RefusesCodesOutOfSequence) {
  // Minimum size 2: clear (4), then code 7 with an empty table.
  Bytes data = {0x02, 0x01, 0x3C, 0x00};
  GifPlan plan{.screenWidth = 2, .screenHeight = 1, .global = colours(4, 0), .width = 2, .height = 1, .extensions = false};
  plan.index = [](int, int) { return std::uint8_t{0}; };
  Bytes gif = MakeGif(plan);
  const std::size_t imageData = 13 + 12 + 10;  // header, table, descriptor
  gif.resize(imageData);
  gif.insert(gif.end(), data.begin(), data.end());
  gif.push_back(0x3B);
  auto decoded = DecodePictureBytes(gif);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "damaged: GIF code out of sequence");
}

}  // namespace
}  // namespace trimbrel
