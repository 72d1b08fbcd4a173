// Texts of the program are GBK byte strings; file paths and the terminal are
// UTF-8. These convert between the two (characters GBK cannot hold become "?";
// invalid GBK input becomes U+FFFD).
#pragma once

#include <string>
#include <string_view>

namespace trimbrel {

std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// True when byte i of a GBK text starts a character (not the trail byte of a
// double-byte character); scans from the start, as GBK cannot be read backwards.
bool IsGbkCharBoundary(std::string_view gbk, std::size_t index);

}  // namespace trimbrel
