#include "imaging/drawing_surface.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/area_resampler.hpp"

namespace trimbrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Bgr {
  std::uint8_t b = 0, g = 0, r = 0;
  bool operator==(const Bgr&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Bgr& p) {
  return os << "{b=" << int(p.b) << " g=" << int(p.g) << " r=" << int(p.r) << "}";
}
Bgr FromColour(std::uint32_t c) { return {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)}; }

Bgr At(const DrawingSurface& s, int x, int y) {
  const std::uint8_t* p = s.rowFromTop(y) + x * 3;
  return {p[0], p[1], p[2]};
}

Bgr NoisePixel(int x, int y) {
  const std::uint32_t v = static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u) * 2246822519u;
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)};
}

// A kind-1 picture: packed B,G,R rows, bottom-up.
template <class Fn>
Picture BgrPicture(int w, int h, Fn pixel, PictureKind kind = PictureKind::Jpeg) {
  Picture p;
  p.kind = kind;
  p.width = w;
  p.height = h;
  p.pixels.resize(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Bgr c = pixel(x, y);
      std::uint8_t* d = p.pixels.data() + (static_cast<std::size_t>(h - 1 - y) * w + x) * 3;
      d[0] = c.b, d[1] = c.g, d[2] = c.r;
    }
  }
  return p;
}

// PNG, icon and cursor pictures: B,G,R,A rows, top-down.
Picture BgraPicture(PictureKind kind, int w, int h, std::array<std::uint8_t, 4> bgra) {
  Picture p;
  p.kind = kind;
  p.width = w;
  p.height = h;
  p.pixels.resize(static_cast<std::size_t>(w) * h * 4);
  for (std::size_t k = 0; k < p.pixels.size(); ++k) p.pixels[k] = bgra[k % 4];
  return p;
}

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  for (int k = 0; k < n; ++k) b[at + k] = std::uint8_t(v >> (8 * k));
}

// A DIB picture (GIF, PCX): header, palette, rows padded to 4 bytes.
Picture DibPicture(PictureKind kind, int picW, int picH, int dibW, int dibH, int bits, bool topDown,
                   const std::vector<Bgr>& palette, const std::vector<std::uint32_t>& values) {
  const std::size_t stride = (static_cast<std::size_t>(dibW) * bits + 31) / 32 * 4;
  Bytes b(40 + palette.size() * 4 + stride * dibH, 0);
  PutLe(b, 0, 40, 4);
  PutLe(b, 4, static_cast<std::uint32_t>(dibW), 4);
  PutLe(b, 8, static_cast<std::uint32_t>(topDown ? -dibH : dibH), 4);
  PutLe(b, 12, 1, 2);
  PutLe(b, 14, static_cast<std::uint32_t>(bits), 2);
  PutLe(b, 32, static_cast<std::uint32_t>(palette.size()), 4);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    b[40 + 4 * i] = palette[i].b, b[41 + 4 * i] = palette[i].g, b[42 + 4 * i] = palette[i].r;
  }
  const std::size_t rows = 40 + palette.size() * 4;
  for (int y = 0; y < dibH; ++y) {
    std::uint8_t* row = b.data() + rows + stride * (topDown ? y : dibH - 1 - y);
    for (int x = 0; x < dibW; ++x) {
      const std::uint32_t v = values[static_cast<std::size_t>(y) * dibW + x];
      if (bits == 8) row[x] = std::uint8_t(v);
      if (bits == 1) row[x / 8] |= std::uint8_t((v & 1) << (7 - x % 8));
      if (bits == 24) row[3 * x] = std::uint8_t(v >> 16), row[3 * x + 1] = std::uint8_t(v >> 8), row[3 * x + 2] = std::uint8_t(v);
    }
  }
  Picture p;
  p.kind = kind;
  p.width = picW;
  p.height = picH;
  p.pixels = std::move(b);
  return p;
}

