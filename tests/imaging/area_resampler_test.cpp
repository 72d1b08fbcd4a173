#include "imaging/area_resampler.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace trimbrel {
namespace {

using Image = std::vector<std::uint8_t>;  // top-down B,G,R rows, packed

Image Noise(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  Image img(static_cast<std::size_t>(w) * h * 3);
  for (auto& v : img) v = static_cast<std::uint8_t>(rng());
  return img;
}

struct Output {
  Image pixels;
  std::vector<int> rowOrder;
};

Output Resample(const Image& src, int sw, int sh, int dw, int dh) {
  Output out;
  out.pixels.assign(static_cast<std::size_t>(dw) * dh * 3, 0);
  AreaResampler r(sw, sh, dw, dh, [&](int y, const std::uint8_t* bgr) {
    out.rowOrder.push_back(y);
    std::copy(bgr, bgr + dw * 3, out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * dw * 3);
  });
  EXPECT_TRUE(r.ok());
  for (int y = 0; y < sh; ++y) r.pushRow(src.data() + static_cast<std::size_t>(y) * sw * 3);
  return out;
}

// The exact coverage-weighted mean, in doubles, straight from the definition:
// destination pixel (x, y) covers [x*sw/dw, (x+1)*sw/dw) × [y*sh/dh, (y+1)*sh/dh).
double Reference(const Image& src, int sw, int sh, int dw, int dh, int x, int y, int c) {
  const double x0 = double(x) * sw / dw, x1 = double(x + 1) * sw / dw;
  const double y0 = double(y) * sh / dh, y1 = double(y + 1) * sh / dh;
  double sum = 0, area = 0;
  for (int sy = int(std::floor(y0)); sy < int(std::ceil(y1)) && sy < sh; ++sy) {
    const double wy = std::min(y1, sy + 1.0) - std::max(y0, double(sy));
    for (int sx = int(std::floor(x0)); sx < int(std::ceil(x1)) && sx < sw; ++sx) {
      const double wx = std::min(x1, sx + 1.0) - std::max(x0, double(sx));
      sum += wx * wy * src[(static_cast<std::size_t>(sy) * sw + sx) * 3 + c];
      area += wx * wy;
    }
  }
  return sum / area;
}

struct Sizes {
  int sw, sh, dw, dh;
};
const Sizes kSizes[] = {
    {6, 4, 3, 2},     {7, 5, 3, 2},    {3, 2, 7, 5},     {10, 10, 3, 7},  {5, 9, 11, 2},
    {1, 1, 4, 3},     {4, 3, 1, 1},    {300, 7, 7, 300}, {97, 61, 13, 17}, {13, 17, 97, 61},
    {600, 735, 15, 19}, {2, 1, 3, 1},
    {7, 1000, 3, 2},  // 500 source rows to a destination row: past what 16-bit sums hold
};

TEST(AreaResampler, IsTheExactAreaMeanRoundedOnce) {
  for (const auto& s : kSizes) {
    const Image src = Noise(s.sw, s.sh, static_cast<unsigned>(s.sw * 31 + s.dh));
    const Output out = Resample(src, s.sw, s.sh, s.dw, s.dh);
    double worst = 0;
    for (int y = 0; y < s.dh; ++y) {
      for (int x = 0; x < s.dw; ++x) {
        for (int c = 0; c < 3; ++c) {
          const double want = Reference(src, s.sw, s.sh, s.dw, s.dh, x, y, c);
          worst = std::max(worst, std::abs(want - out.pixels[(static_cast<std::size_t>(y) * s.dw + x) * 3 + c]));
        }
      }
    }
    EXPECT_LE(worst, 0.5 + 1e-9) << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh;
  }
}

TEST(AreaResampler, EmitsEveryRowOnceTopDown) {
  for (const auto& s : kSizes) {
    const Output out = Resample(Noise(s.sw, s.sh, 1), s.sw, s.sh, s.dw, s.dh);
    ASSERT_EQ(out.rowOrder.size(), static_cast<std::size_t>(s.dh)) << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh;
    for (int y = 0; y < s.dh; ++y) EXPECT_EQ(out.rowOrder[y], y);
  }
}

TEST(AreaResampler, EqualSizesCopyPixelsUnchanged) {
  for (const auto& s : {Sizes{1, 1, 1, 1}, Sizes{17, 3, 17, 3}, Sizes{64, 48, 64, 48}}) {
    const Image src = Noise(s.sw, s.sh, 7);
    EXPECT_EQ(Resample(src, s.sw, s.sh, s.sw, s.sh).pixels, src) << s.sw << "x" << s.sh;
  }
  // One direction at scale 1 keeps that direction's pixels exactly.
  const Image src = Noise(9, 4, 3);
  const Image wide = Resample(src, 9, 4, 9, 2).pixels;
  for (int x = 0; x < 9; ++x) {
    const int top = src[x * 3], below = src[(9 + x) * 3];
    EXPECT_EQ(wide[x * 3], (top + below + 1) / 2) << "column " << x;
  }
}

TEST(AreaResampler, IntegerFactorIsTheRoundedBoxMean) {
  // 2 × 2 blocks of known values: the mean rounds half up.
  const Image src = {10, 0, 0, 11, 0, 0, 12, 0, 0, 13, 0, 0,   // row 0
                     20, 1, 2, 21, 3, 4, 0, 0, 0, 255, 255, 255};  // row 1
  const Image out = Resample(src, 4, 2, 2, 1).pixels;
  EXPECT_EQ(out, (Image{16, 1, 2, 70, 64, 64}));  // (10+11+20+21)/4 = 15.5 -> 16; (12+13+0+255)/4 = 70
}

TEST(AreaResampler, UniformColourStaysExact) {
  for (const auto& s : kSizes) {
    Image src(static_cast<std::size_t>(s.sw) * s.sh * 3);
    for (std::size_t k = 0; k < src.size(); k += 3) {
      src[k] = 0xF0;
      src[k + 1] = 0x01;
      src[k + 2] = 0xFF;
    }
    const Image out = Resample(src, s.sw, s.sh, s.dw, s.dh).pixels;
    for (std::size_t k = 0; k < out.size(); k += 3) {
      ASSERT_EQ(out[k], 0xF0);
      ASSERT_EQ(out[k + 1], 0x01);
      ASSERT_EQ(out[k + 2], 0xFF) << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh;
    }
  }
}

TEST(AreaResampler, UniformRowsEqualPushingTheRowsOneByOne) {
  // A canvas of band, photo, band: the bands pushed as runs must give the
  // same bytes as pushing each band row, whatever the destination rows they
  // straddle.
  const std::uint32_t colour = 0x00C0B0A0;  // B=C0 G=B0 R=A0
  struct Case {
    int sw, top, photo, bottom, dw, dh;
  };
  const Case cases[] = {{40, 9, 30, 11, 7, 9}, {40, 1, 5, 2, 13, 29}, {30, 0, 20, 13, 4, 1}, {12, 50, 1, 50, 5, 3}};
  for (const auto& c : cases) {
    const int sh = c.top + c.photo + c.bottom;
    const Image photo = Noise(c.sw, c.photo, 11);
    Image full(static_cast<std::size_t>(c.sw) * sh * 3);
    for (int y = 0; y < sh; ++y) {
      for (int x = 0; x < c.sw; ++x) {
        std::uint8_t* p = full.data() + (static_cast<std::size_t>(y) * c.sw + x) * 3;
        if (y >= c.top && y < c.top + c.photo) {
          std::copy_n(photo.data() + (static_cast<std::size_t>(y - c.top) * c.sw + x) * 3, 3, p);
        } else {
          p[0] = 0xC0, p[1] = 0xB0, p[2] = 0xA0;
        }
      }
    }
    const Image oneByOne = Resample(full, c.sw, sh, c.dw, c.dh).pixels;

    Image runs(static_cast<std::size_t>(c.dw) * c.dh * 3);
    int emitted = 0;
    AreaResampler r(c.sw, sh, c.dw, c.dh, [&](int y, const std::uint8_t* bgr) {
      ++emitted;
      std::copy(bgr, bgr + c.dw * 3, runs.begin() + static_cast<std::ptrdiff_t>(y) * c.dw * 3);
    });
    r.pushUniformRows(c.top, colour);
    for (int y = 0; y < c.photo; ++y) r.pushRow(photo.data() + static_cast<std::size_t>(y) * c.sw * 3);
    r.pushUniformRows(c.bottom, colour);
    EXPECT_EQ(emitted, c.dh);
    EXPECT_EQ(runs, oneByOne) << "case " << c.sw << "/" << c.top << "/" << c.photo << "/" << c.bottom;
  }
}

// Destination pixels so wide and tall that the sums of their whole pixels
// pass 32 bits (65535 / 3 columns of about 247 * 900 each), against the
// exact mean in integers: overlaps in units where a source pixel is dw (dh)
// long and a destination pixel sw (sh).
TEST(AreaResampler, SumsPastThirtyTwoBitsStayExact) {
  const int sw = 65535, sh = 900, dw = 3, dh = 2;
  std::mt19937 rng(5);
  std::vector<std::uint64_t> sums(static_cast<std::size_t>(dw) * dh * 3, 0);
  auto overlap = [](std::int64_t i, std::int64_t srcLen, std::int64_t j, std::int64_t dstLen) {
    // source pixel i spans [i*dstLen, (i+1)*dstLen); destination j spans [j*srcLen, (j+1)*srcLen)
    return std::max<std::int64_t>(0, std::min((i + 1) * dstLen, (j + 1) * srcLen) - std::max(i * dstLen, j * srcLen));
  };
  Image out(static_cast<std::size_t>(dw) * dh * 3, 0);
  AreaResampler r(sw, sh, dw, dh, [&](int y, const std::uint8_t* bgr) {
    std::copy(bgr, bgr + dw * 3, out.begin() + static_cast<std::ptrdiff_t>(y) * dw * 3);
  });
  ASSERT_TRUE(r.ok());
  Image row(static_cast<std::size_t>(sw) * 3);
  for (int y = 0; y < sh; ++y) {
    // Bright rows with some noise, so the sums are near their largest.
    for (auto& v : row) v = static_cast<std::uint8_t>(240 + rng() % 16);
    r.pushRow(row.data());
    for (int j = 0; j < dh; ++j) {
      const std::int64_t wy = overlap(y, sh, j, dh);
      if (wy == 0) continue;
      for (int x = 0; x < sw; ++x) {
        for (int i = 0; i < dw; ++i) {
          const std::int64_t wx = overlap(x, sw, i, dw);
          if (wx == 0) continue;
          for (int c = 0; c < 3; ++c) {
            sums[(static_cast<std::size_t>(j) * dw + i) * 3 + c] +=
                static_cast<std::uint64_t>(wx * wy) * row[static_cast<std::size_t>(x) * 3 + c];
          }
        }
      }
    }
  }
  const std::uint64_t area = static_cast<std::uint64_t>(sw) * sh;
  for (std::size_t k = 0; k < sums.size(); ++k) {
    EXPECT_EQ(out[k], (sums[k] + area / 2) / area) << "sample " << k;
  }
}

TEST(AreaResampler, RefusesBadSizesAndIgnoresExtraRows) {
  for (const auto& s : {Sizes{0, 1, 1, 1}, Sizes{1, -1, 1, 1}, Sizes{1, 1, 0, 1}, Sizes{1, 1, 1, -5},
                        Sizes{65536, 1, 1, 1}, Sizes{1, 1, 1, 65536}}) {
    int calls = 0;
    AreaResampler r(s.sw, s.sh, s.dw, s.dh, [&](int, const std::uint8_t*) { ++calls; });
    EXPECT_FALSE(r.ok()) << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh;
    const std::uint8_t px[3] = {1, 2, 3};
    r.pushRow(px);
    r.pushUniformRows(3, 0);
    EXPECT_EQ(calls, 0);
  }
  int calls = 0;
  AreaResampler r(1, 2, 1, 1, [&](int, const std::uint8_t*) { ++calls; });
  const std::uint8_t px[3] = {1, 2, 3};
  for (int k = 0; k < 5; ++k) r.pushRow(px);
  r.pushUniformRows(10, 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(r.rowsPushed(), 2);
}

}  // namespace
}  // namespace trimbrel
