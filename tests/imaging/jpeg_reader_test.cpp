#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "fixtures.hpp"
#include "imaging/picture.hpp"
#include "temp_folder.hpp"

namespace trimbrel {
namespace {

using namespace fixtures;

constexpr int kWidth = 64;
constexpr int kHeight = 32;

Rgba quadrants(int x, int y) { return Quadrants(x, y, kWidth, kHeight); }

Picture mustDecode(const Bytes& bytes) {
  auto decoded = DecodePictureBytes(bytes);
  EXPECT_TRUE(decoded.ok()) << (decoded.ok() ? "" : decoded.error().reason);
  return decoded.ok() ? decoded.value() : Picture{};
}

// The colour at the centre of each quadrant: top-left, top-right, bottom-left, bottom-right.
std::vector<Rgba> quadrantCentres(const Picture& p) {
  const int w = p.width, h = p.height;
  return {PictureColour(p, w / 4, h / 4), PictureColour(p, 3 * w / 4, h / 4), PictureColour(p, w / 4, 3 * h / 4),
          PictureColour(p, 3 * w / 4, 3 * h / 4)};
}

const Rgba kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

void expectColours(const std::vector<Rgba>& got, const std::vector<Rgba>& want, const std::string& context) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_LE(ColourDistance(got[i], want[i]), 10)
        << context << " quadrant " << i << " got " << int(got[i].r) << "," << int(got[i].g) << "," << int(got[i].b);
  }
}

TEST(JpegReader, DecodesColourBottomUpInBlueGreenRedOrder) {
  struct Case {
    const char* name;
    JpegOptions options;
  } cases[] = {{"baseline", {}}, {"progressive", {.progressive = true}}, {"arithmetic", {.arithmetic = true}},
               {"adobe cmyk", {.cmyk = true}}, {"adobe ycck", {.cmyk = true, .ycck = true}}};
  for (const Case& c : cases) {
    Picture p = mustDecode(MakeJpeg(kWidth, kHeight, quadrants, c.options));
    EXPECT_EQ(p.kind, PictureKind::Jpeg) << c.name;
    ASSERT_EQ(p.width, kWidth) << c.name;
    ASSERT_EQ(p.height, kHeight) << c.name;
    ASSERT_EQ(p.pixels.size(), std::size_t{kWidth} * kHeight * 3) << c.name;
    expectColours(quadrantCentres(p), {kRed, kGreen, kBlue, kWhite}, c.name);
    // The first stored pixel is the bottom-left one (blue), as B,G,R.
    EXPECT_GE(p.pixels[0], 245) << c.name;
    EXPECT_LE(p.pixels[2], 10) << c.name;
  }
}

TEST(JpegReader, GreyscaleHasThreeEqualChannels) {
  auto ramp = [](int x, int y) { return Rgba{static_cast<std::uint8_t>(x * 4 + y), 0, 0}; };
  Picture p = mustDecode(MakeJpeg(kWidth, kHeight, ramp, {.grey = true}));
  ASSERT_EQ(p.pixels.size(), std::size_t{kWidth} * kHeight * 3);
  for (std::size_t i = 0; i < p.pixels.size(); i += 3) {
    ASSERT_EQ(p.pixels[i], p.pixels[i + 1]) << "pixel " << i / 3;
    ASSERT_EQ(p.pixels[i], p.pixels[i + 2]) << "pixel " << i / 3;
  }
  EXPECT_NEAR(PictureColour(p, 40, 3).r, 40 * 4 + 3, 6);
}

// Every orientation, in both byte orders of the EXIF block: the picture is
// what a viewer shows. The stored photo has red, green / blue, white quadrants.
TEST(JpegReader, TurnsExifOrientationUpright) {
  struct Case {
    int orientation;
    std::vector<Rgba> shown;  // top-left, top-right, bottom-left, bottom-right
  } cases[] = {
      {1, {kRed, kGreen, kBlue, kWhite}}, {2, {kGreen, kRed, kWhite, kBlue}}, {3, {kWhite, kBlue, kGreen, kRed}},
      {4, {kBlue, kWhite, kRed, kGreen}}, {5, {kRed, kBlue, kGreen, kWhite}}, {6, {kBlue, kRed, kWhite, kGreen}},
      {7, {kWhite, kGreen, kBlue, kRed}}, {8, {kGreen, kWhite, kRed, kBlue}},
  };
  const Bytes stored = MakeJpeg(kWidth, kHeight, quadrants);
  for (const Case& c : cases) {
    for (bool bigEndian : {false, true}) {
      const std::string context = "orientation " + std::to_string(c.orientation) + (bigEndian ? " MM" : " II");
      const Bytes jpeg = WithExifOrientation(stored, c.orientation, bigEndian);
      Picture p = mustDecode(jpeg);
      const bool swapped = c.orientation >= 5;
      EXPECT_EQ(p.width, swapped ? kHeight : kWidth) << context;
      EXPECT_EQ(p.height, swapped ? kWidth : kHeight) << context;
      expectColours(quadrantCentres(p), c.shown, context);
      auto info = ReadJpegInfo(jpeg);
      ASSERT_TRUE(info.ok()) << context;
      EXPECT_EQ(info.value().orientation, c.orientation) << context;
      EXPECT_EQ(info.value().width, p.width) << context;
      EXPECT_EQ(info.value().height, p.height) << context;
    }
  }
}