DrawingSurface Sized(int w, int h, std::uint32_t background = 0x00102030, int depth = 24) {
  DrawingSurface s(kNoWindowButtonFace, depth);
  s.setBackgroundColour(background);
  ResizeSurface(s, {}, {}, w, h);
  ClearSurface(s);
  return s;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

TEST(DrawingSurface, SnapshotOfThreeByTwoIsByteExact) {
  DrawingSurface s = Sized(3, 2);
  const Picture pic = BgrPicture(3, 2, [](int x, int y) { return Bgr{std::uint8_t(10 * x + y), 0x55, std::uint8_t(200 + y)}; });
  DrawPicture(s, pic, 0, 0);
  const Bytes snap = TakeSnapshot(s);
  Bytes want = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,      // file header
                40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,  // size, width, height, planes, bits
                0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // compression, image size, ppm x, ppm y
                0, 0, 0, 0, 0, 0, 0, 0};                           // colours used, important
  // Bottom row (y = 1) first, 9 pixel bytes and 3 zero bytes per row.
  for (int y : {1, 0}) {
    for (int x = 0; x < 3; ++x) want.insert(want.end(), {std::uint8_t(10 * x + y), 0x55, std::uint8_t(200 + y)});
    want.insert(want.end(), {0, 0, 0});
  }
  EXPECT_EQ(snap, want);
}

TEST(DrawingSurface, EmptyOrNegativeSizesKeepAOnePixelBitmap) {
  for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 0}, {-5, 3}, {4, -2}}) {
    DrawingSurface s = Sized(7, 7);
    ResizeSurface(s, {}, {}, w, h);
    EXPECT_EQ(s.width(), std::max(1, w));
    EXPECT_EQ(s.height(), std::max(1, h));
    if (w <= 0 && h <= 0) {
      const Bytes snap = TakeSnapshot(s);
      ASSERT_EQ(snap.size(), 58u);
      EXPECT_EQ(Le32(snap, 2), 58u);
      EXPECT_EQ(Le32(snap, 34), 4u);
      EXPECT_EQ(At(s, 0, 0), FromColour(0x00102030));  // the old corner pixel survives
    }
  }
}

TEST(DrawingSurface, ResizeKeepsTheOldContentAtTheTopLeft) {
  DrawingSurface s = Sized(4, 3);
  const Picture pic = BgrPicture(4, 3, NoisePixel);
  DrawPicture(s, pic, 0, 0);
  ClearSurface(s, 1, 1, 1, 1);  // moves the pen
  ASSERT_EQ(s.penX(), 1);

  ResizeSurface(s, {}, {}, 4, 3);  // same size: nothing happens
  EXPECT_EQ(s.penX(), 1);
  ResizeSurface(s, 50, 60, {}, {});  // a move keeps the bitmap
  EXPECT_EQ(s.left(), 50);
  EXPECT_EQ(s.penX(), 1);
  EXPECT_EQ(At(s, 3, 2), NoisePixel(3, 2));

  s.setBackgroundColour(0x00AABBCC);
  ResizeSurface(s, {}, {}, 6, -1);  // −1 keeps the height
  EXPECT_EQ(s.width(), 6);
  EXPECT_EQ(s.height(), 3);
  EXPECT_EQ(s.penX(), 0);
  EXPECT_EQ(s.penY(), 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) {
      const Bgr want = x >= 4 ? FromColour(0x00AABBCC) : (x == 1 && y == 1) ? FromColour(0x00102030) : NoisePixel(x, y);
      EXPECT_EQ(At(s, x, y), want) << x << "," << y;
    }
  }
  // Row padding is zero whatever memory the new bitmap got (the sanitizer
  // build fills fresh allocations with a pattern).
  const Bytes snap = TakeSnapshot(s);
  ASSERT_EQ(snap.size(), 54u + 20 * 3);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(snap[54 + 20 * y + 18], 0) << "padding of row " << y;
    EXPECT_EQ(snap[54 + 20 * y + 19], 0) << "padding of row " << y;
  }
  ResizeSurface(s, {}, {}, 2, 2);  // smaller: clipped to the new size
  EXPECT_EQ(At(s, 0, 0), NoisePixel(0, 0));
  ClearSurface(s);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(At(s, x, y), FromColour(0x00AABBCC));
}

