// What every seed program of the picture readers shares: where the seeds go
// and a cheap, varied colour pattern to fill them with.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/imaging/fixtures.hpp"

namespace trimbrel::fixtures {

inline void WriteSeed(const std::string& folder, const std::string& name, const Bytes& bytes) {
  std::ofstream(folder + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Rgba SeedNoise(int x, int y) {
  return {static_cast<std::uint8_t>(x * 37 + y), static_cast<std::uint8_t>(y * 11), static_cast<std::uint8_t>(x ^ y),
          static_cast<std::uint8_t>(x * 40)};
}

}  // namespace trimbrel::fixtures
