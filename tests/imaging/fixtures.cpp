#include "fixtures.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

// clang-format off
#include <jpeglib.h>
// clang-format on
#include <png.h>

namespace trimbrel::fixtures {
namespace {

void put16le(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32le(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16be(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
void put32be(Bytes& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::int32_t get32le(const Bytes& in, std::size_t at) {
  return static_cast<std::int32_t>(in.at(at) | (in.at(at + 1) << 8) | (in.at(at + 2) << 16) |
                                   (static_cast<std::uint32_t>(in.at(at + 3)) << 24));
}

}  // namespace

Rgba Quadrants(int x, int y, int width, int height) {
  const bool right = x >= width / 2;
  const bool bottom = y >= height / 2;
  if (!bottom) return right ? Rgba{0, 255, 0} : Rgba{255, 0, 0};
  return right ? Rgba{255, 255, 255} : Rgba{0, 0, 255};
}

// ---------------------------------------------------------------- JPEG

Bytes MakeJpeg(int width, int height, const PixelFn& pixel, JpegOptions options) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  const int components = options.grey ? 1 : options.cmyk ? 4 : 3;
  cinfo.input_components = components;
  cinfo.in_color_space = options.grey ? JCS_GRAYSCALE : options.cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.cmyk && options.ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  // One DC scan, then every AC coefficient in a scan of its own, split by
  // successive approximation into as many refinement scans as it takes.
  std::vector<jpeg_scan_info> script;
  if (options.grey && options.scans > 0) {
    const int extra = options.scans - 64;
    script.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k <= 63; ++k) {
      const int al = extra / 63 + (k <= extra % 63 ? 1 : 0);
      script.push_back({1, {0}, k, k, 0, al});
      for (int a = al; a > 0; --a) script.push_back({1, {0}, k, k, a, a - 1});
    }
    cinfo.scan_info = script.data();
    cinfo.num_scans = static_cast<int>(script.size());
  }
  if (options.arithmetic) cinfo.arith_code = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba c = pixel(x, y);
      JSAMPLE* out = &row[static_cast<std::size_t>(x) * components];
      if (options.grey) {
        out[0] = c.r;
      } else if (options.cmyk) {
        // Inverted (Adobe) CMYK without black ink: the stored values are the colour.
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
        out[3] = 255;
      } else {
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes WithExifOrientation(const Bytes& jpeg, int orientation, bool bigEndian) {
  Bytes tiff;
  auto p16 = [&](unsigned v) { bigEndian ? put16be(tiff, v) : put16le(tiff, v); };
  auto p32 = [&](std::uint32_t v) { bigEndian ? put32be(tiff, v) : put32le(tiff, v); };
  tiff.push_back(bigEndian ? 'M' : 'I');
  tiff.push_back(bigEndian ? 'M' : 'I');
  p16(42);
  p32(8);
  p16(2);  // two entries: a resolution unit first, then the orientation
  p16(0x0128);
  p16(3);
  p32(1);
  p16(2);
  p16(0);
  p16(0x0112);
  p16(3);
  p32(1);
  p16(static_cast<unsigned>(orientation));
  p16(0);
  p32(0);
  // Built byte by byte: g++ 12 warns falsely about range inserts here.
  Bytes out;
  out.reserve(jpeg.size() + tiff.size() + 10);
  out.push_back(jpeg.at(0));
  out.push_back(jpeg.at(1));
  out.push_back(0xFF);
  out.push_back(0xE1);
  put16be(out, static_cast<unsigned>(2 + 6 + tiff.size()));
  for (char c : {'E', 'x', 'i', 'f', '\0', '\0'}) out.push_back(static_cast<std::uint8_t>(c));
  for (std::uint8_t b : tiff) out.push_back(b);
  for (std::size_t i = 2; i < jpeg.size(); ++i) out.push_back(jpeg[i]);
  return out;
}

// ---------------------------------------------------------------- PNG

namespace {
void pngWrite(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void pngFlush(png_structp) {}
}  // namespace

Bytes MakePng(int width, int height, const PixelFn& pixel, PngOptions options,
              const std::function<std::uint16_t(int x, int y)>& wide) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, pngWrite, pngFlush);
  const int colourType = options.grey ? (options.alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                                      : (options.alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), options.bitDepth,
               colourType, options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (options.srgbChunk) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(png, info);
  const int channels = (options.grey ? 1 : 3) + (options.alpha ? 1 : 0);
  const int sampleBytes = options.bitDepth / 8;
  std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < height; ++y) {
    auto& row = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      const Rgba c = pixel(x, y);
      std::uint8_t samples[4] = {c.r, c.g, c.b, c.a};
      if (options.grey) samples[1] = c.a;
      for (int s = 0; s < channels; ++s) {
        if (sampleBytes == 1) {
          row.push_back(samples[s]);
        } else {
          const std::uint16_t v = wide && s == 0 ? wide(x, y) : static_cast<std::uint16_t>(samples[s] * 257);
          row.push_back(static_cast<png_byte>(v >> 8));
          row.push_back(static_cast<png_byte>(v));
        }
      }
    }
    pointers.push_back(row.data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// ---------------------------------------------------------------- BMP

Bytes MakeBmp(const BmpPlan& plan) {
  const std::size_t stride = ((static_cast<std::size_t>(plan.width) * plan.bitCount + 31) / 32) * 4;
  const std::uint32_t offset = 14 + plan.infoSize + 4 * static_cast<std::uint32_t>(plan.palette.size());
  Bytes out = {'B', 'M'};
  put32le(out, static_cast<std::uint32_t>(offset + stride * plan.height));
  put32le(out, 0);
  put32le(out, offset);
  put32le(out, plan.infoSize);
  put32le(out, static_cast<std::uint32_t>(plan.width));
  put32le(out, static_cast<std::uint32_t>(plan.topDown ? -plan.height : plan.height));
  put16le(out, 1);
  put16le(out, static_cast<unsigned>(plan.bitCount));
  put32le(out, plan.compression);
  put32le(out, static_cast<std::uint32_t>(stride * plan.height));
  put32le(out, 2835);
  put32le(out, 2835);
  put32le(out, plan.coloursUsed);
  put32le(out, 0);
  out.resize(14 + plan.infoSize, 0);
  for (const Rgba& c : plan.palette) {
    out.insert(out.end(), {c.b, c.g, c.r, 0});
  }
  for (int r = 0; r < plan.height; ++r) {
    const int y = plan.topDown ? r : plan.height - 1 - r;
    Bytes row;
    if (plan.bitCount >= 24) {
      for (int x = 0; x < plan.width; ++x) {
        const std::uint32_t v = plan.value(x, y);
        row.insert(row.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16)});
        if (plan.bitCount == 32) row.push_back(0x7F);
      }
    } else if (plan.bitCount <= 8) {
      unsigned acc = 0;
      int filled = 0;
      for (int x = 0; x < plan.width; ++x) {
        acc = (acc << plan.bitCount) | (plan.value(x, y) & ((1u << plan.bitCount) - 1));
        filled += plan.bitCount;
        if (filled == 8) {
          row.push_back(static_cast<std::uint8_t>(acc));
          acc = 0;
          filled = 0;
        }
      }
      if (filled) row.push_back(static_cast<std::uint8_t>(acc << (8 - filled)));
    }
    row.resize(stride, 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// ---------------------------------------------------------------- Icons

Bytes MakeIconFile(const std::vector<IconEntry>& entries, int type) {
  Bytes out;
  put16le(out, 0);
  put16le(out, static_cast<unsigned>(type));
  put16le(out, static_cast<unsigned>(entries.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
  for (const IconEntry& e : entries) {
    out.insert(out.end(), {e.width, e.height, e.colours, 0});
    put16le(out, 1);
    put16le(out, 32);
    put32le(out, static_cast<std::uint32_t>(e.image.size()));
    put32le(out, offset);
    offset += static_cast<std::uint32_t>(e.image.size());
  }
  for (const IconEntry& e : entries) out.insert(out.end(), e.image.begin(), e.image.end());
  return out;
}

Bytes MakeIconBitmap(int width, int height, int bitCount, const PixelFn& pixel, bool alphaChannel) {
  Bytes out;
  const std::size_t colourStride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
  const std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
  put32le(out, 40);
  put32le(out, static_cast<std::uint32_t>(width));
  put32le(out, static_cast<std::uint32_t>(height * 2));
  put16le(out, 1);
  put16le(out, static_cast<unsigned>(bitCount));
  put32le(out, 0);
  put32le(out, static_cast<std::uint32_t>((colourStride + maskStride) * height));
  put32le(out, 0);
  put32le(out, 0);
  put32le(out, 0);
  put32le(out, 0);
  for (int r = 0; r < height; ++r) {
    const int y = height - 1 - r;
    Bytes row;
    for (int x = 0; x < width; ++x) {
      const Rgba c = pixel(x, y);
      row.insert(row.end(), {c.b, c.g, c.r});
      if (bitCount == 32) row.push_back(alphaChannel ? c.a : 0);
    }
    row.resize(colourStride, 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int r = 0; r < height; ++r) {
    const int y = height - 1 - r;
    Bytes row(maskStride, 0);
    for (int x = 0; x < width; ++x) {
      if (pixel(x, y).a == 0) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// ---------------------------------------------------------------- GIF

Bytes GifLzw(const std::vector<std::uint8_t>& indices, int minimumCodeSize) {
  const int clear = 1 << minimumCodeSize;
  const int end = clear + 1;
  Bytes packed;
  std::uint32_t buffer = 0;
  int count = 0;
  int width = minimumCodeSize + 1;
  auto emit = [&](int code) {
    buffer |= static_cast<std::uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      packed.push_back(static_cast<std::uint8_t>(buffer));
      buffer >>= 8;
      count -= 8;
    }
  };
  std::map<std::pair<int, int>, int> table;
  int next = end + 1;
  emit(clear);
  int prefix = -1;
  for (std::uint8_t value : indices) {
    if (prefix < 0) {
      prefix = value;
      continue;
    }
    auto found = table.find({prefix, value});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    emit(prefix);
    table[{prefix, value}] = next;
    // The reader widens its codes one code later than the table grows here.
    if (next == (1 << width) && width < 12) ++width;
    ++next;
    if (next == 4096) {
      emit(clear);
      table.clear();
      next = end + 1;
      width = minimumCodeSize + 1;
    }
    prefix = value;
  }
  if (prefix >= 0) {
    emit(prefix);
    if (next == (1 << width) && width < 12) ++width;
  }
  emit(end);
  if (count > 0) packed.push_back(static_cast<std::uint8_t>(buffer));
  Bytes out;
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, packed.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
               packed.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  out.push_back(0);
  return out;
}

namespace {
int tableBits(std::size_t entries) {
  int bits = 1;
  while ((std::size_t{1} << bits) < entries) ++bits;
  return bits;
}
void putTable(Bytes& out, const std::vector<Rgba>& table) {
  const std::size_t size = std::size_t{1} << tableBits(table.size());
  for (std::size_t i = 0; i < size; ++i) {
    const Rgba c = i < table.size() ? table[i] : Rgba{};
    out.insert(out.end(), {c.r, c.g, c.b});
  }
}
}  // namespace

Bytes MakeGif(const GifPlan& plan) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  put16le(out, static_cast<unsigned>(plan.screenWidth));
  put16le(out, static_cast<unsigned>(plan.screenHeight));
  out.push_back(plan.global.empty() ? 0 : static_cast<std::uint8_t>(0x80 | 0x70 | (tableBits(plan.global.size()) - 1)));
  out.push_back(static_cast<std::uint8_t>(plan.background));
  out.push_back(0);
  if (!plan.global.empty()) putTable(out, plan.global);
  if (plan.extensions) {
    out.insert(out.end(), {0x21, 0xF9, 4, 0x01, 10, 0, 0, 0});
    out.insert(out.end(), {0x21, 0xFE, 3, 'h', 'i', '!', 0});
    out.insert(out.end(), {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
  }
  out.push_back(0x2C);
  put16le(out, static_cast<unsigned>(plan.left));
  put16le(out, static_cast<unsigned>(plan.top));
  put16le(out, static_cast<unsigned>(plan.width));
  put16le(out, static_cast<unsigned>(plan.height));
  std::uint8_t flags = plan.interlaced ? 0x40 : 0;
  if (!plan.local.empty()) flags |= static_cast<std::uint8_t>(0x80 | (tableBits(plan.local.size()) - 1));
  out.push_back(flags);
  if (!plan.local.empty()) putTable(out, plan.local);
  const auto& table = plan.local.empty() ? plan.global : plan.local;
  const int minimum = plan.minimumCodeSize ? plan.minimumCodeSize : std::max(2, tableBits(table.size()));
  out.push_back(static_cast<std::uint8_t>(minimum));
  std::vector<int> order;
  if (plan.interlaced) {
    for (int start : {0, 4, 2, 1}) {
      const int step = start == 0 || start == 4 ? 8 : start == 2 ? 4 : 2;
      for (int y = start; y < plan.height; y += step) order.push_back(y);
    }
  } else {
    for (int y = 0; y < plan.height; ++y) order.push_back(y);
  }
  std::vector<std::uint8_t> indices;
  for (int y : order) {
    for (int x = 0; x < plan.width; ++x) indices.push_back(plan.index(x, y));
  }
  const Bytes data = GifLzw(indices, minimum);
  out.insert(out.end(), data.begin(), data.end());
  out.push_back(0x3B);
  return out;
}

// ---------------------------------------------------------------- PCX

Bytes MakePcx(const PcxPlan& plan) {
  const int lineBytes = plan.bitsPerPixel == 1 ? (plan.width + 7) / 8 : plan.width;
  const int bytesPerLine = plan.bytesPerLine ? plan.bytesPerLine : (lineBytes + 1) / 2 * 2;
  Bytes out(128, 0);
  out[0] = 0x0A;
  out[1] = static_cast<std::uint8_t>(plan.version);
  out[2] = 1;
  out[3] = static_cast<std::uint8_t>(plan.bitsPerPixel);
  auto at16 = [&](std::size_t at, unsigned v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  at16(4, 0);
  at16(6, 0);
  at16(8, static_cast<unsigned>(plan.width - 1));
  at16(10, static_cast<unsigned>(plan.height - 1));
  at16(12, 72);
  at16(14, 72);
  out[65] = static_cast<std::uint8_t>(plan.planes);
  at16(66, static_cast<unsigned>(bytesPerLine));
  at16(68, 1);
  for (int y = 0; y < plan.height; ++y) {
    Bytes line;
    for (int plane = 0; plane < plan.planes; ++plane) {
      Bytes planeBytes(static_cast<std::size_t>(bytesPerLine), 0);
      for (int x = 0; x < plan.width; ++x) {
        const std::uint8_t v = plan.value(plane, x, y);
        if (plan.bitsPerPixel == 1) {
          if (v) planeBytes[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        } else {
          planeBytes[static_cast<std::size_t>(x)] = v;
        }
      }
      line.insert(line.end(), planeBytes.begin(), planeBytes.end());
    }
    for (std::size_t i = 0; i < line.size();) {
      std::size_t run = 1;
      while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
      if (run > 1 || line[i] >= 0xC0) {
        out.push_back(static_cast<std::uint8_t>(0xC0 | run));
      }
      out.push_back(line[i]);
      i += run;
    }
  }
  if (!plan.palette.empty()) {
    out.push_back(12);
    for (int i = 0; i < 256; ++i) {
      const Rgba c = i < static_cast<int>(plan.palette.size()) ? plan.palette[static_cast<std::size_t>(i)] : Rgba{};
      out.insert(out.end(), {c.r, c.g, c.b});
    }
  }
  return out;
}

// ---------------------------------------------------------------- Reading

Rgba PictureColour(const Picture& picture, int x, int y) {
  const std::size_t w = static_cast<std::size_t>(picture.width);
  const std::size_t h = static_cast<std::size_t>(picture.height);
  const Bytes& p = picture.pixels;
  switch (picture.kind) {
    case PictureKind::Jpeg:
    case PictureKind::Bmp: {
      const std::size_t at = ((h - 1 - static_cast<std::size_t>(y)) * w + static_cast<std::size_t>(x)) * 3;
      return {p.at(at + 2), p.at(at + 1), p.at(at), 255};
    }
    case PictureKind::Icon:
    case PictureKind::Cursor:
    case PictureKind::Png: {
      const std::size_t at = (static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 4;
      return {p.at(at + 2), p.at(at + 1), p.at(at), p.at(at + 3)};
    }
    case PictureKind::Gif:
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: {
      const std::int32_t dibWidth = get32le(p, 4);
      const std::int32_t dibHeight = get32le(p, 8);
      const int bits = p.at(14) | (p.at(15) << 8);
      const std::int32_t colours = get32le(p, 32);
      if (dibWidth != picture.width || dibHeight != -picture.height) throw std::runtime_error("DIB size");
      const std::size_t stride = ((w * static_cast<std::size_t>(bits) + 31) / 32) * 4;
      const std::size_t rowAt = 40 + 4 * static_cast<std::size_t>(colours) + stride * static_cast<std::size_t>(y);
      std::size_t index = 0;
      if (bits == 24) {
        const std::size_t at = rowAt + 3 * static_cast<std::size_t>(x);
        return {p.at(at + 2), p.at(at + 1), p.at(at), 255};
      }
      if (bits == 8) index = p.at(rowAt + static_cast<std::size_t>(x));
      if (bits == 1) index = (p.at(rowAt + static_cast<std::size_t>(x) / 8) >> (7 - x % 8)) & 1;
      const std::size_t at = 40 + 4 * index;
      return {p.at(at + 2), p.at(at + 1), p.at(at), 255};
    }
    case PictureKind::None: break;
  }
  throw std::runtime_error("no picture");
}

int ColourDistance(Rgba a, Rgba b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
}

}  // namespace trimbrel::fixtures