TEST(DrawingSurface, ClearFillsTheClippedRectangleAndMovesThePen) {
  struct Case {
    std::optional<int> l, t, w, h;
    int x0, y0, x1, y1;  // filled area
  };
  const Case cases[] = {
      {{}, {}, {}, {}, 0, 0, 5, 4},  {1, 2, {}, {}, 1, 2, 5, 4}, {-2, -1, 4, 3, 0, 0, 2, 2},
      {3, 3, 100, 100, 3, 3, 5, 4}, {2, 1, -1, 2, 0, 0, 0, 0},  {9, 9, 1, 1, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    DrawingSurface s = Sized(5, 4, 0x00000000);
    s.setBackgroundColour(0x00FFFFFF);
    ClearSurface(s, c.l, c.t, c.w, c.h);
    EXPECT_EQ(s.penX(), c.l.value_or(0));
    EXPECT_EQ(s.penY(), c.t.value_or(0));
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        const bool in = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
        EXPECT_EQ(At(s, x, y), FromColour(in ? 0x00FFFFFF : 0)) << "case l=" << c.l.value_or(-99) << " at " << x << "," << y;
      }
    }
  }
}

TEST(DrawingSurface, SystemDefaultBackgroundIsTheOwnersButtonFace) {
  DrawingSurface plain;
  ResizeSurface(plain, {}, {}, 2, 2);
  EXPECT_EQ(At(plain, 1, 1), FromColour(0x00F0F0F0));
  DrawingSurface owned(0x00336699);
  ResizeSurface(owned, {}, {}, 2, 2);
  ClearSurface(owned);
  EXPECT_EQ(At(owned, 0, 0), FromColour(0x00336699));
  owned.setBackgroundColour(0x00010203);
  ClearSurface(owned);
  EXPECT_EQ(At(owned, 0, 0), FromColour(0x00010203));
}

TEST(DrawingSurface, DrawingAtOwnSizeCopiesPixelsExactly) {
  for (int depth : {24, 16}) {
    DrawingSurface s = Sized(37, 23, 0, depth);
    DrawPicture(s, BgrPicture(37, 23, NoisePixel), 0, 0);
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 37; ++x) ASSERT_EQ(At(s, x, y), NoisePixel(x, y)) << "depth " << depth;
  }
}

// The first pass of a trim: the photo drawn 1:1 at the placement's offset on
// a canvas of the target's aspect (154 × 189), cropped or banded. Canvas
// sizes and offsets follow the trim geometry for these photo sizes.
TEST(DrawingSurface, FirstPassCropsAndBandsLikeThePlacement) {
  struct Case {
    int photoW, photoH, canvasW, canvasH, left, top;
  };
  const Case cases[] = {
      {300, 400, 300, 368, 0, -15},  // width basis, taller photo: cut top and bottom
      {400, 300, 400, 487, 0, 93},   // width basis, wider photo: bands above and below
      {300, 400, 325, 400, 12, 0},   // height basis, narrower photo: bands left and right
      {400, 300, 244, 300, -77, 0},  // height basis, wider photo: cut both sides
      {154, 189, 154, 189, 0, 0},    // the target's own aspect
  };
  const Bgr band = FromColour(0x00F0F0F0);
  for (const auto& c : cases) {
    DrawingSurface s;
    ClearSurface(s);
    ResizeSurface(s, {}, {}, c.canvasW, c.canvasH);
    DrawPicture(s, BgrPicture(c.photoW, c.photoH, NoisePixel), c.left, c.top);
    int mismatches = 0;
    for (int y = 0; y < c.canvasH; ++y) {
      for (int x = 0; x < c.canvasW; ++x) {
        const int px = x - c.left, py = y - c.top;
        const bool onPhoto = px >= 0 && px < c.photoW && py >= 0 && py < c.photoH;
        mismatches += At(s, x, y) != (onPhoto ? NoisePixel(px, py) : band);
      }
    }
    EXPECT_EQ(mismatches, 0) << c.photoW << "x" << c.photoH << " on " << c.canvasW << "x" << c.canvasH;
  }
}

