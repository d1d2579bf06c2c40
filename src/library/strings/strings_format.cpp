// 指定形式に変換 (see strings_format.h). Number directives follow the usual
// conventions of this run-time: "%e" writes "d.ddddE+ddd" with a signed
// exponent of at least three digits, "%g" the shortest of fixed and scientific
// form, "%n" fixed with thousands separators and "%m" money as "\1,235" (the
// yen sign of code page 932, no decimals unless a precision is given).
#include "library/strings/strings_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "library/strings/strings_util.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr int kMaxFloatDigits = 18;  // significant digits or decimals of float directives

struct Directive {
  bool left = false;
  long long width = -1;
  long long precision = -1;
  char type = 0;
};

// Reads decimal digits (saturating); false when there are none.
bool ReadCount(std::string_view f, size_t& i, long long& out) {
  size_t start = i;
  long long v = 0;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
    if (v < 1000000000000LL) v = v * 10 + (f[i] - '0');
    ++i;
  }
  out = v;
  return i > start;
}

std::string Printf(const char* fmt, int digits, Number v) {
  char buf[128];
  int n = std::snprintf(buf, sizeof buf, fmt, digits, v);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');  // huge magnitudes in fixed notation
  std::snprintf(out.data(), out.size(), fmt, digits, v);
  out.resize(static_cast<size_t>(n));
  return out;
}

// A fixed-notation text without a minus sign when every digit is zero.
std::string NoNegativeZero(std::string s) {
  if (!s.empty() && s[0] == '-' && s.find_first_of("123456789") == std::string::npos) s.erase(0, 1);
  return s;
}

// Powers of ten up to 10^kMaxFloatDigits, exact in both types.
constexpr auto kPow10 = [] {
  std::array<uint64_t, kMaxFloatDigits + 1> p{};
  p[0] = 1;
  for (int k = 1; k <= kMaxFloatDigits; ++k) p[k] = p[k - 1] * 10;
  return p;
}();

// "%.*Lf" of a finite v whose magnitude times 10^decimals is below 10^18,
// computed in integers: the binary value m x 2^e times 10^decimals, rounded half
// to even (as the C library rounds an exact half), without a minus sign when
// every digit is zero. False beyond that range.
bool FixedInIntegers(Number v, int decimals, std::string& out) {
  uint64_t m;
  uint16_t sign_exponent;
  std::memcpy(&m, &v, sizeof m);  // the x87 format: 64-bit mantissa, sign and exponent
  std::memcpy(&sign_exponent, reinterpret_cast<const char*>(&v) + 8, sizeof sign_exponent);
  const int biased = sign_exponent & 0x7FFF;
  const int e = (biased == 0 ? 1 : biased) - 16383 - 63;
  using U128 = unsigned __int128;
  U128 n = static_cast<U128>(m) * kPow10[decimals];
  uint64_t q;
  if (e >= 0) {
    if (e > 3) return false;  // at least 2^66: beyond the range
    n <<= e;
    if (n > kPow10[kMaxFloatDigits]) return false;
    q = static_cast<uint64_t>(n);
  } else if (-e >= 128) {
    q = 0;
  } else {
    const int shift = -e;
    U128 whole = n >> shift;
    const U128 rest = n - (whole << shift);
    const U128 half = static_cast<U128>(1) << (shift - 1);
    if (rest > half || (rest == half && (whole & 1))) ++whole;
    if (whole > kPow10[kMaxFloatDigits]) return false;
    q = static_cast<uint64_t>(whole);
  }
  char buf[48];
  char* p = buf;
  if ((sign_exponent & 0x8000) && q != 0) *p++ = '-';
  p = std::to_chars(p, buf + sizeof buf, q / kPow10[decimals]).ptr;
  if (decimals > 0) {
    *p++ = '.';
    char* digits_end = p + decimals;
    char* first = std::to_chars(p, digits_end, q % kPow10[decimals]).ptr;
    // to_chars wrote the fraction at the left: move it right, zeros before it.
    const ptrdiff_t written = first - p;
    std::memmove(digits_end - written, p, static_cast<size_t>(written));
    std::fill(p, digits_end - written, '0');
    p = digits_end;
  }
  out.assign(buf, p);
  return true;
}

