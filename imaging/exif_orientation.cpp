#include "imaging/exif_orientation.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

// TIFF data comes in either byte order; ByteReader speaks little-endian only.
class TiffReader {
 public:
  TiffReader(std::span<const std::uint8_t> data, bool bigEndian) : reader_(data), bigEndian_(bigEndian) {}
  bool seek(std::size_t position) { return reader_.seek(position); }
  bool skip(std::size_t count) { return reader_.skip(count); }
  std::optional<std::uint16_t> u16() {
    auto v = reader_.u16le();
    if (!v) return std::nullopt;
    return bigEndian_ ? static_cast<std::uint16_t>((*v >> 8) | (*v << 8)) : *v;
  }
  std::optional<std::uint32_t> u32() {
    auto v = reader_.u32le();
    if (!v) return std::nullopt;
    if (!bigEndian_) return *v;
    return ((*v & 0xFFu) << 24) | ((*v & 0xFF00u) << 8) | ((*v >> 8) & 0xFF00u) | (*v >> 24);
  }

 private:
  ByteReader reader_;
  bool bigEndian_;
};

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;

}  // namespace

int ExifOrientation(std::span<const std::uint8_t> app1) {
  ByteReader header(app1);
  auto magic = header.bytes(6);
  static constexpr std::array<std::uint8_t, 6> kExif = {'E', 'x', 'i', 'f', 0, 0};
  if (!magic || !std::equal(magic->begin(), magic->end(), kExif.begin())) return 1;
  auto order = header.bytes(2);
  if (!order) return 1;
  bool bigEndian;
  if ((*order)[0] == 'I' && (*order)[1] == 'I') {
    bigEndian = false;
  } else if ((*order)[0] == 'M' && (*order)[1] == 'M') {
    bigEndian = true;
  } else {
    return 1;
  }
  TiffReader tiff(app1.subspan(6), bigEndian);
  if (!tiff.skip(2)) return 1;
  auto magic42 = tiff.u16();
  auto ifdOffset = tiff.u32();
  if (!magic42 || *magic42 != 42 || !ifdOffset || !tiff.seek(*ifdOffset)) return 1;
  auto count = tiff.u16();
  if (!count) return 1;
  for (std::uint16_t i = 0; i < *count; ++i) {
    auto tag = tiff.u16();
    auto type = tiff.u16();
    auto valueCount = tiff.u32();
    auto value = tiff.u16();
    if (!tag || !type || !valueCount || !value || !tiff.skip(2)) return 1;
    if (*tag != kOrientationTag) continue;
    if (*type != kTypeShort || *valueCount < 1 || *value < 1 || *value > 8) return 1;
    return *value;
  }
  return 1;
}

}  // namespace trimbrel