// The same with the camera sizes of the trim geometry's worked placements;
// the rows and columns at every edge of the photo are checked whole.
TEST(DrawingSurface, FirstPassAtCameraSizes) {
  struct Case {
    int photoW, photoH, canvasW, canvasH, left, top;
  };
  const Case cases[] = {
      {3000, 4000, 3000, 3688, 0, -155},
      {4000, 3000, 4000, 4870, 0, 935},
      {3000, 4000, 3253, 4000, 126, 0},
      {4000, 3000, 2444, 3000, -777, 0},
  };
  const Bgr band = FromColour(0x00F0F0F0);
  for (const auto& c : cases) {
    DrawingSurface s;
    ClearSurface(s);
    ResizeSurface(s, {}, {}, c.canvasW, c.canvasH);
    DrawPicture(s, BgrPicture(c.photoW, c.photoH, NoisePixel), c.left, c.top);
    auto check = [&](int x, int y) {
      const int px = x - c.left, py = y - c.top;
      const bool onPhoto = px >= 0 && px < c.photoW && py >= 0 && py < c.photoH;
      return At(s, x, y) == (onPhoto ? NoisePixel(px, py) : band);
    };
    std::vector<int> rows = {0, c.top - 1, c.top, c.top + c.photoH - 1, c.top + c.photoH, c.canvasH - 1, c.canvasH / 2};
    std::vector<int> cols = {0, c.left - 1, c.left, c.left + c.photoW - 1, c.left + c.photoW, c.canvasW - 1, c.canvasW / 2};
    int mismatches = 0;
    for (int y : rows)
      if (y >= 0 && y < c.canvasH)
        for (int x = 0; x < c.canvasW; ++x) mismatches += !check(x, y);
    for (int x : cols)
      if (x >= 0 && x < c.canvasW)
        for (int y = 0; y < c.canvasH; ++y) mismatches += !check(x, y);
    EXPECT_EQ(mismatches, 0) << c.photoW << "x" << c.photoH << " on " << c.canvasW << "x" << c.canvasH;
  }
}

TEST(DrawingSurface, PngPixelsAreCompositedOverWhite) {
  // Expected values of trunc(a·k·v + 255·(1 − a·k)) in single precision,
  // worked out independently of the drawing code.
  struct Case {
    std::uint8_t alpha, value, want;
  };
  const Case cases[] = {{0, 0, 255},   {0, 200, 255}, {128, 0, 126}, {128, 255, 255}, {1, 255, 255},
                        {254, 0, 0},   {254, 100, 100}, {100, 37, 169}, {51, 255, 254}, {255, 13, 13}};
  for (const auto& c : cases) {
    DrawingSurface s = Sized(2, 2, 0x00000000);
    DrawPicture(s, BgraPicture(PictureKind::Png, 2, 2, {c.value, c.value, c.value, c.alpha}), 0, 0);
    EXPECT_EQ(At(s, 1, 1), (Bgr{c.want, c.want, c.want})) << "alpha " << int(c.alpha) << " value " << int(c.value);
  }
}

