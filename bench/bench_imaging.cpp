// Times the image pipeline's heavy steps on a 6000 × 4000 baseline JPEG:
// decoding it (libjpeg, full size), shrinking its canvas for the default
// target (154 × 189) through the streaming area resampler and through the
// drawing surface, and writing the 154 × 189 result in the five formats.
// Prints medians of repeated runs in thread CPU time; ratios come from the
// same run.
//   bench_imaging <photo.jpg> [runs]
// The photo (any size) is first scaled to 6000 × 4000 and re-encoded as a
// baseline JPEG at quality 90 in memory, so every machine times the same shape.
#include <algorithm>
#include <ctime>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <unistd.h>

#include "imaging/area_resampler.hpp"
#include "imaging/bmp_writer.hpp"
#include "imaging/byte_sink.hpp"
#include "imaging/drawing_surface.hpp"
#include "imaging/gif_writer.hpp"
#include "imaging/image_object.hpp"
#include "imaging/jpeg_writer.hpp"
#include "imaging/png_writer.hpp"
#include "imaging/tiff_writer.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using trimbrel::AreaResampler;

constexpr int kPhotoW = 6000, kPhotoH = 4000, kTargetW = 154, kTargetH = 189;

// The machine is shared: the thread's own CPU time is what a step costs,
// whatever else runs beside it.
double ThreadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double MedianMs(int runs, const std::function<void()>& body) {
  std::vector<double> ms;
  for (int k = 0; k < runs; ++k) {
    const double t0 = ThreadMs();
    body();
    ms.push_back(ThreadMs() - t0);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

struct JpegErr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
void Fail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); }

// Decodes to top-down B,G,R rows into `out`, or hands each row to `each`
// while it is still in the cache, as the streaming road does.
using EachRow = std::function<void(const std::uint8_t*)>;
bool DecodeJpeg(const Bytes* data, Bytes* out, int* width, int* height, const EachRow* each = nullptr) {
  jpeg_decompress_struct d{};
  JpegErr err{};
  d.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = Fail;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data->data(), data->size());
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d);
  *width = static_cast<int>(d.output_width);
  *height = static_cast<int>(d.output_height);
  std::vector<JSAMPLE> scratch(static_cast<std::size_t>(d.output_width) * 3);
  if (out) out->resize(static_cast<std::size_t>(d.output_width) * d.output_height * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out ? out->data() + static_cast<std::size_t>(d.output_scanline) * d.output_width * 3 : scratch.data();
    jpeg_read_scanlines(&d, &row, 1);
    if (each) (*each)(row);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}

// A bottom-up padded copy, as the image object holds pixels.
struct Dib {
  int width = 0, height = 0;
  std::size_t stride = 0;
  Bytes rows;
  trimbrel::DibView view() const { return {width, height, stride, rows.data()}; }
};