TEST(JpegReader, IgnoresOrientationOutsideOneToEight) {
  const Bytes stored = MakeJpeg(kWidth, kHeight, quadrants);
  for (int orientation : {0, 9, 0xFFFF}) {
    auto info = ReadJpegInfo(WithExifOrientation(stored, orientation, false));
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info.value().orientation, 1) << orientation;
    EXPECT_EQ(info.value().width, kWidth) << orientation;
  }
}

TEST(JpegReader, ReadsInfoFromTheHeader) {
  auto info = ReadJpegInfo(MakeJpeg(40, 24, quadrants, {.progressive = true}));
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info.value().width, 40);
  EXPECT_EQ(info.value().height, 24);
  EXPECT_EQ(info.value().components, 3);
  EXPECT_TRUE(info.value().progressive);
  auto grey = ReadJpegInfo(MakeJpeg(8, 8, quadrants, {.grey = true}));
  ASSERT_TRUE(grey.ok());
  EXPECT_EQ(grey.value().components, 1);
  EXPECT_FALSE(grey.value().progressive);
  EXPECT_FALSE(ReadJpegInfo(Bytes{0xFF, 0xD8, 0xFF}).ok());
}

struct CollectRows : RowStreamSink {
  int width = 0, height = 0, nextRow = 0;
  bool accept = true;
  bool inOrder = true;
  Bytes rows;  // top-down
  bool begin(int w, int h) override {
    width = w;
    height = h;
    return accept;
  }
  void row(int y, const std::uint8_t* bgr) override {
    inOrder = inOrder && y == nextRow++;
    rows.insert(rows.end(), bgr, bgr + 3 * width);
  }
};

// The kind-1 picture and the row stream come from the same decoder: the same
// bytes, only the row order differs.
TEST(JpegReader, StreamedRowsEqualTheLoadedPicture) {
  auto noise = [](int x, int y) {
    return Rgba{static_cast<std::uint8_t>(x * 7 + y * 3), static_cast<std::uint8_t>(x * y), static_cast<std::uint8_t>(y * 11)};
  };
  const Bytes stored = MakeJpeg(37, 21, noise, {.quality = 80});
  for (int orientation : {1, 2, 3, 6, 8}) {
    const Bytes jpeg = WithExifOrientation(stored, orientation, false);
    Picture p = mustDecode(jpeg);
    CollectRows sink;
    ASSERT_TRUE(DecodeJpegRows(jpeg, 1, sink).ok()) << orientation;
    ASSERT_EQ(sink.width, p.width);
    ASSERT_EQ(sink.height, p.height);
    EXPECT_TRUE(sink.inOrder);
    const std::size_t rowBytes = std::size_t{3} * p.width;
    ASSERT_EQ(sink.rows.size(), p.pixels.size());
    for (int y = 0; y < p.height; ++y) {
      const auto* streamed = sink.rows.data() + rowBytes * y;
      const auto* stored_ = p.pixels.data() + rowBytes * (p.height - 1 - y);
      ASSERT_TRUE(std::equal(streamed, streamed + rowBytes, stored_)) << "orientation " << orientation << " row " << y;
    }
  }
}

