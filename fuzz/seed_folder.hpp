// What every seed program of the picture readers shares: the folder the
// seeds go to, and a cheap, varied colour pattern to fill them with.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// `count` colours of the pattern along a diagonal that rises `rise` per step.
inline std::vector<Rgba> SeedPalette(int count, int rise = 1) {
  std::vector<Rgba> palette;
  for (int i = 0; i < count; ++i) palette.push_back(SeedNoise(i, rise * i));
  return palette;
}

// A seed program's main: argv[1] names the folder, made when missing, that
// `write` fills.
template <class Write>
int RunSeedProgram(int argc, char** argv, Write write) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  write(folder);
  return 0;
}

}  // namespace trimbrel::fixtures
