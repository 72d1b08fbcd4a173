// Decoding speed of large JPEG photos: LoadPicture (file to kind-1 picture)
// and the row stream at each DCT scale, as medians of repeated runs.
//   bench_decode [--runs N] photo.jpg...   (N = 1 times a single LoadPicture)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/imaging.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct NullSink : trimbrel::RowStreamSink {
  int width = 0;
  unsigned sum = 0;
  bool begin(int w, int) override {
    width = w;
    return true;
  }
  void row(int, const std::uint8_t* bgr) override { sum += bgr[0] + bgr[3 * (width - 1)]; }
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<std::string> photos;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      photos.emplace_back(argv[i]);
    }
  }
  if (photos.empty()) {
    std::fprintf(stderr, "usage: bench_decode [--runs N] photo.jpg...\n");
    return 2;
  }
  for (const std::string& photo : photos) {
    std::vector<double> load;
    int width = 0, height = 0;
    for (int r = 0; r < runs; ++r) {
      const auto start = Clock::now();
      const trimbrel::PictureHandle handle = trimbrel::LoadPicture(photo);
      load.push_back(millisecondsSince(start));
      if (handle == 0) {
        std::fprintf(stderr, "%s: %s\n", photo.c_str(), trimbrel::DecodePictureFile(photo).error().reason.c_str());
        return 1;
      }
      width = trimbrel::PictureWidth(handle);
      height = trimbrel::PictureHeight(handle);
      trimbrel::UnloadPicture(handle);
    }
    std::printf("%s %dx%d LoadPicture median %.1f ms\n", photo.c_str(), width, height, median(load));
    if (runs == 1) continue;

    std::ifstream in(photo, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    for (int denom : {1, 2, 4, 8}) {
      std::vector<double> stream;
      for (int r = 0; r < runs; ++r) {
        NullSink sink;
        const auto start = Clock::now();
        if (!trimbrel::DecodeJpegRows(bytes, denom, sink).ok()) return 1;
        stream.push_back(millisecondsSince(start));
      }
      std::printf("%s   rows at 1/%d median %.1f ms\n", photo.c_str(), denom, median(stream));
    }
  }
  return 0;
}