TEST(DrawingSurface, IconsKeepTheSurfaceWhereTransparent) {
  struct Case {
    std::uint8_t alpha;
    Bgr want;  // over a surface of 200,100,50 with an icon colour of 0,0,255
  };
  const Case cases[] = {{0, {200, 100, 50}}, {255, {0, 0, 255}}, {128, {100, 50, 153}}};
  for (PictureKind kind : {PictureKind::Icon, PictureKind::Cursor}) {
    for (const auto& c : cases) {
      DrawingSurface s = Sized(3, 3, 0x00C86432);
      DrawPicture(s, BgraPicture(kind, 2, 2, {0, 0, 255, c.alpha}), 1, 1, {}, {}, 3);  // the mode is not used
      EXPECT_EQ(At(s, 2, 2), c.want) << "alpha " << int(c.alpha);
      EXPECT_EQ(At(s, 0, 0), (Bgr{200, 100, 50}));
    }
  }
}

TEST(DrawingSurface, RasterOperationsCombineWithTheSurface) {
  const Bgr dst{0xF0, 0x0F, 0x55}, src{0xCC, 0x3C, 0x0F};
  struct Case {
    std::optional<int> mode;
    Bgr want;
  };
  const Bgr copy = src, inverted{0x33, 0xC3, 0xF0}, xored{0x3C, 0x33, 0x5A}, ored{0xFC, 0x3F, 0x5F}, anded{0xC0, 0x0C, 0x05};
  const Case cases[] = {
      {{}, copy},      {1, copy},      {2, inverted},     {3, xored},        {4, ored},          {5, anded},
      {0xCC0020, copy}, {0x330008, inverted}, {0x660046, xored}, {0xEE0086, ored}, {0x8800C6, anded},
      {0, dst},        {6, dst},       {0x00AA0029, dst}, {0x7FFFFFFF, dst},
  };
  for (const auto& c : cases) {
    DrawingSurface s = Sized(1, 1, std::uint32_t(dst.r) | dst.g << 8 | dst.b << 16);
    DrawPicture(s, BgrPicture(1, 1, [&](int, int) { return src; }), 0, 0, {}, {}, c.mode);
    EXPECT_EQ(At(s, 0, 0), c.want) << "mode " << c.mode.value_or(-1);
  }
}

TEST(DrawingSurface, NegativeModeDrawsWithATransparentColour) {
  const Bgr key{0x30, 0x20, 0x10};  // 0x00302010 as 0x00BBGGRR
  const Picture pic = BgrPicture(2, 1, [&](int x, int) { return x == 0 ? key : Bgr{1, 2, 3}; });
  for (int depth : {24, 16}) {
    DrawingSurface s = Sized(4, 1, 0x00FFFFFF, depth);
    DrawPicture(s, pic, 0, 0, 4, 1, -0x00302010);
    EXPECT_EQ(At(s, 0, 0), (Bgr{255, 255, 255})) << depth;
    EXPECT_EQ(At(s, 1, 0), (Bgr{255, 255, 255})) << depth;
    EXPECT_EQ(At(s, 3, 0), (Bgr{1, 2, 3})) << depth;
  }
  DrawingSurface s = Sized(2, 1, 0x00FFFFFF);
  DrawPicture(s, pic, 0, 0, {}, {}, std::numeric_limits<int>::min());  // no colour matches: all drawn
  EXPECT_EQ(At(s, 0, 0), key);
}

