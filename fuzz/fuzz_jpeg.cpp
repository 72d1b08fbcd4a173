// JPEG files through libjpeg: the error wall, EXIF orientation, the row
// stream at reduced scales, and a file read while it decodes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/jpeg_reader.hpp"

namespace {

struct SumRows : trimbrel::RowStreamSink {
  int width = 0;
  unsigned sum = 0;
  bool begin(int w, int) override {
    width = w;
    return true;
  }
  void row(int, const std::uint8_t* bgr) override {
    for (int i = 0; i < 3 * width; ++i) sum += bgr[i];
  }
};

// The same bytes as a file that is read while it decodes; the part read
// beforehand is as long as the input's middle byte says, so it ends inside
// the header more often than not.
void DecodeFromFile(std::span<const std::uint8_t> bytes, SumRows& sink) {
  static const int fd = ::memfd_create("fuzz-jpeg", MFD_CLOEXEC);
  if (fd < 0 || bytes.empty() || ::ftruncate(fd, 0) != 0) return;
  if (::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return;
  auto head = trimbrel::ReadFileHead("/proc/self/fd/" + std::to_string(fd), bytes[bytes.size() / 2]);
  if (!head) return;
  (void)trimbrel::DecodeJpegRows(head.value().bytes.span(), head.value().file, 2, sink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const std::span<const std::uint8_t> bytes(data, size);
  // Large pictures decode correctly but slowly; the fuzzer looks for faults.
  auto info = trimbrel::ReadJpegInfo(bytes);
  if (!info || std::int64_t{info.value().width} * info.value().height > (1 << 22)) return 0;
  unsigned sum = 0;
  auto decoded = trimbrel::DecodeJpeg(bytes);
  if (decoded) {
    for (std::uint8_t b : decoded.value().pixels) sum += b;
  }
  SumRows sink;
  (void)trimbrel::DecodeJpegRows(bytes, 2, sink);
  // 1/8 of a progressive file goes through the scan filter first.
  (void)trimbrel::DecodeJpegRows(bytes, 8, sink);
  DecodeFromFile(bytes, sink);
  [[maybe_unused]] static volatile unsigned total;
  total = sum + sink.sum;
  return 0;
}
