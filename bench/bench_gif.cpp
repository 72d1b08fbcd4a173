// Times the tiled GIF writer on generated photo-like pictures, into memory
// and into a file, and prints the median of many runs.
//   bench_gif [runs]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "imaging/byte_sink.hpp"
#include "imaging/dib_view.hpp"
#include "imaging/gif_writer.hpp"

namespace {

struct Picture {
  int width;
  int height;
  std::size_t stride;
  std::vector<std::uint8_t> rows;
  trimbrel::DibView view() const { return {width, height, stride, rows.data()}; }
};

// Gradients with noise, so every tile has many distinct colours as a photo has.
Picture PhotoLike(int width, int height) {
  Picture p{width, height, (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4, {}};
  p.rows.assign(p.stride * static_cast<std::size_t>(height), 0);
  std::mt19937 random(1);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = &p.rows[static_cast<std::size_t>(y) * p.stride];
    for (int x = 0; x < width; ++x) {
      const int noise = static_cast<int>(random() % 9) - 4;
      row[x * 3 + 0] = static_cast<std::uint8_t>(std::clamp((x + y) % 256 + noise, 0, 255));
      row[x * 3 + 1] = static_cast<std::uint8_t>(std::clamp(y * 255 / height - noise, 0, 255));
      row[x * 3 + 2] = static_cast<std::uint8_t>(std::clamp(x * 255 / width + noise, 0, 255));
    }
  }
  return p;
}

template <class Run>
double MedianMs(int runs, Run run) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 101;
  struct Size {
    int width, height;
  };
  for (const Size s : {Size{154, 189}, Size{1000, 1500}}) {
    const Picture picture = PhotoLike(s.width, s.height);
    const int n = s.width * s.height > 100000 ? std::max(1, runs / 10) : runs;
    std::size_t bytes = 0;
    const double memory = MedianMs(n, [&] {
      trimbrel::MemorySink sink;
      (void)trimbrel::WriteTiledRgbGif(picture.view(), sink);
      bytes = sink.data().size();
    });
    const double file = MedianMs(n, [&] {
      std::FILE* f = std::tmpfile();
      if (f == nullptr) return;
      trimbrel::FileSink sink(f);
      (void)trimbrel::WriteTiledRgbGif(picture.view(), sink);
      std::fclose(f);
    });
    std::printf("gif %dx%d (%zu bytes): median %.3f ms into memory, %.3f ms into a file, %d runs\n", s.width,
                s.height, bytes, memory, file, n);
  }
  return 0;
}