TEST(DrawingSurface, PalettedPicturesDrawThroughTheirPalette) {
  const std::vector<Bgr> palette = {{0, 0, 0}, {10, 20, 30}, {40, 50, 60}, {255, 255, 255}};
  // A GIF whose stored image is smaller than the picture: the rest is black.
  DrawingSurface gifSurface = Sized(3, 3, 0x00FFFFFF);
  DrawPicture(gifSurface, DibPicture(PictureKind::Gif, 3, 3, 2, 2, 8, true, palette, {1, 2, 3, 1}), 0, 0);
  EXPECT_EQ(At(gifSurface, 0, 0), palette[1]);
  EXPECT_EQ(At(gifSurface, 1, 0), palette[2]);
  EXPECT_EQ(At(gifSurface, 0, 1), palette[3]);
  EXPECT_EQ(At(gifSurface, 2, 0), (Bgr{0, 0, 0}));
  EXPECT_EQ(At(gifSurface, 2, 2), (Bgr{0, 0, 0}));

  DrawingSurface pcx = Sized(2, 2, 0x00FFFFFF);
  DrawPicture(pcx, DibPicture(PictureKind::Pcx8, 2, 2, 2, 2, 8, false, palette, {2, 1, 0, 3}), 0, 0);
  EXPECT_EQ(At(pcx, 0, 0), palette[2]);
  EXPECT_EQ(At(pcx, 1, 1), palette[3]);

  DrawingSurface mono = Sized(10, 1, 0x00808080);
  std::vector<std::uint32_t> bits = {1, 0, 0, 1, 1, 0, 1, 0, 1, 1};
  DrawPicture(mono, DibPicture(PictureKind::Pcx1, 10, 1, 10, 1, 1, true, {{0, 0, 0}, {255, 255, 255}}, bits), 0, 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(mono, x, 0).g, bits[x] ? 255 : 0) << x;

  DrawingSurface rgb = Sized(2, 1, 0);
  DrawPicture(rgb, DibPicture(PictureKind::Pcx8, 2, 1, 2, 1, 24, true, {}, {0x00112233, 0x00445566}), 0, 0);
  EXPECT_EQ(At(rgb, 0, 0), FromColour(0x00112233));
  EXPECT_EQ(At(rgb, 1, 0), FromColour(0x00445566));
}

TEST(DrawingSurface, DamagedOrEmptyPicturesDrawNothing) {
  std::vector<Picture> bad;
  Picture shortJpeg = BgrPicture(4, 4, NoisePixel);
  shortJpeg.pixels.resize(10);
  bad.push_back(shortJpeg);
  Picture shortDib = DibPicture(PictureKind::Gif, 4, 4, 4, 4, 8, true, {{1, 2, 3}}, std::vector<std::uint32_t>(16, 0));
  shortDib.pixels.resize(shortDib.pixels.size() - 1);
  bad.push_back(shortDib);
  bad.push_back(DibPicture(PictureKind::Gif, 4, 4, 4, 4, 4, true, {{1, 2, 3}}, std::vector<std::uint32_t>(16, 0)));
  Picture none;
  bad.push_back(none);
  Picture zero = BgrPicture(1, 1, NoisePixel);
  zero.width = 0;
  bad.push_back(zero);
  for (std::size_t k = 0; k < bad.size(); ++k) {
    DrawingSurface s = Sized(4, 4, 0x00123456);
    DrawPicture(s, bad[k], 0, 0, 4, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) ASSERT_EQ(At(s, x, y), FromColour(0x00123456)) << "picture " << k;
  }
  DrawingSurface s = Sized(2, 2, 0x00123456);
  for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 2}, {2, -2}, {70000, 2}}) {
    DrawPicture(s, BgrPicture(2, 2, NoisePixel), 0, 0, w, h);
    EXPECT_EQ(At(s, 0, 0), FromColour(0x00123456)) << w << "x" << h;
  }
}