// Read from its file as it decodes, a sequential JPEG gives the rows its
// whole bytes give, wherever the part read beforehand ends (inside the
// header too); a cut file fails with the same reason; a progressive one must
// be read whole.
TEST(JpegReader, ReadingTheFileAsItDecodesGivesTheSameRows) {
  testing_support::TempFolder folder;
  auto write = [&](const std::string& name, const Bytes& bytes) {
    const std::string path = folder / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    return path;
  };
  auto noise = [](int x, int y) {
    const unsigned h = static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u;
    return Rgba{static_cast<std::uint8_t>(h >> 24), static_cast<std::uint8_t>(h >> 16), static_cast<std::uint8_t>(x + y)};
  };
  // Turned, so that the rows are held and handed over at the end; large
  // enough for several of the reader's blocks.
  const Bytes jpeg = WithExifOrientation(MakeJpeg(900, 500, noise, {.quality = 95}), 6, false);
  ASSERT_GT(jpeg.size(), std::size_t{200'000});
  const std::string path = write("sequential.jpg", jpeg);
  auto decodeFromFile = [](const std::string& file, std::size_t headBytes, int denom, CollectRows& sink) {
    auto opened = InputFile::open(file);
    if (!opened) return Result<void>(opened.error());
    Bytes head(headBytes);
    auto got = opened.value().read(head.data(), head.size());
    if (!got) return Result<void>(got.error());
    head.resize(got.value());
    return DecodeJpegRows(head, opened.value(), denom, sink);
  };
  for (int denom : {1, 4}) {
    CollectRows whole;
    ASSERT_TRUE(DecodeJpegRows(jpeg, denom, whole).ok());
    for (std::size_t headBytes : {std::size_t{0}, std::size_t{1}, std::size_t{200}, std::size_t{70'000}, jpeg.size() - 1}) {
      CollectRows streamed;
      auto decoded = decodeFromFile(path, headBytes, denom, streamed);
      ASSERT_TRUE(decoded.ok()) << "head " << headBytes << ": " << decoded.error().reason;
      EXPECT_EQ(streamed.width, whole.width);
      EXPECT_EQ(streamed.height, whole.height);
      EXPECT_TRUE(streamed.rows == whole.rows) << "head " << headBytes << " at 1/" << denom;
    }
  }

  const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * 3 / 5));
  CollectRows fromBytes, fromFile;
  auto wholeCut = DecodeJpegRows(cut, 1, fromBytes);
  auto streamedCut = decodeFromFile(write("cut.jpg", cut), 1000, 1, fromFile);
  ASSERT_FALSE(wholeCut.ok());
  ASSERT_FALSE(streamedCut.ok());
  EXPECT_EQ(streamedCut.error().reason, wholeCut.error().reason);

  const Bytes progressive = MakeJpeg(64, 64, noise, {.progressive = true});
  CollectRows refused;
  auto decoded = decodeFromFile(write("progressive.jpg", progressive), 100, 1, refused);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason.rfind("damaged: ", 0), 0u) << decoded.error().reason;
  EXPECT_TRUE(DecodeJpegRows(progressive, 1, refused).ok());
}

TEST(JpegReader, StreamsAtReducedScale) {
  const Bytes jpeg = WithExifOrientation(MakeJpeg(kWidth, kHeight, quadrants), 6, true);
  for (int denom : {1, 2, 4, 8}) {
    CollectRows sink;
    ASSERT_TRUE(DecodeJpegRows(jpeg, denom, sink).ok()) << denom;
    EXPECT_EQ(sink.width, kHeight / denom) << denom;
    EXPECT_EQ(sink.height, kWidth / denom) << denom;
    EXPECT_EQ(sink.rows.size(), std::size_t{3} * sink.width * sink.height) << denom;
    // Turned a quarter clockwise: blue at the top-left, red at the top-right.
    EXPECT_GE(sink.rows[0], 200) << denom;
    EXPECT_GE(sink.rows[3 * (sink.width - 1) + 2], 200) << denom;
  }
  for (int denom : {0, 3, 16, -1}) {
    CollectRows sink;
    EXPECT_FALSE(DecodeJpegRows(jpeg, denom, sink).ok()) << denom;
  }
}

TEST(JpegReader, SinkCanStopTheDecode) {
  CollectRows sink;
  sink.accept = false;
  EXPECT_FALSE(DecodeJpegRows(MakeJpeg(16, 16, quadrants), 1, sink).ok());
  EXPECT_TRUE(sink.rows.empty());
}

TEST(JpegReader, TruncatedDataFails) {
  for (bool progressive : {false, true}) {
    const Bytes jpeg = MakeJpeg(kWidth, kHeight, quadrants, {.progressive = progressive});
    for (std::size_t cut : {jpeg.size() - 2, jpeg.size() * 3 / 4, jpeg.size() / 2, std::size_t{300}, std::size_t{20}}) {
      const Bytes shortened(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(cut));
      auto decoded = DecodePictureBytes(shortened);
      ASSERT_FALSE(decoded.ok()) << "cut at " << cut << (progressive ? " progressive" : "");
      EXPECT_EQ(decoded.error().reason.rfind("damaged: ", 0), 0u) << decoded.error().reason;
      CollectRows sink;
      EXPECT_FALSE(DecodeJpegRows(shortened, 2, sink).ok()) << cut;
    }
  }
}

// Every scan of a progressive file costs a pass over all its coefficients,
// so a file with very many is refused. They are counted from the markers
// before the first pass: a second scan that libjpeg would stop at, were it
// decoding scan by scan, is never reached.
TEST(JpegReader, RefusesTooManyScansBeforeDecodingAny) {
  const Bytes at500 = MakeJpeg(16, 16, quadrants, {.grey = true, .scans = 500});
  EXPECT_TRUE(DecodePictureBytes(at500).ok());
  Bytes badSecond = MakeJpeg(16, 16, quadrants, {.grey = true, .scans = 510});
  int sos = 0;
  for (std::size_t i = 0; i + 8 < badSecond.size(); ++i) {
    // A scan header: FF DA, length, one component and its tables, Ss, Se.
    if (badSecond[i] == 0xFF && badSecond[i + 1] == 0xDA && ++sos == 2) {
      badSecond[i + 8] = 64;
      break;
    }
  }
  ASSERT_EQ(sos, 2);
  for (const Bytes& jpeg : {MakeJpeg(16, 16, quadrants, {.grey = true, .scans = 501}), badSecond}) {
    auto decoded = DecodePictureBytes(jpeg);
    ASSERT_FALSE(decoded.ok());
    EXPECT_EQ(decoded.error().reason, "damaged: more than 500 scans");
    CollectRows sink;
    auto streamed = DecodeJpegRows(jpeg, 1, sink);
    ASSERT_FALSE(streamed.ok());
    EXPECT_EQ(streamed.error().reason, "damaged: more than 500 scans");
    EXPECT_TRUE(sink.rows.empty());
  }
}

// The frame header's size fields sit after FF C0/C2 length(2) precision(1).
Bytes withFrameSize(Bytes jpeg, unsigned width, unsigned height) {
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(height);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
  }
  return {};
}

