// Every writer's output read back by the format's own library.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "imaging/bmp_writer.hpp"
#include "imaging/image_attributes.hpp"
#include "imaging/jpeg_writer.hpp"
#include "imaging/png_writer.hpp"
#include "imaging/tiff_library.hpp"
#include "imaging/tiff_writer.hpp"

namespace trimbrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A 24-bit image stored bottom-up with padded rows, like the image object's.
struct TestImage {
  int width, height;
  std::size_t stride;
  Bytes rows;
  DibView view() const { return DibView{width, height, stride, rows.data()}; }
  const std::uint8_t* pixel(int x, int y) const { return view().rowFromTop(y) + 3 * x; }
};

// Smooth colours, so a lossy writer stays close; `b`,`g`,`r` differ per pixel.
TestImage Gradient(int w, int h) {
  TestImage img{w, h, (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4, {}};
  img.rows.assign(img.stride * h, 0xEE);  // padding filled, so writers must not copy it as pixels
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = img.rows.data() + img.stride * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(40 + 150 * x / std::max(1, w - 1));   // B
      row[3 * x + 1] = static_cast<std::uint8_t>(200 - 120 * y / std::max(1, h - 1));  // G
      row[3 * x + 2] = static_cast<std::uint8_t>(90);                              // R
    }
  }
  return img;
}

ImageAttributes At(int xDpi, int yDpi) {
  ImageAttributes a;
  a.xDpi = xDpi;
  a.yDpi = yDpi;
  a.xPixelsPerMetre = PixelsPerMetre(xDpi);
  a.yPixelsPerMetre = PixelsPerMetre(yDpi);
  return a;
}

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int k = n - 1; k >= 0; --k) v = v << 8 | b[at + k];
  return v;
}

TEST(BmpWriter, ThreeByTwoIsSeventyEightBytesWithTheResolution) {
  const TestImage img = Gradient(3, 2);
  MemorySink sink;
  ASSERT_TRUE(WriteBmp(img.view(), At(300, 72), sink));
  const Bytes& b = sink.data();
  ASSERT_EQ(b.size(), 78u);
  struct Field {
    std::size_t at;
    int size;
    std::uint32_t value;
    const char* name;
  };
  const Field fields[] = {{0, 2, 0x4D42, "bfType"},  {2, 4, 78, "bfSize"},       {6, 4, 0, "reserved"},
                          {10, 4, 54, "bfOffBits"}, {14, 4, 40, "biSize"},       {18, 4, 3, "biWidth"},
                          {22, 4, 2, "biHeight"},   {26, 2, 1, "biPlanes"},      {28, 2, 24, "biBitCount"},
                          {30, 4, 0, "biCompression"}, {34, 4, 24, "biSizeImage"}, {38, 4, 11811, "biXPelsPerMeter"},
                          {42, 4, 2835, "biYPelsPerMeter"}, {46, 4, 0, "biClrUsed"}, {50, 4, 0, "biClrImportant"}};
  for (const auto& f : fields) EXPECT_EQ(Le(b, f.at, f.size), f.value) << f.name;
  for (int y = 0; y < 2; ++y) {
    // Rows bottom-up: pixels as stored, padding written as zeros.
    EXPECT_EQ(0, std::memcmp(b.data() + 54 + 12 * y, img.rows.data() + img.stride * y, 9)) << "row " << y;
    EXPECT_EQ(Le(b, 54 + 12 * y + 9, 3), 0u) << "padding of row " << y;
  }
}

// --- JPEG, read back by libjpeg ---
struct JpegErr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); }

struct JpegReadBack {
  bool ok = false;
  int width = 0, height = 0, densityUnit = -1, xDensity = 0, yDensity = 0, quant0 = 0;
  bool progressive = true, jfif = false;
  int samp[3][2] = {};
  J_COLOR_SPACE space = JCS_UNKNOWN;
  Bytes rgb;
};

