// Seeds for the number fuzzer: typed sizes, full-width forms and the edges of
// the double and integer ranges.
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const std::string seeds[] = {
      "2.6", " -150.9e-2x", "2,6", ".5", "1e", "1e+400", "-1e-400", "4.9e-324",
      "99999999999999999999", "-9223372036854775808", "0x1A", "inf",
      "\xA3\xAD\xA3\xB1\xA3\xAE\xA3\xB5\xA3\xE5\xA3\xB2", "\xA1\xA1" "3", "\x81" "35",
  };
  int n = 0;
  for (const std::string& seed : seeds) {
    std::ofstream out(folder / ("seed" + std::to_string(n++)), std::ios::binary);
    out << seed;
    if (!out) return 1;
  }
  return 0;
}
