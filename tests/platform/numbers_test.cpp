#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/platform.hpp"

namespace trimbrel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Bitwise, so 0 and -0 differ and infinities compare.
void ExpectSameDouble(double expected, double actual, const std::string& context) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(expected), std::bit_cast<std::uint64_t>(actual))
      << context << ": expected " << expected << ", got " << actual;
}

std::string Quoted(const std::string& s) { return "text=\"" + s + "\""; }

TEST(ParseNumber, ReadsTheLongestDecimalPrefix) {
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"2.6", 2.6},
      {"2,6", 2.0},  // only the point separates decimals
      {"", 0.0},
      {"abc", 0.0},
      {" \t\n\v\f\r7", 7.0},
      {"+1.5", 1.5},
      {"-2.5", -2.5},
      {".5", 0.5},
      {"5.", 5.0},
      {".", 0.0},
      {"-", 0.0},
      {"+-1", 0.0},
      {"1.2.3", 1.2},
      {"150px", 150.0},
      {"1e5x", 1e5},
      {"1E-2", 0.01},
      {"1e", 1.0},    // an exponent needs digits
      {"1e+", 1.0},
      {"1e+x", 1.0},
      {"2.5e1.5", 25.0},
      // strtod would accept these; the inputs never meant them.
      {"0x10", 0.0},
      {"0x1p3", 0.0},
      {"inf", 0.0},
      {"-infinity", 0.0},
      {"nan", 0.0},
      {"NAN(1)", 0.0},
  };
  for (const Case& c : cases) ExpectSameDouble(c.expected, ParseNumber(c.text), Quoted(c.text));
  ExpectSameDouble(-0.0, ParseNumber("-0"), "-0 keeps its sign");
}

TEST(ParseNumber, FoldsFullWidthCharacters) {
  struct Case {
    const char* gbk;
    double expected;
    const char* what;
  } cases[] = {
      {"\xA3\xB2\xA3\xAE\xA3\xB6", 2.6, "full-width 2.6"},
      {"\xA3\xAD\xA3\xB1\xA3\xAE\xA3\xB5\xA3\xE5\xA3\xB2", -150.0, "full-width -1.5e2"},
      {"\xA1\xA1\xA1\xA1" "3", 3.0, "ideographic spaces before 3"},
      {"\xA3\xB2\xA3\xAC\xA3\xB6", 2.0, "full-width 2,6"},
      {"1\xA3\xB0" "0", 100.0, "half- and full-width digits mixed"},
      {"\xA4\xA1" "5", 0.0, "a kana before the digit"},
      // 0x81 leads a two-byte character, so the 3 after it is no digit.
      {"\x81" "35", 0.0, "digit as trail byte"},
      {"4\xB0\xA1", 4.0, "a Chinese character ends the number"},
  };
  for (const Case& c : cases) ExpectSameDouble(c.expected, ParseNumber(c.gbk), c.what);
}

TEST(FoldFullWidth, MapsOnlyTheListedCharacters) {
  EXPECT_EQ(FoldFullWidth("\xA3\xA1\xA3\xC1\xA3\xFE"), "!A~");
  EXPECT_EQ(FoldFullWidth("\xA1\xA1\xA1\xAB\xA1\xEE\xA1\xEF"), " ~**");
  // Other double-byte characters stay whole, including 0xA3 0xA0 just below the range.
  EXPECT_EQ(FoldFullWidth("\xA3\xA0\xA1\xA2\xD0\xDE"), "\xA3\xA0\xA1\xA2\xD0\xDE");
  EXPECT_EQ(FoldFullWidth("x\xA3"), "x\xA3");  // a lone lead byte at the end
}

