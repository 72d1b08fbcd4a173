// Finding sections and keys in the settings file by byte search. Nothing is
// parsed into a tree: every byte we do not edit stays as the user's editor
// left it. Lines end with CR LF only; a lone LF is an ordinary byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trimbrel {

inline constexpr std::string_view kLineBreak = "\r\n";

// True when `offset` starts a line: the start of the text, or right after CR LF.
bool StartsLine(std::string_view content, std::size_t offset);

// The first CR LF at or after `from`, or the end of the text.
std::size_t LineEnd(std::string_view content, std::size_t from);

// The offset of the "[" of a header line that starts after `from` and whose
// "]" + CR LF ends at or before `to`, or -1. It tells whether a key found
// after a section's header really belongs to a later section.
long FindHeaderBetween(std::string_view content, long from, long to);

// The offset of the CR before `key` + "=" in the section whose header ends at
// `headerEnd`, or npos when the key is absent from that section. Only the
// first occurrence counts; one under a later header means absent.
std::size_t FindKeyLine(std::string_view content, std::size_t headerEnd, std::string_view key);

// Where a new key line goes: at the end of the header's own line, before its
// CR LF or at the end of the text. Bytes that follow "]" on the header line
// stay there rather than becoming the new entry's value.
inline std::size_t NewKeyOffset(std::string_view content, std::size_t headerEnd) {
  return LineEnd(content, headerEnd);
}

}  // namespace trimbrel