bool ReadJpegInto(const Bytes* data, jpeg_decompress_struct* d, JpegErr* err, JpegReadBack* out) {
  d->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = JpegFail;
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(d);
    return false;
  }
  jpeg_create_decompress(d);
  jpeg_mem_src(d, data->data(), data->size());
  jpeg_read_header(d, TRUE);
  out->width = d->image_width;
  out->height = d->image_height;
  out->jfif = d->saw_JFIF_marker;
  out->densityUnit = d->density_unit;
  out->xDensity = d->X_density;
  out->yDensity = d->Y_density;
  out->progressive = d->progressive_mode;
  out->space = d->jpeg_color_space;
  out->quant0 = d->quant_tbl_ptrs[0] ? d->quant_tbl_ptrs[0]->quantval[0] : -1;
  for (int c = 0; c < 3 && c < d->num_components; ++c) {
    out->samp[c][0] = d->comp_info[c].h_samp_factor;
    out->samp[c][1] = d->comp_info[c].v_samp_factor;
  }
  d->out_color_space = JCS_RGB;
  jpeg_start_decompress(d);
  out->rgb.resize(static_cast<std::size_t>(d->output_width) * d->output_height * 3);
  while (d->output_scanline < d->output_height) {
    JSAMPROW row = out->rgb.data() + static_cast<std::size_t>(d->output_scanline) * d->output_width * 3;
    jpeg_read_scanlines(d, &row, 1);
  }
  jpeg_finish_decompress(d);
  jpeg_destroy_decompress(d);
  return true;
}

JpegReadBack ReadJpeg(const Bytes& data) {
  JpegReadBack out;
  jpeg_decompress_struct d{};
  JpegErr err{};
  out.ok = ReadJpegInto(&data, &d, &err, &out);
  return out;
}

TEST(JpegWriter, BaselineQualityNinetyWithJfifDensityInInches) {
  const TestImage img = Gradient(64, 40);
  MemorySink sink;
  auto written = WriteJpeg(img.view(), At(300, 150), sink);
  ASSERT_TRUE(written) << written.error().reason;
  const JpegReadBack r = ReadJpeg(sink.data());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.width, 64);
  EXPECT_EQ(r.height, 40);
  EXPECT_TRUE(r.jfif);
  EXPECT_EQ(r.densityUnit, 1);
  EXPECT_EQ(r.xDensity, 300);
  EXPECT_EQ(r.yDensity, 150);
  EXPECT_FALSE(r.progressive);
  EXPECT_EQ(r.space, JCS_YCbCr);
  EXPECT_EQ(r.quant0, 3);  // the first luminance step of libjpeg's table at quality 90
  const int want[3][2] = {{2, 2}, {1, 1}, {1, 1}};  // 4:2:0
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(r.samp[c][0], want[c][0]) << "component " << c;
    EXPECT_EQ(r.samp[c][1], want[c][1]) << "component " << c;
  }
  int worst = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint8_t* p = img.pixel(x, y);
      const std::uint8_t* q = r.rgb.data() + (static_cast<std::size_t>(y) * 64 + x) * 3;
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(q[c]) - int(p[2 - c])));
    }
  }
  EXPECT_LE(worst, 6);  // R,G,B in the right order and the right rows
}

TEST(JpegWriter, DensityBeyondSixteenBitsIsHeldAtTheLargest) {
  const TestImage img = Gradient(8, 8);
  MemorySink sink;
  ASSERT_TRUE(WriteJpeg(img.view(), At(70000, 96), sink));
  EXPECT_EQ(ReadJpeg(sink.data()).xDensity, 65535);
}

// --- TIFF, read back by libtiff ---
struct MemFile {
  const Bytes* data;
  toff_t pos = 0;
};
tmsize_t MRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  const toff_t left = m->data->size() > m->pos ? m->data->size() - m->pos : 0;
  const auto k = std::min<toff_t>(left, static_cast<toff_t>(n));
  std::memcpy(buf, m->data->data() + m->pos, k);
  m->pos += k;
  return static_cast<tmsize_t>(k);
}
tmsize_t MWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemFile*>(h);
  m->pos = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->data->size()) + off;
  return m->pos;
}
int MClose(thandle_t) { return 0; }
toff_t MSize(thandle_t h) { return static_cast<MemFile*>(h)->data->size(); }
int MMap(thandle_t, void**, toff_t*) { return 0; }
void MUnmap(thandle_t, void*, toff_t) {}

struct TiffReadBack {
  bool ok = false;
  std::uint32_t width = 0, height = 0, rowsPerStrip = 0, subfile = 99;
  std::uint16_t samples = 0, bits = 0, photometric = 0, planar = 0, orientation = 0, compression = 0, unit = 0;
  float xRes = 0, yRes = 0;
  std::vector<std::uint32_t> abgr;  // top-down
};