Dib ToDib(const Bytes& topDown, int w, int h) {
  Dib d{w, h, (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4, {}};
  d.rows.assign(d.stride * h, 0);
  for (int y = 0; y < h; ++y) std::copy_n(topDown.data() + static_cast<std::size_t>(y) * w * 3, w * 3, d.rows.data() + (h - 1 - y) * d.stride);
  return d;
}

Bytes Resample(const Bytes& src, int sw, int sh, int dw, int dh) {
  Bytes out(static_cast<std::size_t>(dw) * dh * 3);
  AreaResampler r(sw, sh, dw, dh, [&](int y, const std::uint8_t* bgr) {
    std::copy_n(bgr, dw * 3, out.data() + static_cast<std::size_t>(y) * dw * 3);
  });
  for (int y = 0; y < sh; ++y) r.pushRow(src.data() + static_cast<std::size_t>(y) * sw * 3);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_imaging <photo.jpg> [runs]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes source((std::istreambuf_iterator<char>(in)), {});
  Bytes pixels;
  int sw = 0, sh = 0;
  if (!DecodeJpeg(&source, &pixels, &sw, &sh)) {
    std::fprintf(stderr, "cannot decode %s\n", argv[1]);
    return 1;
  }
  // The benchmark photo: 6000 × 4000, baseline, quality 90, 4:2:0.
  const Dib photo = ToDib(Resample(pixels, sw, sh, kPhotoW, kPhotoH), kPhotoW, kPhotoH);
  trimbrel::MemorySink jpegSink;
  trimbrel::ImageAttributes attributes;
  (void)trimbrel::WriteJpeg(photo.view(), attributes, jpegSink);
  const Bytes jpeg = jpegSink.take();
  std::printf("photo: %s %dx%d, scaled to %dx%d, baseline JPEG %zu bytes; %d runs each\n", argv[1], sw, sh, kPhotoW,
              kPhotoH, jpeg.size(), runs);

  Bytes decoded;
  int w = 0, h = 0;
  DecodeJpeg(&jpeg, &decoded, &w, &h);

  // The placement of a 6000 × 4000 photo for 154 × 189, fit on the width.
  const double scale = double(kPhotoW) / kTargetW;
  const int offsetY = static_cast<int>((kTargetH - kPhotoH / scale) / 2.0);
  const int canvasH = static_cast<int>(kPhotoH + offsetY * scale * 2.0);
  const int drawTop = static_cast<int>(offsetY * scale);
  const std::uint32_t band = trimbrel::kNoWindowButtonFace;

  const double decodeMs = MedianMs(runs, [&] {
    int dw = 0, dh = 0;
    DecodeJpeg(&jpeg, nullptr, &dw, &dh);
  });
  Bytes target;
  // Streamed as the batch engine does it: each decoded row goes into the
  // resampler while it is in the cache.
  const double streamedMs = MedianMs(runs, [&] {
    AreaResampler r(kPhotoW, canvasH, kTargetW, kTargetH, [&](int, const std::uint8_t*) {});
    r.pushUniformRows(drawTop, band);
    const EachRow each = [&](const std::uint8_t* row) { r.pushRow(row); };
    int dw = 0, dh = 0;
    DecodeJpeg(&jpeg, nullptr, &dw, &dh, &each);
    r.pushUniformRows(canvasH - drawTop - kPhotoH, band);
  });
  // The resampler's share of that road: the same calls fed from 16 rows
  // that stay in the cache, as decoder rows are (its cost does not depend on
  // the pixel values).
  const double hotMs = MedianMs(runs, [&] {
    AreaResampler r(kPhotoW, canvasH, kTargetW, kTargetH, [&](int, const std::uint8_t*) {});
    r.pushUniformRows(drawTop, band);
    for (int y = 0; y < kPhotoH; ++y) r.pushRow(decoded.data() + static_cast<std::size_t>(y % 16) * kPhotoW * 3);
    r.pushUniformRows(canvasH - drawTop - kPhotoH, band);
  });
  const double shrinkMs = MedianMs(runs, [&] {
    target.assign(static_cast<std::size_t>(kTargetW) * kTargetH * 3, 0);
    AreaResampler r(kPhotoW, canvasH, kTargetW, kTargetH, [&](int y, const std::uint8_t* bgr) {
      std::copy_n(bgr, kTargetW * 3, target.data() + static_cast<std::size_t>(y) * kTargetW * 3);
    });
    r.pushUniformRows(drawTop, band);
    for (int y = 0; y < kPhotoH; ++y) r.pushRow(decoded.data() + static_cast<std::size_t>(y) * kPhotoW * 3);
    r.pushUniformRows(canvasH - drawTop - kPhotoH, band);
  });
  trimbrel::Picture picture;
  picture.kind = trimbrel::PictureKind::Jpeg;
  picture.width = kPhotoW;
  picture.height = kPhotoH;
  picture.pixels.resize(decoded.size());
  for (int y = 0; y < kPhotoH; ++y) {
    std::copy_n(decoded.data() + static_cast<std::size_t>(y) * kPhotoW * 3, kPhotoW * 3,
                picture.pixels.data() + static_cast<std::size_t>(kPhotoH - 1 - y) * kPhotoW * 3);
  }
  const double surfaceMs = MedianMs(std::max(1, runs / 2), [&] {
    trimbrel::DrawingSurface surface;
    trimbrel::ClearSurface(surface);
    trimbrel::ResizeSurface(surface, {}, {}, kPhotoW, canvasH);
    trimbrel::DrawPicture(surface, picture, 0, drawTop);
    const Bytes snapshot = trimbrel::TakeSnapshot(surface, kTargetW, kTargetH);
    if (snapshot.size() != 54 + static_cast<std::size_t>((kTargetW * 3 + 3) / 4 * 4) * kTargetH) std::abort();
  });

  std::printf("\n| step | median ms | ratio to the decode |\n|---|---|---|\n");
  std::printf("| decode the 6000x4000 JPEG (libjpeg, full size) | %.1f | 1 |\n", decodeMs);
  std::printf("| decode with every row streamed into the shrink to %dx%d | %.1f | %.3f |\n", kTargetW, kTargetH,
              streamedMs, streamedMs / decodeMs);
  std::printf("| the shrink alone, rows from the cache as the decoder hands them over | %.1f | %.3f |\n", hotMs,
              hotMs / decodeMs);
  std::printf("| shrink alone, canvas 6000x%d to %dx%d, rows read from a 72 MB buffer | %.1f | %.3f |\n", canvasH,
              kTargetW, kTargetH, shrinkMs, shrinkMs / decodeMs);
  std::printf("| surface road: clear, size, draw 1:1, snapshot stretched to %dx%d | %.1f | %.3f |\n", kTargetW, kTargetH,
              surfaceMs, surfaceMs / decodeMs);

  const Dib result = ToDib(target, kTargetW, kTargetH);
  trimbrel::ImageRef image;
  trimbrel::DecodeFromDib(image, result.view());
  trimbrel::SetXDPI(image, 150);
  trimbrel::SetYDPI(image, 150);
  char folder[] = "/tmp/bench-imaging-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  struct Format {
    const char* name;
    int code;
    std::function<bool(trimbrel::ByteSink&)> write;
  };
  const Format formats[] = {
      {"bmp", trimbrel::IMAGE_FORMAT_BMP, [&](trimbrel::ByteSink& s) { return trimbrel::WriteBmp(result.view(), attributes, s).ok(); }},
      {"jpg", trimbrel::IMAGE_FORMAT_JPG, [&](trimbrel::ByteSink& s) { return trimbrel::WriteJpeg(result.view(), attributes, s).ok(); }},
      {"gif", trimbrel::IMAGE_FORMAT_GIF, [&](trimbrel::ByteSink& s) { return trimbrel::WriteTiledRgbGif(result.view(), s).ok(); }},
      {"tiff", trimbrel::IMAGE_FORMAT_TIF, [&](trimbrel::ByteSink& s) { return trimbrel::WriteTiff(result.view(), attributes, s).ok(); }},
      {"png", trimbrel::IMAGE_FORMAT_PNG, [&](trimbrel::ByteSink& s) { return trimbrel::WritePng(result.view(), attributes, s).ok(); }},
  };
  std::printf("\n| %dx%d written as | bytes | median ms into memory | median ms with EncodeToFile |\n|---|---|---|---|\n",
              kTargetW, kTargetH);
  for (const auto& f : formats) {
    std::size_t bytes = 0;
    const double memoryMs = MedianMs(runs * 7, [&] {
      trimbrel::MemorySink sink;
      f.write(sink);
      bytes = sink.data().size();
    });
    const std::string path = std::string(folder) + "/out." + f.name;
    const double fileMs = MedianMs(runs * 7, [&] {
      if (!trimbrel::EncodeToFile(image, path, f.code)) std::abort();
    });
    ::unlink(path.c_str());
    std::printf("| %s | %zu | %.2f | %.2f |\n", f.name, bytes, memoryMs, fileMs);
  }
  ::rmdir(folder);
  return 0;
}
