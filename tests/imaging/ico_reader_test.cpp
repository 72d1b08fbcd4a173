#include <gtest/gtest.h>

#include <string>

#include "fixtures.hpp"
#include "imaging/picture.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;

// An opaque ring with a transparent centre and corner.
Rgba ring(int x, int y) {
  const bool hole = (x >= 2 && x < 4 && y >= 2 && y < 4) || (x == 5 && y == 0);
  return {static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 40), 90,
          static_cast<std::uint8_t>(hole ? 0 : 255)};
}
Rgba soft(int x, int y) { return {10, 20, 30, static_cast<std::uint8_t>(x * 50 + y)}; }

Picture mustDecode(const Bytes& bytes, const std::string& context) {
  auto decoded = DecodePictureBytes(bytes);
  EXPECT_TRUE(decoded.ok()) << context << ": " << (decoded.ok() ? "" : decoded.error().reason);
  return decoded.ok() ? decoded.value() : Picture{};
}

void expectPixels(const Picture& p, int w, int h, Rgba (*want)(int, int), const std::string& context) {
  ASSERT_EQ(p.width, w) << context;
  ASSERT_EQ(p.height, h) << context;
  ASSERT_EQ(p.pixels.size(), std::size_t(w) * h * 4) << context;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgba got = PictureColour(p, x, y), expected = want(x, y);
      ASSERT_EQ(got.a, expected.a) << context << " alpha at " << x << "," << y;
      if (expected.a != 0) {
        ASSERT_EQ(got, expected) << context << " at " << x << "," << y;
      }
    }
  }
}

TEST(IconReader, DecodesEveryImageFormWithTransparency) {
  struct Case {
    const char* name;
    Bytes image;
    Rgba (*pixel)(int, int);
  } cases[] = {
      {"24-bit with mask", MakeIconBitmap(6, 5, 24, ring), ring},
      {"32-bit alpha", MakeIconBitmap(6, 5, 32, soft), soft},
      {"32-bit without alpha uses the mask", MakeIconBitmap(6, 5, 32, ring, false), ring},
      {"embedded PNG", MakePng(6, 5, soft, {.alpha = true}), soft},
  };
  for (const Case& c : cases) {
    for (int type : {1, 2}) {
      const std::string context = std::string(c.name) + (type == 1 ? " icon" : " cursor");
      Picture p = mustDecode(MakeIconFile({{6, 5, 0, c.image}}, type), context);
      EXPECT_EQ(p.kind, type == 1 ? PictureKind::Icon : PictureKind::Cursor) << context;
      expectPixels(p, 6, 5, c.pixel, context);
    }
  }
}

TEST(IconReader, ChoosesThe32PixelEntryOfAtLeast16Colours) {
  auto solid = [](std::uint8_t v) { return [v](int, int) { return Rgba{v, v, v, 255}; }; };
  const Bytes big = MakeIconBitmap(48, 48, 24, solid(10));
  const Bytes small = MakeIconBitmap(32, 32, 24, solid(20));
  const Bytes tiny = MakeIconBitmap(16, 16, 24, solid(30));
  struct Case {
    const char* name;
    std::vector<IconEntry> entries;
    int width;
  } cases[] = {
      {"32 × 32 of 16 colours wins", {{48, 48, 0, big}, {32, 32, 16, small}, {16, 16, 16, tiny}}, 32},
      {"only 48 × 48: the last entry", {{48, 48, 16, big}, {48, 48, 0, tiny}}, 16},
      {"32 × 32 of 8 colours does not count", {{32, 32, 8, small}, {48, 48, 0, big}}, 48},
  };
  for (const Case& c : cases) {
    Picture p = mustDecode(MakeIconFile(c.entries), c.name);
    EXPECT_EQ(p.width, c.width) << c.name;
    EXPECT_EQ(p.height, c.width) << c.name;
  }
}

TEST(IconReader, RefusesBrokenEntries) {
  const Bytes good = MakeIconFile({{6, 5, 0, MakeIconBitmap(6, 5, 24, ring)}});
  auto patched = [&](std::size_t at, std::uint8_t v) {
    Bytes b = good;
    b.at(at) = v;
    return b;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    std::string reason;
  } cases[] = {
      {"image past the end", patched(21, 0x10), "damaged: icon image runs past the end of the file"},
      {"size near 4 GiB", patched(17, 0xFF), "damaged: icon image runs past the end of the file"},
      {"directory cut short", Bytes(good.begin(), good.begin() + 12), "damaged: icon directory ends early"},
      {"mask missing", Bytes(good.begin(), good.end() - 1), "damaged: icon image runs past the end of the file"},
      {"compressed image", patched(22 + 16, 1), "damaged: compressed icon images are not supported"},
      {"16-bit image", patched(22 + 14, 16), "damaged: unsupported icon depth 16"},
  };
  for (const Case& c : cases) {
    auto decoded = DecodePictureBytes(c.bytes);
    ASSERT_FALSE(decoded.ok()) << c.name;
    EXPECT_EQ(decoded.error().reason, c.reason) << c.name;
  }
  // An entry whose size leaves out the mask rows.
  Bytes image = MakeIconBitmap(6, 5, 24, ring);
  image.resize(image.size() - 4);
  auto decoded = DecodePictureBytes(MakeIconFile({{6, 5, 0, image}}));
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason, "damaged: icon mask missing");
}

}  // namespace
}  // namespace trimbrel