TiffReadBack ReadTiff(const Bytes& data) {
  TiffReadBack r;
  MemFile m{&data};
  TIFF* tif = TIFFClientOpen("readback", "r", &m, MRead, MWrite, MSeek, MClose, MSize, MMap, MUnmap);
  if (!tif) return r;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &r.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &r.height);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &r.samples);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &r.bits);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &r.photometric);
  TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &r.planar);
  TIFFGetField(tif, TIFFTAG_ORIENTATION, &r.orientation);
  TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &r.rowsPerStrip);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &r.compression);
  TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &r.unit);
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &r.xRes);
  TIFFGetField(tif, TIFFTAG_YRESOLUTION, &r.yRes);
  TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &r.subfile);
  r.abgr.resize(static_cast<std::size_t>(r.width) * r.height);
  r.ok = TIFFReadRGBAImageOriented(tif, r.width, r.height, r.abgr.data(), ORIENTATION_TOPLEFT, 0) == 1;
  TIFFClose(tif);
  return r;
}

TEST(TiffWriter, OneJpegCompressedRgbPageWithTheTagsAndResolution) {
  const TestImage img = Gradient(100, 30);
  MemorySink sink;
  auto written = WriteTiff(img.view(), At(300, 150), sink);
  ASSERT_TRUE(written) << written.error().reason;
  const TiffReadBack r = ReadTiff(sink.data());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.width, 100u);
  EXPECT_EQ(r.height, 30u);
  EXPECT_EQ(r.samples, 3);
  EXPECT_EQ(r.bits, 8);
  EXPECT_EQ(r.photometric, PHOTOMETRIC_RGB);
  EXPECT_EQ(r.planar, PLANARCONFIG_CONTIG);
  EXPECT_EQ(r.orientation, ORIENTATION_TOPLEFT);
  EXPECT_EQ(r.compression, COMPRESSION_JPEG);
  EXPECT_EQ(r.rowsPerStrip, 32u);
  EXPECT_EQ(r.unit, RESUNIT_INCH);
  EXPECT_EQ(r.xRes, 300.0f);
  EXPECT_EQ(r.yRes, 150.0f);
  EXPECT_EQ(r.subfile, 0u);
  int worst = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) {
      const std::uint8_t* p = img.pixel(x, y);
      const std::uint32_t q = r.abgr[static_cast<std::size_t>(y) * 100 + x];
      worst = std::max({worst, std::abs(int(TIFFGetR(q)) - p[2]), std::abs(int(TIFFGetG(q)) - p[1]),
                        std::abs(int(TIFFGetB(q)) - p[0])});
    }
  }
  EXPECT_LE(worst, 6);
}

TEST(TiffWriter, RowsPerStripIsTheDefaultStripRoundedUpToEight) {
  struct Case {
    int width, rows;
  };
  const Case cases[] = {{1000, 8}, {100, 32}, {3000, 8}, {1, 2736}, {342, 8}, {200, 16}};
  for (const auto& c : cases) {
    EXPECT_EQ(TiffRowsPerStrip(static_cast<std::size_t>(c.width) * 3), c.rows) << "width " << c.width;
  }
  const TestImage img = Gradient(1000, 20);
  MemorySink sink;
  auto written = WriteTiff(img.view(), At(96, 96), sink);
  ASSERT_TRUE(written) << written.error().reason;
  EXPECT_EQ(ReadTiff(sink.data()).rowsPerStrip, 8u);
}

TEST(TiffWriter, LibraryMessagesReachTheErrorText) {
  const TestImage img = Gradient(4, 4);
  ImageAttributes a = At(96, 96);
  a.codecOptions[6] = 12345;  // a compression scheme libtiff does not have
  MemorySink sink;
  auto written = WriteTiff(img.view(), a, sink);
  ASSERT_FALSE(written);
  const std::string& error = written.error().reason;
  EXPECT_EQ(error.rfind("Error saving TIFF file: ", 0), 0u) << error;
  EXPECT_GT(error.size(), std::strlen("Error saving TIFF file: ")) << error;
  EXPECT_TRUE(sink.data().empty());
}