TEST(ParseNumber, OutOfRangeGivesInfinityOrSignedZero) {
  const std::string manyZeros(400, '0');
  struct Case {
    std::string text;
    double expected;
  } cases[] = {
      {"1e400", kInf},
      {"-1e400", -kInf},
      {"1e99999999999999999999", kInf},
      {"1" + manyZeros, kInf},
      {"0." + manyZeros + "1e400", 1e-1},  // the leading zeros count against the exponent
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"100000e-330", 0.0},
      {"0." + manyZeros + "1", 0.0},
      {"-1e-99999999999999999999", -0.0},
      {"0e99999", 0.0},
  };
  for (const Case& c : cases) ExpectSameDouble(c.expected, ParseNumber(c.text), Quoted(c.text));
}

// Within the decimal forms, the value must be strtod's, correctly rounded
// (the tests run in the C locale).
TEST(ParseNumber, AgreesWithTheCLibraryOnDecimalText) {
  const char* texts[] = {
      "0.1", "0.3937008", "153.543312", "2.2250738585072011e-308", "4.9e-324", "1e-310",
      "1.7976931348623157e308", "1.7976931348623159e308", "123456789012345678901234567890",
      "0.000000000000000000000000000123456789", "9007199254740993", "  -7.25e-3xyz", "1e+0",
  };
  for (const char* text : texts)
    ExpectSameDouble(std::strtod(text, nullptr), ParseNumber(text), Quoted(text));
}

TEST(ParseInteger, FollowsGlibcAtoi) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"150", 150},
      {"150.9", 150},
      {"abc", 0},
      {"", 0},
      {" \t-42x", -42},
      {"+7", 7},
      {"+-7", 0},
      {"\xA3\xB1\xA3\xB5\xA3\xB0", 150},  // full-width 150
      {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},  // low 32 bits
      {"4294967297", 1},
      {"-2147483649", 2147483647},
      {"9223372036854775807", -1},
      {"9223372036854775808", -1},  // strtol saturates at the 64-bit maximum
      {"99999999999999999999", -1},
      {"-9223372036854775808", 0},
      {"-99999999999999999999", 0},
      {"0x1A", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, ParseInteger(c.text)) << Quoted(c.text);
    // The folded ASCII cases must match the C library itself (atoi is strtol cast to int).
    const std::string folded = FoldFullWidth(c.text);
    EXPECT_EQ(static_cast<int>(std::strtol(folded.c_str(), nullptr, 10)), ParseInteger(c.text))
        << Quoted(c.text);
  }
}

// What the readings leave unread, so that callers can say so.
TEST(ReadNumber, TellsWhatWasIgnored) {
  struct Case {
    const char* text;
    double number;
    const char* numberIgnored;
    int integer;
    const char* integerIgnored;
    bool integerOutOfRange;
  } cases[] = {
      {"150", 150, "", 150, "", false},
      {" 150 \t", 150, "", 150, "", false},  // white space after the number is no loss
      {"2,6", 2, ",6", 2, ",6", false},
      {"2.6cm", 2.6, "cm", 2, ".6cm", false},
      {"1e3", 1000, "", 1, "e3", false},
      {"1e", 1, "e", 1, "e", false},
      {"abc", 0, "abc", 0, "abc", false},
      {"  -x", 0, "-x", 0, "-x", false},
      {"", 0, "", 0, "", false},
      {"\xA3\xB2\xA3\xAC\xA3\xB6", 2, ",6", 2, ",6", false},  // full-width 2,6, folded
      {"2147483647", 2147483647, "", 2147483647, "", false},
      {"-2147483648", -2147483648.0, "", -2147483647 - 1, "", false},
      {"2147483648", 2147483648.0, "", -2147483647 - 1, "", true},
      {"4294967446", 4294967446.0, "", 150, "", true},
      {"-2147483649", -2147483649.0, "", 2147483647, "", true},
      {"99999999999999999999x", 1e20, "x", -1, "x", true},
  };
  for (const Case& c : cases) {
    const NumberReading number = ReadNumber(c.text);
    EXPECT_EQ(number.value, c.number) << Quoted(c.text);
    EXPECT_EQ(number.ignored, c.numberIgnored) << Quoted(c.text);
    const IntegerReading integer = ReadInteger(c.text);
    EXPECT_EQ(integer.value, c.integer) << Quoted(c.text);
    EXPECT_EQ(integer.ignored, c.integerIgnored) << Quoted(c.text);
    EXPECT_EQ(integer.outOfRange, c.integerOutOfRange) << Quoted(c.text);
  }
}