TEST(JpegReader, RefusesSizesBeforeAllocating) {
  struct Case {
    unsigned width, height;
    bool progressive;
    std::string reason;
  } cases[] = {
      {65535, 65535, false, "too large: 65535 × 65535"},
      {65535, 4097, true, "too large: 65535 × 4097"},
      {20000, 20000, true, "too large: 20000 × 20000"},
      {20000, 13000, false, "damaged: JPEG data ends early"},  // a few hundred bytes cannot hold it
  };
  const Bytes small = MakeJpeg(16, 16, quadrants);
  const Bytes smallProgressive = MakeJpeg(16, 16, quadrants, {.progressive = true});
  for (const Case& c : cases) {
    const Bytes jpeg = withFrameSize(c.progressive ? smallProgressive : small, c.width, c.height);
    ASSERT_FALSE(jpeg.empty());
    auto decoded = DecodePictureBytes(jpeg);
    ASSERT_FALSE(decoded.ok()) << c.reason;
    EXPECT_EQ(decoded.error().reason, c.reason);
  }
}

// The row stream holds no picture whole, so the picture limit is not its
// limit; what it does hold whole is: a progressive file's coefficients, and
// the photo when it must be turned. Each is refused from the header.
TEST(JpegReader, StreamsPastThePictureLimitAndRefusesWhatItWouldHoldWhole) {
  const Bytes baseline = MakeJpeg(16, 16, quadrants);
  const Bytes progressive = MakeJpeg(16, 16, quadrants, {.progressive = true});
  struct Case {
    Bytes jpeg;
    std::string reason;
  } cases[] = {
      // 40000 × 40000 in 4:2:0 colour: 37.5 million blocks of 128 bytes.
      {withFrameSize(progressive, 40000, 40000), "too large: 40000 × 40000 progressive JPEG needs 4578 MB to decode"},
      {withFrameSize(WithExifOrientation(baseline, 6, false), 20000, 20000), "too large: 20000 × 20000"},
  };
  for (const Case& c : cases) {
    auto info = ReadJpegInfo(c.jpeg);
    ASSERT_TRUE(info.ok()) << "the header alone is fine";
    auto fits = CheckJpegStreamMemory(info.value(), 1);
    ASSERT_FALSE(fits.ok()) << c.reason;
    EXPECT_EQ(fits.error().reason.rfind(c.reason, 0), 0u) << fits.error().reason;
    CollectRows sink;
    auto streamed = DecodeJpegRows(c.jpeg, 1, sink);
    ASSERT_FALSE(streamed.ok());
    EXPECT_EQ(streamed.error().reason, fits.error().reason);
    EXPECT_EQ(sink.width, 0) << "refused before any row";
  }
  // At 1/8 the turned photo is small enough to hold.
  auto turned = ReadJpegInfo(cases[1].jpeg);
  EXPECT_TRUE(CheckJpegStreamMemory(turned.value(), 8).ok());

  // A real baseline photo larger than any picture the program holds whole
  // streams all its rows.
  const int width = 17000, height = 16000;
  const Bytes big = MakeJpeg(width, height, [](int x, int y) { return Rgba{std::uint8_t(x >> 6), std::uint8_t(y >> 6), 90}; },
                             {.quality = 50});
  EXPECT_FALSE(DecodePictureBytes(big).ok()) << "too large to hold whole";
  struct CountRows : RowStreamSink {
    int width = 0, rows = 0;
    unsigned long long sum = 0;
    bool begin(int w, int) override {
      width = w;
      return true;
    }
    void row(int, const std::uint8_t* bgr) override {
      ++rows;
      sum += bgr[3 * (width / 2) + 1];
    }
  } counter;
  auto streamed = DecodeJpegRows(big, 1, counter);
  ASSERT_TRUE(streamed.ok()) << streamed.error().reason;
  EXPECT_EQ(counter.width, width);
  EXPECT_EQ(counter.rows, height);
  // The green channel follows the row: its mean over the column is about 125.
  EXPECT_NEAR(static_cast<double>(counter.sum) / height, 125.0, 3.0);
}

