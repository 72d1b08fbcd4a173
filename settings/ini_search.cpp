#include "settings/ini_search.hpp"

#include <algorithm>
#include <string>

namespace trimbrel {

bool StartsLine(std::string_view content, std::size_t offset) {
  return offset == 0 || (offset >= 2 && offset <= content.size() &&
                         content.substr(offset - 2, 2) == kLineBreak);
}

std::size_t LineEnd(std::string_view content, std::size_t from) {
  const std::size_t at = content.find(kLineBreak, from);
  return at == std::string_view::npos ? content.size() : at;
}

long FindHeaderBetween(std::string_view content, long from, long to) {
  constexpr auto npos = std::string_view::npos;
  if (to <= 0) return -1;
  std::size_t pos = static_cast<std::size_t>(std::max(from, 0L));
  const auto limit = static_cast<std::size_t>(to);
  // The first "]" + CR LF at or after the candidate is the same for every
  // candidate before it, so it is searched once, not once per candidate:
  // a file full of "[" lines without a closing "]" stays linear.
  std::size_t close = npos;
  bool closeKnown = false;
  for (;;) {
    const std::size_t lineBreak = content.find("\r\n[", pos);
    if (lineBreak == npos || lineBreak >= limit) return -1;
    const std::size_t open = lineBreak + 2;
    if (!closeKnown || close < open) {
      close = content.find("]\r\n", open);
      closeKnown = true;
    }
    // No "]" + CR LF after this candidate means none after any later one.
    if (close == npos || close > limit) return -1;
    // The candidate is a header line when its first CR LF is the one after "]".
    if (LineEnd(content, open) > close) return static_cast<long>(open);
    pos = open;
  }
}

std::size_t FindKeyLine(std::string_view content, std::size_t headerEnd, std::string_view key) {
  std::string needle;
  needle.reserve(key.size() + 3);
  needle.append(kLineBreak).append(key).push_back('=');
  const std::size_t at = content.find(needle, headerEnd == 0 ? 0 : headerEnd - 1);
  if (at == std::string_view::npos) return at;
  if (FindHeaderBetween(content, static_cast<long>(headerEnd), static_cast<long>(at + 1)) != -1) {
    return std::string_view::npos;
  }
  return at;
}

}  // namespace trimbrel
