#include "imaging/png_reader.hpp"

#include <csetjmp>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <png.h>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

// Deflate expands at most about 1032-fold: a file cannot hold more raw
// image data than this, whatever its header claims.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;
  bool colourSpace = false;  // gAMA, sRGB, iCCP or cHRM before the image data
};

std::optional<std::uint32_t> ReadU32Be(ByteReader& reader) {
  auto b = reader.bytes(4);
  if (!b) return std::nullopt;
  return (std::uint32_t{(*b)[0]} << 24) | (std::uint32_t{(*b)[1]} << 16) | (std::uint32_t{(*b)[2]} << 8) | (*b)[3];
}

bool ReadSignature(ByteReader& reader) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto signature = reader.bytes(8);
  return signature && std::memcmp(signature->data(), kSignature, 8) == 0;
}

Result<PngHeader> ReadHeader(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  if (!ReadSignature(reader)) return Fail("damaged: no PNG signature");
  PngHeader header;
  bool first = true;
  bool imageData = false;
  for (;;) {
    auto length = ReadU32Be(reader);
    auto type = reader.bytes(4);
    if (!length || !type) return Fail("damaged: PNG data ends early");
    const std::string name(type->begin(), type->end());
    if (first) {
      if (name != "IHDR" || *length < 13) return Fail("damaged: PNG header missing");
      auto width = ReadU32Be(reader);
      auto height = ReadU32Be(reader);
      auto depth = reader.u8();
      auto colour = reader.u8();
      if (!width || !height || !depth || !colour) return Fail("damaged: PNG data ends early");
      header.width = *width;
      header.height = *height;
      header.bitDepth = *depth;
      header.colourType = *colour;
      TRIMBREL_TRY(CheckPictureSize(header.width, header.height));
      if (!reader.skip(*length - 10) || !reader.skip(4)) return Fail("damaged: PNG data ends early");
      first = false;
      continue;
    }
    // The whole chunk chain must be there: a file cut after its last image
    // data is as truncated as one cut inside it.
    if (name == "IEND") break;
    if (name == "IDAT") imageData = true;
    if (!imageData && (name == "gAMA" || name == "sRGB" || name == "iCCP" || name == "cHRM")) {
      header.colourSpace = true;
    }
    if (!reader.skip(*length) || !reader.skip(4)) return Fail("damaged: PNG data ends early");
  }
  const int channels = header.colourType == 2 ? 3 : header.colourType == 4 ? 2 : header.colourType == 6 ? 4 : 1;
  const std::uint64_t rowBits = std::uint64_t{header.width} * channels * std::uint64_t(header.bitDepth);
  const std::uint64_t raw = std::uint64_t{header.height} * (1 + (rowBits + 7) / 8);
  if (raw > kMaxDeflateRatio * bytes.size()) return Fail("damaged: PNG data ends early");
  return header;
}

// --- The classic reader, for 16-bit files without colour-space chunks ---

struct MemoryInput {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

struct PngClassic {
  png_structp png;
  png_infop info;
  MemoryInput input;
  char message[160];
};

void ClassicError(png_structp png, png_const_charp text) {
  auto* c = static_cast<PngClassic*>(png_get_error_ptr(png));
  std::strncpy(c->message, text, sizeof c->message - 1);
  png_longjmp(png, 1);
}

void ClassicWarning(png_structp, png_const_charp) {}

void ClassicRead(png_structp png, png_bytep out, std::size_t count) {
  auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (count > input->size - input->position) png_error(png, "PNG data ends early");
  std::memcpy(out, input->data + input->position, count);
  input->position += count;
}

bool ClassicOpen(PngClassic* c) {
  c->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, c, ClassicError, ClassicWarning);
  if (!c->png) return false;
  c->info = png_create_info_struct(c->png);
  if (!c->info) return false;
  if (setjmp(png_jmpbuf(c->png))) return false;
  png_set_read_fn(c->png, &c->input, ClassicRead);
  png_read_info(c->png, c->info);
  const int colourType = png_get_color_type(c->png, c->info);
  const bool transparency = png_get_valid(c->png, c->info, PNG_INFO_tRNS) != 0;
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(c->png);
  if (transparency) png_set_tRNS_to_alpha(c->png);
  if (!(colourType & PNG_COLOR_MASK_ALPHA) && !transparency) png_set_filler(c->png, 0xFF, PNG_FILLER_AFTER);
  if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(c->png);
  png_set_strip_16(c->png);
  png_set_bgr(c->png);
  png_set_interlace_handling(c->png);
  png_read_update_info(c->png, c->info);
  return true;
}

