#include "imaging/jpeg_writer.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include <jpeglib.h>

namespace trimbrel {

namespace {

constexpr std::size_t kBufferSize = 4096;

// Option bits of the JPEG option word.
constexpr std::uint32_t kForceBaseline = 1;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {}

// Destination manager: a fixed buffer emptied into the sink.
struct Destination {
  jpeg_destination_mgr pub;
  ByteSink* sink;
  JOCTET buffer[kBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
}

boolean EmptyBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->sink->write(std::span<const std::uint8_t>(dest->buffer, kBufferSize));
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->sink->write(std::span<const std::uint8_t>(dest->buffer, kBufferSize - dest->pub.free_in_buffer));
  dest->sink->flush();
}

// Everything between setjmp and the end lives in plain C structs: a longjmp
// out of libjpeg must not skip a destructor. `row` is sized by the caller.
bool Compress(jpeg_compress_struct* cinfo, ErrorManager* err, Destination* dest, const DibView* image,
              const ImageAttributes* attributes, JSAMPLE* row) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = OnError;
  err->pub.output_message = OnMessage;
  if (setjmp(err->jump)) {
    jpeg_destroy_compress(cinfo);
    return false;
  }
  jpeg_create_compress(cinfo);
  dest->pub.init_destination = InitDestination;
  dest->pub.empty_output_buffer = EmptyBuffer;
  dest->pub.term_destination = TermDestination;
  cinfo->dest = &dest->pub;

  cinfo->image_width = static_cast<JDIMENSION>(image->width);
  cinfo->image_height = static_cast<JDIMENSION>(image->height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  const std::uint32_t options = attributes->codecOptions[3];
  jpeg_set_quality(cinfo, attributes->jpegQuality, (options & kForceBaseline) ? TRUE : FALSE);
  // JFIF density in dots per inch; its fields hold 16 bits.
  cinfo->write_JFIF_header = TRUE;
  cinfo->density_unit = 1;
  cinfo->X_density = static_cast<UINT16>(std::clamp(attributes->xDpi, 0, 65535));
  cinfo->Y_density = static_cast<UINT16>(std::clamp(attributes->yDpi, 0, 65535));

  jpeg_start_compress(cinfo, TRUE);
  for (int y = 0; y < image->height; ++y) {
    const std::uint8_t* src = image->rowFromTop(y);
    for (int x = 0; x < image->width; ++x) {
      row[3 * x] = src[3 * x + 2];
      row[3 * x + 1] = src[3 * x + 1];
      row[3 * x + 2] = src[3 * x];
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

}  // namespace

Result<void> WriteJpeg(const DibView& image, const ImageAttributes& attributes, ByteSink& out) {
  if (image.width > JPEG_MAX_DIMENSION || image.height > JPEG_MAX_DIMENSION) {
    return Fail("JPEG 图像尺寸过大");
  }
  std::vector<JSAMPLE> row;
  try {
    row.resize(static_cast<std::size_t>(image.width) * 3);
  } catch (const std::bad_alloc&) {
    return Fail("Can't allocate memory");
  }
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  auto dest = std::make_unique<Destination>();
  dest->sink = &out;
  if (!Compress(&cinfo, &err, dest.get(), &image, &attributes, row.data())) {
    return Fail(err.message);
  }
  return {};
}

}  // namespace trimbrel