TEST(RoundHalfAway, RoundsHalvesAwayFromZeroWithATinyNudge) {
  struct Case {
    double x;
    double expected;
  } cases[] = {
      {0.0, 0.0},
      {-0.0, -0.0},
      {2.5, 3.0},
      {-2.5, -3.0},
      {2.4, 2.0},
      {-2.4, -2.0},
      {100.5, 101.0},
      {153.543312, 154.0},
      {188.976384, 189.0},
      {0.5, 1.0},
      {0.4999999999995, 1.0},  // within 1e-12 below one half
      {0.49999999999, 0.0},    // further below
      {-0.4999999999995, -1.0},
      {1e300, 1e300},
      {kInf, kInf},
      {-kInf, -kInf},
  };
  for (const Case& c : cases)
    ExpectSameDouble(c.expected, RoundHalfAway(c.x), "x=" + FormatNumber(c.x));
  EXPECT_TRUE(std::isnan(RoundHalfAway(std::nan(""))));
}

TEST(TruncateToInt, KeepsTheLow32BitsOfA64BitTruncation) {
  const double below2p63 = 9223372036854774784.0;  // largest double under 2^63
  struct Case {
    double x;
    std::int32_t expected;
  } cases[] = {
      {1.9, 1},
      {-1.9, -1},
      {-0.5, 0},
      {1e-300, 0},
      {-2147483648.7, -2147483647 - 1},
      {2147483648.0, -2147483647 - 1},
      {4294967301.0, 5},
      {below2p63, -1024},  // 0x7FFFFFFFFFFFFC00
      {-below2p63, 1024},
      {-9223372036854775808.0, 0},  // INT64_MIN itself is in range
      {9223372036854775808.0, 0},   // 2^63 is not
      {1e19, 0},
      {-1e19, 0},
      {kInf, 0},
      {-kInf, 0},
      {std::nan(""), 0},
      {0.0 / std::numeric_limits<double>::infinity(), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, TruncateToInt(c.x)) << "x=" << FormatNumber(c.x);
}

TEST(FormatNumber, PrintsLikePercentPoint13g) {
  struct Case {
    double value;
    const char* expected;
  } cases[] = {
      {0.1 + 0.2, "0.3"},   {1e20, "1e+20"}, {1e-5, "1e-05"},   {2.6, "2.6"},
      {-0.0, "-0"},         {150.0, "150"},  {kInf, "inf"},     {-kInf, "-inf"},
      {1e-4, "0.0001"},     {1e13, "1e+13"}, {1e12, "1000000000000"},
      {12345678901234.5, "1.234567890123e+13"}, {0.3937008, "0.3937008"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FormatNumber(c.value)) << c.expected;

  const double more[] = {std::nan(""), -std::nan(""), 5e-324, 1.7976931348623157e308,
                         123.456789012345678, -9.87654321e-200, 0.5, 1e100};
  for (double v : more) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", v);
    EXPECT_EQ(std::string(buffer), FormatNumber(v));
  }
}

TEST(Numbers, IgnoreTheProcessLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"};
  const char* chosen = nullptr;
  for (const char* name : names) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const double parsedPoint = ParseNumber("2.6");
  const double parsedComma = ParseNumber("2,6");
  const std::string formatted = FormatNumber(2.6);
  const int integer = ParseInteger("150.9");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(2.6, parsedPoint) << chosen;
  EXPECT_EQ(2.0, parsedComma) << chosen;
  EXPECT_EQ("2.6", formatted) << chosen;
  EXPECT_EQ(150, integer) << chosen;
}

}  // namespace
}  // namespace trimbrel
