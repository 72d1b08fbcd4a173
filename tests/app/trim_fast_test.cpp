// Fast mode decodes large JPEG photos at a reduced scale; the picture must
// not show it: same size, bands and cuts in the same place to within one
// target pixel, and at least 40 dB PSNR against the exact road.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/trim_engine.hpp"
#include "imaging/imaging.hpp"
#include "photo_fixtures.hpp"

namespace trimbrel {
namespace {

using testing::BmpImage;
using testing::TempDir;

constexpr std::uint32_t kBand = 0x00F0F0F0;     // the bands users get
constexpr std::uint32_t kMagenta = 0x00FF00FF;  // far from every photo colour, to find the edges

BmpImage Trim(const std::string& photo, const TargetSize& target, FitBasis basis, bool fast, int& denom,
              const std::string& out, std::uint32_t band = kBand) {
  TrimWorker worker(target, band);
  TrimOutcome outcome = worker.trim(photo, basis, fast);
  EXPECT_TRUE(outcome.readError.empty()) << outcome.readError;
  denom = outcome.scaleDenom;
  SetXDPI(worker.image(), 96);
  SetYDPI(worker.image(), 96);
  EXPECT_TRUE(EncodeToFile(worker.image(), out, IMAGE_FORMAT_BMP));
  BmpImage image;
  EXPECT_TRUE(testing::ParseBmp24(testing::ReadFileBytes(out), image));
  return image;
}

double Psnr(const BmpImage& a, const BmpImage& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const int d[3] = {a.pixels[i].r - b.pixels[i].r, a.pixels[i].g - b.pixels[i].g, a.pixels[i].b - b.pixels[i].b};
    for (int v : d) sum += v * v;
  }
  const double mse = sum / (3.0 * a.pixels.size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

bool IsBand(const testing::Rgb& p) { return std::abs(p.r - 255) + p.g + std::abs(p.b - 255) < 60; }

// Where the photo starts and ends along the centred direction: the first and
// last line (row or column through the middle) that is not band.
std::pair<int, int> PhotoExtent(const BmpImage& image, bool alongY) {
  const int n = alongY ? image.height : image.width;
  auto at = [&](int i) { return alongY ? image.at(image.width / 2, i) : image.at(i, image.height / 2); };
  int first = 0, last = n - 1;
  while (first < n && IsBand(at(first))) ++first;
  while (last > first && IsBand(at(last))) --last;
  return {first, last};
}

struct FastCase {
  int width, height;
  bool progressive;
  TargetSize target;
  FitBasis basis;
  int expectedDenom;
};

TEST(TrimFast, ReducedDecodeLooksTheSame) {
  const FastCase cases[] = {
      {2400, 1600, false, {154, 189}, FitBasis::Width, 4},   // bands above and below
      {1601, 2403, true, {154, 189}, FitBasis::Width, 4},    // cut top and bottom, odd sizes
      {1601, 2403, false, {154, 189}, FitBasis::Height, 4},  // bands left and right
      {2403, 1601, true, {154, 189}, FitBasis::Height, 4},   // cut left and right
      {770, 600, false, {150, 100}, FitBasis::Width, 2},     // scale 5.1: only halving keeps 2 ×
      {3203, 2401, false, {100, 75}, FitBasis::Width, 8},
  };
  TempDir dir;
  for (const FastCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " basis " + std::to_string(SelectionIndex(c.basis)));
    const std::string photo = dir / "photo.jpg";
    testing::WriteJpeg(photo, c.width, c.height, testing::PhotoLike(c.width, c.height, 3),
                       testing::JpegOptions{.quality = 90, .progressive = c.progressive});
    int exactDenom = 0, fastDenom = 0;
    BmpImage exact = Trim(photo, c.target, c.basis, false, exactDenom, dir / "exact.bmp");
    BmpImage fast = Trim(photo, c.target, c.basis, true, fastDenom, dir / "fast.bmp");
    EXPECT_EQ(exactDenom, 1);
    EXPECT_EQ(fastDenom, c.expectedDenom);
    ASSERT_EQ(fast.width, c.target.width);
    ASSERT_EQ(fast.height, c.target.height);
    ASSERT_EQ(exact.pixels.size(), fast.pixels.size());
    EXPECT_GE(Psnr(exact, fast), 40.0);
    const bool alongY = c.basis == FitBasis::Width;
    BmpImage exactEdges = Trim(photo, c.target, c.basis, false, exactDenom, dir / "exact.bmp", kMagenta);
    BmpImage fastEdges = Trim(photo, c.target, c.basis, true, fastDenom, dir / "fast.bmp", kMagenta);
    auto [exactFirst, exactLast] = PhotoExtent(exactEdges, alongY);
    auto [fastFirst, fastLast] = PhotoExtent(fastEdges, alongY);
    EXPECT_NEAR(fastFirst, exactFirst, 1);
    EXPECT_NEAR(fastLast, exactLast, 1);
  }
}

TEST(TrimFast, SmallShrinkOrOtherKindsStayExact) {
  TempDir dir;
  const std::string jpeg = dir / "small.jpg";
  const std::string bmp = dir / "large.bmp";
  testing::WriteJpeg(jpeg, 500, 600, testing::PhotoLike(500, 600));  // shrunk 3.2 ×: below the 4 × threshold
  testing::WriteBmp24(bmp, 1600, 2000, testing::PhotoLike(1600, 2000));
  for (const std::string& photo : {jpeg, bmp}) {
    SCOPED_TRACE(photo);
    int exactDenom = 0, fastDenom = 0;
    BmpImage exact = Trim(photo, {154, 189}, FitBasis::Width, false, exactDenom, dir / "exact.bmp");
    BmpImage fast = Trim(photo, {154, 189}, FitBasis::Width, true, fastDenom, dir / "fast.bmp");
    EXPECT_EQ(fastDenom, 1);
    EXPECT_EQ(testing::ReadFileBytes(dir / "exact.bmp"), testing::ReadFileBytes(dir / "fast.bmp"));
  }
}

TEST(TrimFast, ScaleDenomKeepsTwiceTheTarget) {
  struct Case {
    double scale;
    int canvasWidth, canvasHeight;
    TargetSize target;
    int expected;
  };
  const Case cases[] = {
      {3.99, 614, 754, {154, 189}, 1},    {4.0, 616, 756, {154, 189}, 2},
      {8.0, 1232, 1512, {154, 189}, 4},   {16.0, 2464, 3024, {154, 189}, 8},
      {40.0, 6160, 7560, {154, 189}, 8},  {16.0, 2464, 3023, {154, 189}, 4},  // one row short of 8
  };
  for (const Case& c : cases) {
    Placement p;
    p.scale = c.scale;
    p.canvasWidth = c.canvasWidth;
    p.canvasHeight = c.canvasHeight;
    EXPECT_EQ(FastScaleDenom(p, c.target), c.expected) << "scale " << c.scale << " canvas " << c.canvasWidth << "x"
                                                        << c.canvasHeight;
  }
}

}  // namespace
}  // namespace trimbrel
