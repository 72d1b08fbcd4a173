// Numbers typed into the window and stored in the INI file. They are read the
// way the C library's atof and atoi read them, after full-width digits and
// signs (which a Chinese input method produces easily) are folded to ASCII,
// and never through the process locale: the window sets one, and a German
// locale would otherwise read "2,6" as 2.6 and print 2.6 as "2,6".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trimbrel {

// Folds the GBK full-width forms of printable ASCII (lead byte 0xA3), the
// ideographic space and the full-width tilde and asterisks to single bytes.
// Other double-byte characters are copied whole, so their trail bytes are
// never read as ASCII.
std::string FoldFullWidth(std::string_view gbkText);

// The longest decimal prefix after leading white space: optional sign, digits
// with at most one point, an exponent only when digits follow it. No
// hexadecimal, "inf" or "nan". No prefix gives 0; too large gives ±infinity,
// too small 0 with its sign.
double ParseNumber(std::string_view gbkText);

// Leading white space, optional sign, decimal digits; "150.9" gives 150.
int ParseInteger(std::string_view gbkText);

// The same readings, and what of the text they leave unread: `ignored` is
// the folded text after the number ("cm" of "2.6cm", all of "abc"), with
// white space after the number not counted. `outOfRange`: an integer's
// digits pass the int range, so the value is what atoi makes of them.
struct NumberReading {
  double value = 0.0;
  std::string ignored;
};
NumberReading ReadNumber(std::string_view gbkText);
struct IntegerReading {
  int value = 0;
  std::string ignored;
  bool outOfRange = false;
};
IntegerReading ReadInteger(std::string_view gbkText);

// Half away from zero, where a fraction less than 1e-12 below one half
// already counts as one half (so 0.49999999999999 rounds up).
double RoundHalfAway(double x);

// Truncation toward zero to 64 bits, keeping the low 32. Not finite or
// outside the 64-bit range gives 0.
std::int32_t TruncateToInt(double x);

// printf("%.13g") in the C locale, whatever the process locale is.
std::string FormatNumber(double value);

}  // namespace trimbrel
