// The number rules read whatever a user types or an INI file holds. Within
// the decimal forms they must agree with the C library (the fuzzer runs in the
// C locale), bit for bit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 512) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string folded = trimbrel::FoldFullWidth(text);
  const double value = trimbrel::ParseNumber(text);
  const int integer = trimbrel::ParseInteger(text);

  // strtod also reads hexadecimal, "inf" and "nan", which ours refuses.
  std::size_t i = std::strspn(folded.c_str(), " \t\n\v\f\r");
  if (folded[i] == '+' || folded[i] == '-') ++i;
  const char c = folded[i];
  const bool special = c == 'i' || c == 'I' || c == 'n' || c == 'N' ||
                       (c == '0' && (folded[i + 1] == 'x' || folded[i + 1] == 'X'));
  if (!special) {
    const double expected = std::strtod(folded.c_str(), nullptr);
    if (std::memcmp(&expected, &value, sizeof value) != 0) std::abort();
  }
  if (integer != static_cast<int>(std::strtol(folded.c_str(), nullptr, 10))) std::abort();

  char printed[64];
  std::snprintf(printed, sizeof printed, "%.13g", value);
  if (trimbrel::FormatNumber(value) != printed) std::abort();
  volatile std::int32_t sink = trimbrel::TruncateToInt(trimbrel::RoundHalfAway(value));
  (void)sink;
  return 0;
}