// Fixed notation with `decimals` decimals. An exact half is rounded away from
// zero (1234.5 -> 1235), as money and table figures expect, where printf would
// round it to even.
std::string Fixed(Number v, long long decimals) {
  int d = static_cast<int>(std::clamp<long long>(decimals, 0, kMaxFloatDigits));
  Number scale = static_cast<Number>(kPow10[d]);
  Number scaled = std::fabs(v) * scale;
  if (scaled < 1e18L) {
    // The floor of a magnitude below 2^63, by truncation.
    Number whole = static_cast<Number>(static_cast<long long>(scaled));
    if (scaled - whole == 0.5L) v = std::copysign((whole + 1) / scale, v);
    std::string out;
    if (FixedInIntegers(v, d, out)) return out;
  } else {
    Number whole = std::floor(scaled);
    if (scaled - whole == 0.5L) v = std::copysign((whole + 1) / scale, v);
  }
  return NoNegativeZero(Printf("%.*Lf", d, v));
}

// Thousands separators in the integer part of a fixed-notation text.
std::string Grouped(const std::string& fixed) {
  size_t digits_start = (!fixed.empty() && fixed[0] == '-') ? 1 : 0;
  size_t point = fixed.find('.');
  size_t int_end = point == std::string::npos ? fixed.size() : point;
  if (!std::isdigit(static_cast<unsigned char>(fixed[digits_start]))) return fixed;  // inf, nan
  std::string out = fixed.substr(0, digits_start);
  for (size_t k = digits_start; k < int_end; ++k) {
    out += fixed[k];
    size_t left = int_end - k - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  out.append(fixed, int_end, std::string::npos);
  return out;
}

// Mantissa digits and decimal exponent of v rounded to `digits` significant
// digits: v = d.ddd x 10^exp. Returns false for inf and nan.
bool Scientific(Number v, int digits, bool& negative, std::string& mantissa, int& exp) {
  if (!std::isfinite(v)) return false;
  std::string s = Printf("%.*Le", digits - 1, v);
  negative = s[0] == '-';
  size_t e = s.find('e');
  mantissa.clear();
  for (size_t k = negative ? 1 : 0; k < e; ++k)
    if (s[k] != '.') mantissa += s[k];
  exp = std::atoi(s.c_str() + e + 1);
  return true;
}

std::string NonFinite(Number v) {
  return std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF");
}

std::string FormatE(Number v, long long precision) {
  int digits =
      static_cast<int>(std::clamp<long long>(precision < 0 ? 15 : precision, 1, kMaxFloatDigits));
  bool negative;
  std::string m;
  int exp;
  if (!Scientific(v, digits, negative, m, exp)) return NonFinite(v);
  std::string out = negative ? "-" : "";
  out += m[0];
  if (m.size() > 1) out += "." + m.substr(1);
  std::string e = std::to_string(std::abs(exp));
  if (e.size() < 3) e.insert(0, 3 - e.size(), '0');
  return out + (exp < 0 ? "E-" : "E+") + e;
}

std::string FormatG(Number v, long long precision) {
  int digits =
      static_cast<int>(std::clamp<long long>(precision < 0 ? 15 : precision, 1, kMaxFloatDigits));
  if (v == 0) return "0";
  bool negative;
  std::string m;
  int exp;
  if (!Scientific(v, digits, negative, m, exp)) return NonFinite(v);
  while (m.size() > 1 && m.back() == '0') m.pop_back();
  std::string out = negative ? "-" : "";
  if (exp >= digits || exp < -5) {  // scientific
    out += m[0];
    if (m.size() > 1) out += "." + m.substr(1);
    return out + "E" + std::to_string(exp);
  }
  if (exp < 0) return out + "0." + std::string(static_cast<size_t>(-exp - 1), '0') + m;
  size_t int_digits = static_cast<size_t>(exp) + 1;
  if (m.size() <= int_digits) return out + m + std::string(int_digits - m.size(), '0');
  return out + m.substr(0, int_digits) + "." + m.substr(int_digits);
}

std::string FormatMoney(Number v, long long precision) {
  if (!std::isfinite(v)) return NonFinite(v);
  std::string fixed = Grouped(Fixed(v, precision < 0 ? 0 : precision));
  if (fixed[0] == '-') return "-\\" + fixed.substr(1);
  return "\\" + fixed;
}

std::string FormatInteger(long long n, long long precision, bool hex) {
  std::string digits;
  bool negative = false;
  if (hex) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(n));
    digits = buf;
  } else {
    negative = n < 0;
    unsigned long long mag =
        negative ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    digits = std::to_string(mag);
  }
  if (precision > static_cast<long long>(digits.size()))
    digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