// libtiff is opened when the first TIFF is written; one that cannot be
// opened is named in the error instead of failing the whole program.
TEST(TiffWriter, TheLibraryIsOpenedByNameAndAMissingOneIsNamed) {
  const Result<TiffLibrary>& process = ProcessTiffLibrary();
  ASSERT_TRUE(process) << process.error().reason;
  EXPECT_EQ(&process, &ProcessTiffLibrary());
  EXPECT_NE(process.value().setField, nullptr);
  EXPECT_NE(process.value().close, nullptr);
  const auto missing = OpenTiffLibrary("libtrimbrel-no-such-tiff.so.0");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().reason.find("TIFF needs libtrimbrel-no-such-tiff.so.0"), std::string::npos)
      << missing.error().reason;
  // A library without libtiff's functions is refused with their names.
  const auto wrong = OpenTiffLibrary("libz.so.1");
  ASSERT_FALSE(wrong);
  EXPECT_NE(wrong.error().reason.find("TIFFClientOpenExt"), std::string::npos) << wrong.error().reason;
}

// --- PNG, read back by libpng ---
struct PngReadBack {
  bool ok = false;
  png_uint_32 width = 0, height = 0, xPpm = 0, yPpm = 0;
  int depth = 0, colourType = -1, interlace = -1, unit = -1;
  png_color_16 background{};
  bool hasBackground = false;
  Bytes rgb;
};

struct PngSource {
  const Bytes* data;
  std::size_t pos = 0;
};
void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* s = static_cast<PngSource*>(png_get_io_ptr(png));
  if (s->pos + n > s->data->size()) png_error(png, "short");
  std::memcpy(out, s->data->data() + s->pos, n);
  s->pos += n;
}

bool ReadPngInto(png_structp png, png_infop info, PngSource* src, PngReadBack* r) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, src, PngRead);
  png_read_info(png, info);
  png_get_IHDR(png, info, &r->width, &r->height, &r->depth, &r->colourType, &r->interlace, nullptr, nullptr);
  png_get_pHYs(png, info, &r->xPpm, &r->yPpm, &r->unit);
  png_color_16p bk = nullptr;
  if (png_get_bKGD(png, info, &bk)) {
    r->hasBackground = true;
    r->background = *bk;
  }
  r->rgb.resize(static_cast<std::size_t>(r->width) * r->height * 3);
  for (png_uint_32 y = 0; y < r->height; ++y) png_read_row(png, r->rgb.data() + y * r->width * 3, nullptr);
  png_read_end(png, nullptr);
  return true;
}

PngReadBack ReadPng(const Bytes& data) {
  PngReadBack r;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PngSource src{&data};
  r.ok = ReadPngInto(png, info, &src, &r);
  png_destroy_read_struct(&png, &info, nullptr);
  return r;
}

TEST(PngWriter, RgbWithWhiteBackgroundAndPixelsPerMetre) {
  const TestImage img = Gradient(13, 7);
  MemorySink sink;
  auto written = WritePng(img.view(), At(300, 150), sink);
  ASSERT_TRUE(written) << written.error().reason;
  const PngReadBack r = ReadPng(sink.data());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.width, 13u);
  EXPECT_EQ(r.height, 7u);
  EXPECT_EQ(r.depth, 8);
  EXPECT_EQ(r.colourType, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(r.interlace, PNG_INTERLACE_NONE);
  EXPECT_EQ(r.xPpm, 11811u);
  EXPECT_EQ(r.yPpm, 5906u);
  EXPECT_EQ(r.unit, PNG_RESOLUTION_METER);
  ASSERT_TRUE(r.hasBackground);
  EXPECT_EQ(r.background.red, 255);
  EXPECT_EQ(r.background.green, 255);
  EXPECT_EQ(r.background.blue, 255);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 13; ++x) {
      const std::uint8_t* p = img.pixel(x, y);
      const std::uint8_t* q = r.rgb.data() + (static_cast<std::size_t>(y) * 13 + x) * 3;
      ASSERT_TRUE(q[0] == p[2] && q[1] == p[1] && q[2] == p[0]) << "pixel " << x << "," << y;
    }
  }
}

TEST(PngWriter, BackgroundIndexGivesTheImagesBackgroundColour) {
  const TestImage img = Gradient(2, 2);
  ImageAttributes a = At(96, 96);
  a.backgroundIndex = 3;
  a.backgroundColour = 0x00112233;  // B,G,R,reserved in memory order: B=0x33 G=0x22 R=0x11
  MemorySink sink;
  ASSERT_TRUE(WritePng(img.view(), a, sink));
  const PngReadBack r = ReadPng(sink.data());
  ASSERT_TRUE(r.ok && r.hasBackground);
  EXPECT_EQ(r.background.red, 0x11);
  EXPECT_EQ(r.background.green, 0x22);
  EXPECT_EQ(r.background.blue, 0x33);
}

}  // namespace
}  // namespace trimbrel