// Pictures with sizes that disagree with their pixel blocks, damaged bitmap
// headers and odd rectangles: drawing stays inside its clipped rectangle and
// never reads outside the picture (the sanitizer build watches the reads).
TEST(DrawingSurface, MalformedPicturesNeverDrawOutsideTheirRectangle) {
  std::mt19937 rng(20261209);
  const PictureKind kinds[] = {PictureKind::Jpeg, PictureKind::Bmp, PictureKind::Icon, PictureKind::Cursor,
                               PictureKind::Gif,  PictureKind::Pcx8, PictureKind::Pcx1, PictureKind::Png,
                               static_cast<PictureKind>(9)};
  for (int round = 0; round < 1500; ++round) {
    Picture pic;
    pic.kind = kinds[rng() % std::size(kinds)];
    pic.width = static_cast<int>(rng() % 9) - 1;
    pic.height = static_cast<int>(rng() % 9) - 1;
    pic.pixels.resize(rng() % 400);
    for (auto& b : pic.pixels) b = static_cast<std::uint8_t>(rng());
    if (pic.pixels.size() >= 40 && rng() % 2) {
      // A header that is mostly plausible, so the checks past it are reached.
      PutLe(pic.pixels, 0, 40, 4);
      PutLe(pic.pixels, 4, rng() % 12, 4);
      PutLe(pic.pixels, 8, static_cast<std::uint32_t>(static_cast<int>(rng() % 12) - 6), 4);
      const std::uint32_t bits[] = {1, 8, 24, 4, 32};
      PutLe(pic.pixels, 14, bits[rng() % 5], 2);
      PutLe(pic.pixels, 32, rng() % 300, 4);
    }
    const int left = static_cast<int>(rng() % 11) - 5, top = static_cast<int>(rng() % 11) - 5;
    const std::optional<int> w = rng() % 3 ? std::optional<int>() : std::optional<int>(static_cast<int>(rng() % 14) - 2);
    const std::optional<int> h = rng() % 3 ? std::optional<int>() : std::optional<int>(static_cast<int>(rng() % 14) - 2);
    const std::optional<int> mode = rng() % 2 ? std::optional<int>() : std::optional<int>(static_cast<int>(rng() % 9) - 3);
    DrawingSurface s = Sized(6, 5, 0x00ABCDEF, rng() % 2 ? 24 : 16);
    DrawPicture(s, pic, left, top, w, h, mode);
    const int dw = (!w || *w == -1) ? pic.width : *w, dh = (!h || *h == -1) ? pic.height : *h;
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 6; ++x) {
        const bool inside = x >= left && x < left + dw && y >= top && y < top + dh;
        if (!inside) {
          ASSERT_EQ(At(s, x, y), FromColour(0x00ABCDEF)) << "round " << round << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(DrawingSurface, SmoothStretchIsTheAreaResamplersOutput) {
  const int sw = 23, sh = 17, dw = 9, dh = 31;
  const Picture pic = BgrPicture(sw, sh, NoisePixel);
  DrawingSurface s = Sized(dw, dh);
  DrawPicture(s, pic, 0, 0, dw, dh);
  std::vector<Bgr> direct;
  AreaResampler r(sw, sh, dw, dh, [&](int, const std::uint8_t* bgr) {
    for (int x = 0; x < dw; ++x) direct.push_back({bgr[3 * x], bgr[3 * x + 1], bgr[3 * x + 2]});
  });
  std::vector<std::uint8_t> row(sw * 3);
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      const Bgr p = NoisePixel(x, y);
      row[3 * x] = p.b, row[3 * x + 1] = p.g, row[3 * x + 2] = p.r;
    }
    r.pushRow(row.data());
  }
  ASSERT_EQ(direct.size(), std::size_t(dw * dh));
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x) ASSERT_EQ(At(s, x, y), direct[y * dw + x]) << x << "," << y;

  // Clipped: the visible part of a stretch is the same part of the whole.
  DrawingSurface clipped = Sized(5, 20);
  DrawPicture(clipped, pic, -3, -6, dw, dh);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(At(clipped, x, y), direct[(y + 6) * dw + x + 3]) << x << "," << y;
}