// The directive's text before width padding, or nullopt for an unknown type.
std::optional<std::string> FormatOne(const Directive& d, std::string_view value) {
  switch (d.type) {
    case 'd':
      return FormatInteger(ToInt64(ParseNumber(value)), d.precision, false);
    case 'x':
      return FormatInteger(ToInt64(ParseNumber(value)), d.precision, true);
    case 'f': {
      Number v = ParseNumber(value);
      return std::isfinite(v) ? Fixed(v, d.precision < 0 ? 2 : d.precision) : NonFinite(v);
    }
    case 'n': {
      Number v = ParseNumber(value);
      return std::isfinite(v) ? Grouped(Fixed(v, d.precision < 0 ? 2 : d.precision)) : NonFinite(v);
    }
    case 'e':
      return FormatE(ParseNumber(value), d.precision);
    case 'g':
      return FormatG(ParseNumber(value), d.precision);
    case 'm':
      return FormatMoney(ParseNumber(value), d.precision);
    case 's':
      return d.precision < 0 ? std::string(value)
                             : CutBytesSafe(value, static_cast<size_t>(d.precision));
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> FormatByPattern(std::string_view f, std::string_view value) {
  std::string out;
  long long next_arg = 0;
  size_t i = 0;
  while (i < f.size()) {
    size_t len = CharLen(f, i);
    if (len == 2 || f[i] != '%') {
      out.append(f, i, len);
      i += len;
      continue;
    }
    ++i;
    if (i < f.size() && f[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    Directive d;
    long long n = 0;
    size_t mark = i;
    if (ReadCount(f, i, n) && i < f.size() && f[i] == ':') {
      next_arg = n;
      ++i;
    } else {
      i = mark;
    }
    if (i < f.size() && f[i] == '-') {
      d.left = true;
      ++i;
    }
    if (ReadCount(f, i, n)) d.width = n;
    if (i < f.size() && f[i] == '.') {
      ++i;
      d.precision = ReadCount(f, i, n) ? n : 0;
    }
    if (i >= f.size()) return std::nullopt;
    char t = f[i++];
    d.type = (t >= 'A' && t <= 'Z') ? static_cast<char>(t + 32) : t;
    if (next_arg != 0) return std::nullopt;  // only one value to format
    ++next_arg;
    if (d.width > static_cast<long long>(kMaxBuiltText) ||
        d.precision > static_cast<long long>(kMaxBuiltText))
      return std::nullopt;
    std::optional<std::string> body = FormatOne(d, value);
    if (!body) return std::nullopt;
    size_t pad = d.width > static_cast<long long>(body->size())
                     ? static_cast<size_t>(d.width) - body->size()
                     : 0;
    if (!d.left) out.append(pad, ' ');
    out += *body;
    if (d.left) out.append(pad, ' ');
    if (out.size() > kMaxBuiltText) return std::nullopt;
  }
  return out;
}

}  // namespace sorane