bool ClassicRows(PngClassic* c, png_bytepp rows) {
  if (setjmp(png_jmpbuf(c->png))) return false;
  png_read_image(c->png, rows);
  png_read_end(c->png, nullptr);
  return true;
}

void ClassicClose(PngClassic* c) {
  if (c->png) png_destroy_read_struct(&c->png, c->info ? &c->info : nullptr, nullptr);
}

// libpng's simplified reader takes 16-bit data for linear light and would
// lighten a file that says nothing about its colour space; viewers take
// the high byte of each sample instead.
Result<Picture> DecodeHighBytes(std::span<const std::uint8_t> bytes, const PngHeader& header, PictureKind kind) {
  PngClassic c{};
  c.input = {bytes.data(), bytes.size(), 0};
  struct Closer {
    PngClassic* c;
    ~Closer() { ClassicClose(c); }
  } closer{&c};
  if (!ClassicOpen(&c)) return Fail(std::string("damaged: ") + (c.message[0] ? c.message : "PNG data"));
  const std::size_t rowBytes = std::size_t{header.width} * 4;
  if (png_get_rowbytes(c.png, c.info) != rowBytes) return Fail("damaged: unexpected PNG row size");
  Picture picture;
  picture.kind = kind;
  picture.width = static_cast<std::int32_t>(header.width);
  picture.height = static_cast<std::int32_t>(header.height);
  picture.pixels.resize(rowBytes * header.height);
  std::vector<png_bytep> rows(header.height);
  for (std::uint32_t y = 0; y < header.height; ++y) rows[y] = picture.pixels.data() + rowBytes * y;
  if (!ClassicRows(&c, rows.data())) return Fail(std::string("damaged: ") + (c.message[0] ? c.message : "PNG data"));
  return picture;
}

}  // namespace

Result<PictureSize> ReadPngSize(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  if (!ReadSignature(reader)) return Fail("damaged: no PNG signature");
  auto length = ReadU32Be(reader);
  auto type = reader.bytes(4);
  auto width = ReadU32Be(reader);
  auto height = ReadU32Be(reader);
  if (!length || !type || !width || !height) return Fail("damaged: PNG data ends early");
  if (std::memcmp(type->data(), "IHDR", 4) != 0 || *length < 13) return Fail("damaged: PNG header missing");
  TRIMBREL_TRY(CheckPictureSize(*width, *height));
  return PictureSize{static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)};
}

Result<Picture> DecodePng(std::span<const std::uint8_t> bytes, PictureKind kind) {
  TRIMBREL_TRY_ASSIGN(auto header, ReadHeader(bytes));
  if (header.bitDepth == 16 && !header.colourSpace) {
    return DecodeHighBytes(bytes, header, kind);
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    return Fail(std::string("damaged: ") + image.message);
  }
  if (image.width != header.width || image.height != header.height) {
    png_image_free(&image);
    return Fail("damaged: PNG header");
  }
  image.format = PNG_FORMAT_BGRA;
  Picture picture;
  picture.kind = kind;
  picture.width = static_cast<std::int32_t>(image.width);
  picture.height = static_cast<std::int32_t>(image.height);
  picture.pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
    std::string reason = std::string("damaged: ") + image.message;
    png_image_free(&image);
    return Fail(reason);
  }
  png_image_free(&image);
  return picture;
}

}  // namespace trimbrel
