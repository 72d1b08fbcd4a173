#include "imaging/png_writer.hpp"

#include <csetjmp>
#include <span>

#include <png.h>

namespace trimbrel {

namespace {

void SinkWrite(png_structp png, png_bytep data, png_size_t length) {
  static_cast<ByteSink*>(png_get_io_ptr(png))->write(std::span<const std::uint8_t>(data, length));
}

void SinkFlush(png_structp png) { static_cast<ByteSink*>(png_get_io_ptr(png))->flush(); }

void SilentWarning(png_structp, png_const_charp) {}
[[noreturn]] void JumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// IHDR: 8-bit RGB, no interlace unless the PNG option word asks for it.
void WriteHeader(png_structp png, png_infop info, const DibView& image, const ImageAttributes& attributes) {
  const int interlace = attributes.codecOptions[4] == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
}

// bKGD: white, or the image's background colour when it has a background index.
void WriteBackground(png_structp png, png_infop info, const ImageAttributes& attributes) {
  png_color_16 background{};
  if (attributes.backgroundIndex < 0) {
    background.red = background.green = background.blue = 255;
  } else {
    background.blue = static_cast<png_uint_16>(attributes.backgroundColour & 0xFF);
    background.green = static_cast<png_uint_16>((attributes.backgroundColour >> 8) & 0xFF);
    background.red = static_cast<png_uint_16>((attributes.backgroundColour >> 16) & 0xFF);
  }
  png_set_bKGD(png, info, &background);
}

// pHYs: pixels per metre.
void WriteResolution(png_structp png, png_infop info, const ImageAttributes& attributes) {
  png_set_pHYs(png, info, static_cast<png_uint_32>(attributes.xPixelsPerMetre),
               static_cast<png_uint_32>(attributes.yPixelsPerMetre), PNG_RESOLUTION_METER);
}

// Rows from the top of the picture down; libpng swaps B,G,R into R,G,B.
void WriteRows(png_structp png, const DibView& image) {
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < image.height; ++y) png_write_row(png, image.rowFromTop(y));
  }
}

// libpng reports errors by longjmp: nothing with a destructor lives here.
bool Encode(png_structp png, png_infop info, const DibView* image, const ImageAttributes* attributes, ByteSink* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, SinkWrite, SinkFlush);
  WriteHeader(png, info, *image, *attributes);
  WriteBackground(png, info, *attributes);
  WriteResolution(png, info, *attributes);
  png_write_info(png, info);
  WriteRows(png, *image);
  png_write_end(png, info);
  return true;
}

}  // namespace

Result<void> WritePng(const DibView& image, const ImageAttributes& attributes, ByteSink& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, SilentWarning);
  if (png == nullptr) {
    return Fail("Failed to create PNG structure");
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return Fail("Failed to initialize PNG info structure");
  }
  const bool ok = Encode(png, info, &image, &attributes, &out);
  png_destroy_write_struct(&png, &info);
  if (!ok) return Fail("Error saving PNG file");
  return {};
}

}  // namespace trimbrel
