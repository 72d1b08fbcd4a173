#include "platform/system_reason.hpp"

#include <cstring>

namespace trimbrel {

std::string SystemReason(int code) {
  // strerrordesc_np never translates, unlike strerror, which follows
  // LC_MESSAGES once a window (or a library) has set the locale.
  const char* words = ::strerrordesc_np(code);
  if (words == nullptr || *words == '\0') return "error " + std::to_string(code);
  std::string text(words);
  // ASCII by hand: the ctype functions follow the locale as well.
  auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  if (upper(text[0]) && !(text.size() > 1 && upper(text[1]))) text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

}  // namespace trimbrel
