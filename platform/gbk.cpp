#include "platform/gbk.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace trimbrel {
namespace {

// One conversion through iconv. On a character the target cannot hold,
// `replacement` is written and the input advances by `skip(in)` bytes.
template <class SkipFn>
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, SkipFn skip) {
  // ASCII is the same bytes in both, and most texts are nothing else: they
  // need no converter, whose first use loads a module from disk.
  if (std::all_of(input.begin(), input.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(input);
  }
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  out.reserve(input.size() * 3 / 2 + 8);
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: an unconvertible or incomplete character.
      out.append(replacement);
      std::size_t n = skip(std::string_view(in, inLeft));
      in += n;
      inLeft -= n;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

std::size_t Utf8SequenceLength(std::string_view s) {
  const auto b = static_cast<unsigned char>(s[0]);
  std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  std::size_t i = 1;
  while (i < n && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

std::size_t GbkSequenceLength(std::string_view s) {
  const auto b = static_cast<unsigned char>(s[0]);
  return (b >= 0x81 && b <= 0xFE && s.size() >= 2) ? 2 : 1;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  return Convert("GBK", "UTF-8", utf8, "?", Utf8SequenceLength);
}

std::string GbkToUtf8(std::string_view gbk) {
  return Convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD", GbkSequenceLength);
}

bool IsGbkCharBoundary(std::string_view gbk, std::size_t index) {
  std::size_t i = 0;
  while (i < index && i < gbk.size()) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    i += (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
  }
  return i == index;
}

}  // namespace trimbrel
