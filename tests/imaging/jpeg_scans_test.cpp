#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "imaging/jpeg_scans.hpp"
#include "imaging/picture.hpp"
#include "tests/imaging/fixtures.hpp"

namespace trimbrel {
namespace {

using fixtures::Bytes;
using fixtures::Rgba;

// Detail in every block, so the AC scans carry most of the file.
Rgba Textured(int x, int y) {
  return {static_cast<std::uint8_t>((x * 7 + y * 3) ^ (x * y)), static_cast<std::uint8_t>(x * 5 + (y & 7) * 20),
          static_cast<std::uint8_t>((y * 9) ^ (x & 15) * 13)};
}

struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;  // top-down
};

// libjpeg's own 1/8 decode of the whole file, with its default settings: the
// reference the short road must equal.
struct ErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
bool LibjpegEighth(const Bytes& jpeg, Decoded& out) {
  jpeg_decompress_struct cinfo;
  ErrorJump error;
  cinfo.err = jpeg_std_error(&error.pub);
  error.pub.error_exit = [](j_common_ptr c) {
    (*c->err->output_message)(c);
    std::longjmp(reinterpret_cast<ErrorJump*>(c->err)->jump, 1);
  };
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = 8;
  const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  const std::size_t rowBytes = static_cast<std::size_t>(out.width) * 3;
  out.bgr.resize(rowBytes * static_cast<std::size_t>(out.height));
  std::vector<std::uint8_t> greyRow(static_cast<std::size_t>(out.width));
  while (cinfo.output_scanline < cinfo.output_height) {
    std::uint8_t* dest = out.bgr.data() + static_cast<std::size_t>(cinfo.output_scanline) * rowBytes;
    JSAMPROW row = grey ? greyRow.data() : dest;
    jpeg_read_scanlines(&cinfo, &row, 1);
    if (grey) {
      for (int x = 0; x < out.width; ++x) dest[3 * x] = dest[3 * x + 1] = dest[3 * x + 2] = greyRow[static_cast<std::size_t>(x)];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

struct Collect final : RowStreamSink {
  Decoded decoded;
  bool begin(int width, int height) override {
    decoded.width = width;
    decoded.height = height;
    decoded.bgr.assign(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height), 0);
    return true;
  }
  void row(int y, const std::uint8_t* bgr) override {
    std::copy(bgr, bgr + decoded.width * 3, decoded.bgr.begin() + static_cast<std::ptrdiff_t>(y) * decoded.width * 3);
  }
};

TEST(JpegDcScans, EighthScaleOfAProgressiveFileEqualsTheFullDecode) {
  const struct {
    int width, height;
    fixtures::JpegOptions options;
  } cases[] = {
      {203, 157, {.quality = 92, .progressive = true}},
      {64, 48, {.quality = 75, .progressive = true}},
      {37, 29, {.progressive = true, .grey = true}},
  };
  for (const auto& c : cases) {
    const Bytes jpeg = fixtures::MakeJpeg(c.width, c.height, Textured, c.options);
    Decoded reference;
    ASSERT_TRUE(LibjpegEighth(jpeg, reference));
    Collect rows;
    ASSERT_TRUE(DecodeJpegRows(jpeg, 8, rows).ok()) << c.width << "x" << c.height;
    EXPECT_EQ(rows.decoded.width, reference.width);
    EXPECT_EQ(rows.decoded.height, reference.height);
    EXPECT_EQ(rows.decoded.bgr, reference.bgr) << c.width << "x" << c.height;
    auto reduced = KeepDcScansOnly(jpeg);
    ASSERT_TRUE(reduced.ok());
    EXPECT_LT(reduced.value().size(), jpeg.size()) << "the AC scans are dropped";
  }
}

TEST(JpegDcScans, KeepsAnExifOrientationAndTurnsTheRowsUpright) {
  const Bytes plain = fixtures::MakeJpeg(80, 48, Textured, {.progressive = true});
  const Bytes turned = fixtures::WithExifOrientation(plain, 6, false);
  Collect upright;
  ASSERT_TRUE(DecodeJpegRows(turned, 8, upright).ok());
  EXPECT_EQ(upright.decoded.width, 6);
  EXPECT_EQ(upright.decoded.height, 10);
}

TEST(JpegDcScans, ACutOffFileIsDamagedEvenWhenItsDcScansAreWhole) {
  const Bytes jpeg = fixtures::MakeJpeg(203, 157, Textured, {.progressive = true});
  for (std::size_t keep : {jpeg.size() - 2, jpeg.size() * 3 / 4, jpeg.size() / 2}) {
    const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_FALSE(KeepDcScansOnly(cut).ok()) << "cut at " << keep;
    Collect rows;
    EXPECT_FALSE(DecodeJpegRows(cut, 8, rows).ok()) << "cut at " << keep;
  }
}

TEST(JpegDcScans, MalformedStreamsFailCleanly) {
  const Bytes cases[] = {
      {},
      {0xFF, 0xD8},
      {0xFF, 0xD8, 0xFF, 0xDA, 0x00},
      {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9},        // scan header too short
      {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 0x00, 0x00},        // segment longer than the data
      {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x12, 0xFF, 0x00},  // no end
  };
  for (const Bytes& c : cases) {
    EXPECT_FALSE(KeepDcScansOnly(c).ok()) << c.size() << " bytes";
    EXPECT_LE(CountJpegScans(c, 10), 1u) << c.size() << " bytes";
  }
}

TEST(JpegDcScans, CountsScansFromTheMarkers) {
  EXPECT_EQ(CountJpegScans(fixtures::MakeJpeg(40, 24, Textured), 100), 1u);
  EXPECT_EQ(CountJpegScans(fixtures::MakeJpeg(40, 24, Textured, {.progressive = true}), 100), 10u);
  const Bytes many = fixtures::MakeJpeg(16, 16, Textured, {.grey = true, .scans = 300});
  EXPECT_EQ(CountJpegScans(many, 1000), 300u);
  EXPECT_EQ(CountJpegScans(many, 50), 50u) << "counting stops where the caller stops caring";
  const std::size_t cutScans = CountJpegScans(Bytes(many.begin(), many.begin() + static_cast<std::ptrdiff_t>(many.size() / 2)), 1000);
  EXPECT_GT(cutScans, 0u);
  EXPECT_LT(cutScans, 300u);
}

}  // namespace
}  // namespace trimbrel
