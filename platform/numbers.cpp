#include "platform/numbers.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace trimbrel {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Skips white space and an optional sign; returns the index of the first
// character after them and sets `negative`.
// A number's text with full-width characters folded to ASCII, and where its
// digits start behind leading blanks and a sign.
struct NumberText {
  std::string text;
  std::size_t blanks = 0;  // leading blanks: where the rest starts when no digits follow
  std::size_t start = 0;
  bool negative = false;
};


// Decides the direction of a conversion that fell out of the double range:
// the power of ten of the leading significant digit tells overflow from
// underflow. `mantissa` holds digits and at most one point; `exponent` is
// already saturated, so the sum cannot wrap.
bool OverflowsUpward(std::string_view mantissa, std::int64_t exponent) {
  const std::size_t point = mantissa.find('.');
  const std::size_t intDigits = point == std::string_view::npos ? mantissa.size() : point;
  for (std::size_t i = 0; i < mantissa.size(); ++i) {
    if (mantissa[i] == '.' || mantissa[i] == '0') continue;
    // Position of this digit as a power of ten.
    const std::int64_t position = i < intDigits ? static_cast<std::int64_t>(intDigits - i) - 1
                                                : -static_cast<std::int64_t>(i - intDigits);
    return position + exponent >= 0;
  }
  return false;
}

// What follows the number from `end` on, unless it is only white space.
std::string IgnoredRest(std::string_view text, std::size_t end) {
  std::size_t i = end;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return i == text.size() ? std::string() : std::string(text.substr(end));
}

}  // namespace

std::string FoldFullWidth(std::string_view gbkText) {
  std::string out;
  out.reserve(gbkText.size());
  for (std::size_t i = 0; i < gbkText.size(); ++i) {
    const auto lead = static_cast<unsigned char>(gbkText[i]);
    if (!IsGbkLead(lead) || i + 1 >= gbkText.size()) {
      out.push_back(gbkText[i]);
      continue;
    }
    const auto trail = static_cast<unsigned char>(gbkText[i + 1]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      out.push_back(static_cast<char>(trail - 0x80));
    } else if (lead == 0xA1 && trail == 0xA1) {
      out.push_back(' ');
    } else if (lead == 0xA1 && trail == 0xAB) {
      out.push_back('~');
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      out.push_back('*');
    } else {
      out.append(gbkText.substr(i, 2));
    }
    ++i;
  }
  return out;
}

double ParseNumber(std::string_view gbkText) { return ReadNumber(gbkText).value; }

namespace {

NumberText ReadNumberText(std::string_view gbkText) {
  NumberText number;
  number.text = FoldFullWidth(gbkText);
  const std::string_view s(number.text);
  while (number.blanks < s.size() && IsCSpace(s[number.blanks])) ++number.blanks;
  number.start = number.blanks;
  if (number.start < s.size() && (s[number.start] == '+' || s[number.start] == '-')) {
    number.negative = s[number.start++] == '-';
  }
  return number;
}

}  // namespace

NumberReading ReadNumber(std::string_view gbkText) {
  const NumberText number = ReadNumberText(gbkText);
  const std::string_view s(number.text);
  const bool negative = number.negative;
  const std::size_t start = number.start;
  std::size_t i = start;

  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return {0.0, IgnoredRest(s, number.blanks)};
  const std::size_t mantissaEnd = i;

  // The exponent counts only when at least one digit follows "e" and its sign.
  std::int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) {
        // Saturate far beyond any double exponent; the direction is all that matters then.
        if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }

  // from_chars takes no sign of its own and never looks at the locale.
  double value = 0.0;
  const char* first = s.data() + start;
  const char* last = s.data() + i;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    value = OverflowsUpward(s.substr(start, mantissaEnd - start), exponent)
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  } else if (ec != std::errc() || ptr != last) {
    value = 0.0;  // cannot happen for the prefix checked above; stay harmless
  }
  return {negative ? -value : value, IgnoredRest(s, i)};
}

int ParseInteger(std::string_view gbkText) { return ReadInteger(gbkText).value; }

IntegerReading ReadInteger(std::string_view gbkText) {
  const NumberText number = ReadNumberText(gbkText);
  const std::string_view s(number.text);
  const bool negative = number.negative;
  std::size_t i = number.start;

  // glibc's atoi is strtol cast to int: strtol saturates at the 64-bit range
  // and the cast keeps the low 32 bits, so "4294967297" gives 1 and
  // "99999999999999999999" gives -1. Callers rely on the same numbers the
  // C library gives, not on a clamp to the int range.
  constexpr std::uint64_t kMaxMagnitude = std::uint64_t{1} << 63;  // |INT64_MIN|
  std::uint64_t magnitude = 0;
  bool saturated = false;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    const auto digit = static_cast<std::uint64_t>(s[i] - '0');
    if (saturated || magnitude > (kMaxMagnitude - digit) / 10) {
      saturated = true;
      continue;
    }
    magnitude = magnitude * 10 + digit;
  }
  IntegerReading reading;
  reading.ignored = IgnoredRest(s, i == number.start ? number.blanks : i);
  constexpr std::uint64_t kIntMagnitude = std::uint64_t{1} << 31;  // |INT_MIN|
  reading.outOfRange = saturated || magnitude > (negative ? kIntMagnitude : kIntMagnitude - 1);
  std::int64_t value = 0;
  if (negative) {
    value = (saturated || magnitude == kMaxMagnitude)
                ? std::numeric_limits<std::int64_t>::min()
                : -static_cast<std::int64_t>(magnitude);
  } else {
    value = (saturated || magnitude >= kMaxMagnitude) ? std::numeric_limits<std::int64_t>::max()
                                                      : static_cast<std::int64_t>(magnitude);
  }
  reading.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
  return reading;
}

double RoundHalfAway(double x) {
  if (x == 0.0) return x;
  const double a = std::fabs(x) + 1e-12;
  double whole = 0.0;
  const double fraction = std::modf(a, &whole);
  const double r = fraction >= 0.5 ? whole + 1.0 : whole;
  return std::copysign(r, x);
}

std::int32_t TruncateToInt(double x) {
  if (!std::isfinite(x)) return 0;
  const double t = std::trunc(x);
  // -2^63 is exact as a double; 2^63 itself is already out of range.
  constexpr double kLow = -9223372036854775808.0;
  constexpr double kHigh = 9223372036854775808.0;
  if (t < kLow || t >= kHigh) return 0;
  const auto wide = static_cast<std::int64_t>(t);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

std::string FormatNumber(double value) {
  // to_chars with a precision is defined as printf's %g in the C locale.
  char buffer[64];
  const auto [ptr, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
  if (ec != std::errc()) return std::string();
  return std::string(buffer, ptr);
}

}  // namespace trimbrel