TEST(DrawingSurface, ShallowDisplaysStretchByNearestPixel) {
  const Picture pic = BgrPicture(4, 2, NoisePixel);
  DrawingSurface big = Sized(8, 4, 0, 16);
  DrawPicture(big, pic, 0, 0, 8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(At(big, x, y), NoisePixel(x / 2, y / 2)) << x << "," << y;
  DrawingSurface small = Sized(2, 1, 0, 16);
  DrawPicture(small, pic, 0, 0, 2, 1);
  EXPECT_EQ(At(small, 0, 0), NoisePixel(1, 1));  // the pixel under each centre
  EXPECT_EQ(At(small, 1, 0), NoisePixel(3, 1));
}

TEST(DrawingSurface, SnapshotSizesAndPercentages) {
  DrawingSurface s = Sized(40, 20);
  DrawPicture(s, BgrPicture(40, 20, NoisePixel), 0, 0);
  struct Case {
    std::optional<int> w, h;
    int wantW, wantH;
  };
  const Case cases[] = {{{}, {}, 40, 20}, {0, 0, 40, 20}, {-50, {}, 20, 20}, {-5, -5, 4, 2},
                        {-200, -10, 80, 2}, {7, 3, 7, 3}, {0, 9, 40, 9}};
  for (const auto& c : cases) {
    const Bytes snap = TakeSnapshot(s, c.w, c.h);
    ASSERT_GE(snap.size(), 54u);
    const std::uint32_t stride = (c.wantW * 3 + 3) / 4 * 4;
    EXPECT_EQ(Le32(snap, 18), std::uint32_t(c.wantW));
    EXPECT_EQ(Le32(snap, 22), std::uint32_t(c.wantH));
    EXPECT_EQ(snap.size(), 54u + stride * c.wantH) << c.w.value_or(-1) << "," << c.h.value_or(-1);
  }
  // Half size averages 2 × 2 blocks; a size that resolves to nothing is empty.
  const Bytes half = TakeSnapshot(s, -50, -50);
  const Bgr a = NoisePixel(0, 18), b = NoisePixel(1, 18), c = NoisePixel(0, 19), d = NoisePixel(1, 19);
  EXPECT_EQ(half[54], (a.b + b.b + c.b + d.b + 2) / 4);
  DrawingSurface tiny = Sized(1, 1);
  EXPECT_TRUE(TakeSnapshot(tiny, -50, {}).empty());
  EXPECT_TRUE(TakeSnapshot(tiny, {}, -10).empty());
}

TEST(DrawingSurface, LargeCanvasesWorkAndImpossibleOnesLeaveNoBitmap) {
  DrawingSurface s;
  ResizeSurface(s, {}, {}, 6000, 7351);  // a 24-megapixel photo with its bands
  ASSERT_TRUE(s.hasBitmap());
  EXPECT_EQ(TakeSnapshot(s).size(), 54u + 18000u * 7351u);

  for (auto [w, h] : std::vector<std::pair<int, int>>{{70000, 2}, {40000, 40000}, {2147483647, 2147483647}}) {
    ResizeSurface(s, {}, {}, w, h);
    EXPECT_FALSE(s.hasBitmap()) << w << "x" << h;
    EXPECT_TRUE(TakeSnapshot(s).empty());
    ClearSurface(s);
    DrawPicture(s, BgrPicture(2, 2, NoisePixel), 0, 0);
  }
  ResizeSurface(s, {}, {}, 3, 3);
  ASSERT_TRUE(s.hasBitmap());
  EXPECT_EQ(At(s, 2, 2), FromColour(0x00F0F0F0));
}

TEST(DrawingSurface, HandlesReachTheRegistry) {
  DrawingSurface s = Sized(3, 2, 0);
  DrawPicture(s, PictureHandle{0}, 0, 0);
  DrawPicture(s, PictureHandle{0x1234}, 0, 0);
  EXPECT_EQ(At(s, 0, 0), FromColour(0));
  EXPECT_EQ(PictureWidth(s, PictureHandle{0x1234}), 0);

  const PictureHandle h = RegisterPicture(BgrPicture(3, 2, NoisePixel));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(PictureWidth(s, h), 3);
  EXPECT_EQ(PictureHeight(s, h), 2);
  DrawPicture(s, h, 0, 0);
  EXPECT_EQ(At(s, 2, 1), NoisePixel(2, 1));
  UnloadPicture(h);
  ClearSurface(s);
  DrawPicture(s, h, 0, 0);
  EXPECT_EQ(At(s, 2, 1), FromColour(0));
}

}  // namespace
}  // namespace trimbrel
