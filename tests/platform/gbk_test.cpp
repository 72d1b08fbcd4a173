#include <gtest/gtest.h>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

TEST(Gbk, RoundTripsChineseText) {
  const std::string utf8 = "修剪结果";
  const std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk, "\xD0\xDE\xBC\xF4\xBD\xE1\xB9\xFB");
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

TEST(Gbk, AsciiIsTheSameBytesBothWays) {
  std::string every;
  for (int c = 0; c < 0x80; ++c) every += static_cast<char>(c);
  for (const std::string& text : {std::string(), std::string("2.6"), std::string("a\0b", 3), every}) {
    EXPECT_EQ(Utf8ToGbk(text), text);
    EXPECT_EQ(GbkToUtf8(text), text);
  }
  // One character past ASCII converts the whole text.
  EXPECT_EQ(Utf8ToGbk("2.6 厘米"), "2.6 \xC0\xE5\xC3\xD7");
  EXPECT_EQ(GbkToUtf8("2.6 \xC0\xE5\xC3\xD7"), "2.6 厘米");
}

TEST(Gbk, UnconvertibleCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");  // an emoji has no GBK form
  EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "a?b");              // not UTF-8 at all
}

TEST(Gbk, TrailBytesAreNotCharacterBoundaries) {
  // "\x81\x5C" is one character whose trail byte is a backslash.
  const std::string text = "a\x81\\b";
  EXPECT_TRUE(IsGbkCharBoundary(text, 0));
  EXPECT_TRUE(IsGbkCharBoundary(text, 1));
  EXPECT_FALSE(IsGbkCharBoundary(text, 2));
  EXPECT_TRUE(IsGbkCharBoundary(text, 3));
}

}  // namespace
}  // namespace trimbrel