// A progression that contradicts itself spoils every scan after it; the
// decode stops at the first such warning instead of running through the rest.
TEST(JpegReader, AnInconsistentProgressionIsDamage) {
  // Each AC coefficient in a first scan of all bits but the lowest, then a
  // refinement scan for that bit.
  const Bytes good = MakeJpeg(64, 64, quadrants, {.grey = true, .scans = 127});
  // Repeat the second scan (the first AC scan): its coefficient gets a first
  // pass twice, where a refinement of its last bit belongs.
  std::vector<std::size_t> starts;
  for (std::size_t i = 2; i + 1 < good.size(); ++i) {
    if (good[i] == 0xFF && (good[i + 1] == 0xDA || good[i + 1] == 0xD9)) starts.push_back(i);
  }
  ASSERT_GE(starts.size(), 3u);
  Bytes repeated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(starts[2]));
  repeated.insert(repeated.end(), good.begin() + static_cast<std::ptrdiff_t>(starts[1]),
                  good.begin() + static_cast<std::ptrdiff_t>(starts[2]));
  repeated.insert(repeated.end(), good.begin() + static_cast<std::ptrdiff_t>(starts[2]), good.end());
  ASSERT_TRUE(DecodePictureBytes(good).ok());
  auto decoded = DecodePictureBytes(repeated);
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error().reason.rfind("damaged: Inconsistent progression sequence", 0), 0u)
      << decoded.error().reason;
  CollectRows sink;
  EXPECT_FALSE(DecodeJpegRows(repeated, 2, sink).ok());
}

// Scans that each pass over millions of blocks for a few bytes: the work a
// file may ask for is bounded by its blocks and its bytes. The same picture
// in the usual progression (under 5 passes) decodes.
TEST(JpegReader, BoundsTheWorkOfAProgressionByTheFileSize) {
  const auto flat = [](int, int) { return Rgba{120, 120, 120}; };
  const Bytes usual = MakeJpeg(3000, 3000, flat, {.progressive = true, .grey = true});
  const Bytes passes64 = MakeJpeg(3000, 3000, flat, {.grey = true, .scans = 64});
  ASSERT_LT(passes64.size(), std::size_t{200'000});
  struct Discard : RowStreamSink {
    bool begin(int, int) override { return true; }
    void row(int, const std::uint8_t*) override {}
  } sink;
  EXPECT_TRUE(DecodeJpegRows(usual, 1, sink).ok());
  auto streamed = DecodeJpegRows(passes64, 1, sink);
  ASSERT_FALSE(streamed.ok());
  EXPECT_EQ(streamed.error().reason.rfind("damaged: its scans pass over the picture more than ", 0), 0u)
      << streamed.error().reason;
  // A small picture may have as many scans as it likes up to the count limit.
  EXPECT_TRUE(DecodePictureBytes(MakeJpeg(64, 64, quadrants, {.grey = true, .scans = 400})).ok());
}

}  // namespace
}  // namespace trimbrel
