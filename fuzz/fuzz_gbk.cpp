// Text conversion sees whatever a user types or a file holds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/platform.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = trimbrel::GbkToUtf8(text);
  const std::string gbk = trimbrel::Utf8ToGbk(utf8);
  for (std::size_t i = 0; i <= size && i < 64; ++i) (void)trimbrel::IsGbkCharBoundary(text, i);
  return gbk.size() > 4 * size + 16 ? 1 : 0;
}
