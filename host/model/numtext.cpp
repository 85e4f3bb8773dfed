#include "numtext.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

namespace forms {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal text to a double and back, correctly rounded and always with "." as the
// point. Where the standard library has no floating-point <charconv> (the browser
// build's libc++), the C library's strtod and printf stand in: they round as
// exactly, and that C library knows no locale but "C".
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
std::errc readDecimal(std::string_view num, double& v) {
  return std::from_chars(num.data(), num.data() + num.size(), v).ec;
}
std::size_t writeScientific(double value, std::array<char, 64>& buf) {
  auto [ptr, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific, 14);
  return ec == std::errc() ? static_cast<std::size_t>(ptr - buf.data()) : 0;
}
#else
std::errc readDecimal(std::string_view num, double& v) {
  // Only ever given a scanned number: digits, a point, an exponent, no sign.
  const std::string text(num);
  char* end = nullptr;
  errno = 0;
  const double read = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) {
    return std::errc::invalid_argument;
  }
  // As from_chars: a result rounded to zero or beyond the largest double is out of
  // range and leaves v alone; a subnormal one is a value.
  if (errno == ERANGE && (read == 0 || std::isinf(read))) {
    return std::errc::result_out_of_range;
  }
  v = read;
  return std::errc();
}
std::size_t writeScientific(double value, std::array<char, 64>& buf) {
  const int n = std::snprintf(buf.data(), buf.size(), "%.14e", value);
  return n > 0 && static_cast<std::size_t>(n) < buf.size() ? static_cast<std::size_t>(n) : 0;
}
#endif

struct Scan {
  std::size_t begin = 0; // first character of the number (its sign included)
  std::size_t end = 0;   // one past its last character; begin == end: no number
};

// The longest decimal number at position pos: [sign] digits [. digits] [e [sign] digits].
Scan scanNumber(std::string_view s, std::size_t pos) {
  Scan r{pos, pos};
  std::size_t i = pos;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    ++i;
  }
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) {
    ++i;
    ++digits;
  }
  if (i < s.size() && s[i] == '.') {
    std::size_t j = i + 1;
    std::size_t frac = 0;
    while (j < s.size() && isDigit(s[j])) {
      ++j;
      ++frac;
    }
    if (digits + frac > 0) {
      i = j;
      digits += frac;
    }
  }
  if (digits == 0) {
    return r;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      ++j;
    }
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) {
        ++j;
      }
      i = j;
    }
  }
  r.end = i;
  return r;
}

// The power of ten of a number's first significant digit: 2 for "120", -2 for
// "0.05", 5 for "0.01e7". Only its sign is used, so a long exponent is clamped.
long long magnitude(std::string_view num) {
  constexpr long long kClamp = 1'000'000'000;
  const std::size_t e = num.find_first_of("eE");
  long long exponent = 0;
  if (e != std::string_view::npos) {
    std::size_t i = e + 1;
    const bool negative = i < num.size() && num[i] == '-';
    if (i < num.size() && (num[i] == '+' || num[i] == '-')) {
      ++i;
    }
    for (; i < num.size() && isDigit(num[i]); ++i) {
      exponent = std::min(exponent * 10 + (num[i] - '0'), kClamp);
    }
    exponent = negative ? -exponent : exponent;
  }
  const std::string_view mantissa = num.substr(0, e);
  const std::size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  const std::size_t lead = whole.find_first_not_of('0');
  if (lead != std::string_view::npos) {
    return static_cast<long long>(whole.size() - lead) - 1 + exponent;
  }
  const std::string_view fraction = point == std::string_view::npos ? "" : mantissa.substr(point + 1);
  const std::size_t first = fraction.find_first_not_of('0');
  return first == std::string_view::npos ? -1 : -static_cast<long long>(first) - 1 + exponent;
}

double valueOf(std::string_view s, Scan sc) {
  std::string_view num = s.substr(sc.begin, sc.end - sc.begin);
  bool negative = false;
  if (!num.empty() && (num.front() == '+' || num.front() == '-')) {
    negative = num.front() == '-';
    num.remove_prefix(1);
  }
  double v = 0;
  const std::errc ec = readDecimal(num, v);
  if (ec == std::errc::result_out_of_range) {
    // Too large for a double reads as the largest one; too small as 0.
    v = magnitude(num) < 0 ? 0.0 : std::numeric_limits<double>::max();
  } else if (ec != std::errc()) {
    v = 0;
  }
  return negative ? -v : v;
}

std::size_t skipBlanks(std::string_view s, std::size_t i) {
  while (i < s.size() && isBlank(s[i])) {
    ++i;
  }
  return i;
}

// Full-width digits, point, signs and the ideographic space, as a Japanese input
// method types them, folded to their ASCII forms; every other character is kept.
std::string foldWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (i + 2 < text.size()) {
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      const unsigned cp = ((b0 & 0x0FU) << 12) | ((b1 & 0x3FU) << 6) | (b2 & 0x3FU);
      if ((b0 & 0xF0U) == 0xE0U && (b1 & 0xC0U) == 0x80U && (b2 & 0xC0U) == 0x80U) {
        if (cp >= 0xFF01 && cp <= 0xFF5E) {
          out.push_back(static_cast<char>(cp - 0xFEE0));
          i += 2;
          continue;
        }
        if (cp == 0x3000) {
          out.push_back(' ');
          i += 2;
          continue;
        }
        if (cp == 0x2212) {
          out.push_back('-');
          i += 2;
          continue;
        }
      }
    }
    out.push_back(static_cast<char>(b0));
  }
  return out;
}

} // namespace

double textToNumber(std::string_view text) {
  const std::string s = foldWidth(text);
  const Scan sc = scanNumber(s, skipBlanks(s, 0));
  return sc.begin == sc.end ? 0.0 : valueOf(s, sc);
}

std::string numberToText(double value) {
  if (std::isnan(value)) {
    return "0";
  }
  if (std::isinf(value)) {
    value = value > 0 ? std::numeric_limits<double>::max() : -std::numeric_limits<double>::max();
  }
  std::array<char, 64> buf{};
  // d.dddddddddddddde±x: fifteen significant digits, then placed without exponent.
  const std::size_t written = writeScientific(value, buf);
  if (written == 0) {
    return "0";
  }
  const std::string_view sci(buf.data(), written);
  std::size_t i = 0;
  const bool negative = sci[0] == '-';
  if (negative) {
    ++i;
  }
  std::string digits;
  const std::size_t epos = sci.find('e');
  for (; i < epos; ++i) {
    if (isDigit(sci[i])) {
      digits.push_back(sci[i]);
    }
  }
  int exponent = 0;
  std::from_chars(sci.data() + epos + 1 + (sci[epos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
  }
  if (digits == "0") {
    return "0";
  }
  std::string out;
  if (negative) {
    out.push_back('-');
  }
  const int n = static_cast<int>(digits.size());
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= n) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent + 1 - n), '0');
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    out += digits.substr(0, whole);
    out.push_back('.');
    out += digits.substr(whole);
  }
  return out;
}

} // namespace forms
