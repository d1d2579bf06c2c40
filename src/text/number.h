// Numbers as the language sees them: the lenient parser used for every numeric
// argument, the strict decimal conversion, and the 15-significant-digit format
// every numeric result is written in.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace sorane {

using Number = long double;

// Lenient conversion: full-width digits count, commas are ignored, "$" starts
// hexadecimal, trailing text is ignored, non-numbers (and a lone ".") read as 0.
// An exponent ("1E20", "9E-5", "1.5e3") is read with or without a decimal point,
// so every FormatNumber result reads back as the same number.
Number ParseNumber(std::string_view s);

// Strict decimal conversion: optional blanks, sign, digits, fraction, exponent and
// nothing else. An empty or non-numeric text gives nullopt.
std::optional<Number> StrictNumber(std::string_view s);

// General format with at most 15 significant digits; scientific ("1E20",
// "1.5E-7") for more than 15 integer digits or magnitudes below 0.0001. Zero is "0".
std::string FormatNumber(Number v);
// The same text written into `text` (no allocation): the view points into it,
// or at a constant for "NAN", "INF" and "-INF", and lives as long as `text`.
struct NumberText {
  char bytes[48];
};
std::string_view FormatNumber(Number v, NumberText& text);
// The same written into `out` (the room it has is used).
inline void FormatNumberInto(Number v, std::string& out) {
  NumberText text;
  std::string_view written = FormatNumber(v, text);
  if (written.size() > out.size() || written.size() + 8 < out.size()) {
    out.assign(written);
    return;
  }
  // (The usual case, a counter or a sum written over its previous value: the
  // bytes copied into the room the string has.)
  out.resize(written.size());
  std::memcpy(out.data(), written.data(), written.size());
}
// A number the format writes with 15 significant digits (not a whole number
// below 10^15, those are written with all of theirs) kept as those digits:
// v's digits as an integer of 15 digits, negative for a negative v, and the
// decimal exponent of the first, r x 10^(exponent-14). False where the format
// writes v otherwise (NaN, infinities, magnitudes of 10^15 and above, far
// below 1).
bool DigitsAsWritten(Number v, int64_t& digits, int& exponent);
// The number such digits read back as (NumberAsWritten of the v they came from).
Number NumberOfDigits(int64_t digits, int exponent);
// Their text, as FormatNumber writes it.
std::string_view FormatDigits(int64_t digits, int exponent, NumberText& text);
// ParseNumber(FormatNumber(v)) without the text: v rounded to the digits the
// format writes, as that text reads back.
Number NumberAsWritten(Number v);

// True when every number within `error` of v (a double: it comes in
// registers, where a long double would pass through memory) is written by
// the format with the same digits as v, so that any of them prints, reads back and compares
// alike; false where that is not plain at once (v within `error` of a change
// of digits or of exponent, magnitudes of 10^15 and above or far below 1).
bool WrittenAlikeWithin(double v, double error);

// Whole numbers below this magnitude are written by the format with all
// their digits, as integers are written everywhere.
constexpr int64_t kAllDigitsBelow = 1000000000000000;

// A whole number the format writes with all its digits (below 10^15 in
// magnitude).
inline bool WrittenWithAllDigits(int64_t v) {
  return v > -kAllDigitsBelow && v < kAllDigitsBelow;
}

// The digits of v, which the format writes with all its digits (see
// WrittenWithAllDigits), in `digits`: their count.
inline size_t WholeDigits(int64_t v, char (&digits)[24]) {
  return static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, v).ptr - digits);
}

// A whole number as the format writes it, into `out`: below 10^15 its digits,
// written directly; beyond, rounded to 15 digits as FormatNumber writes it.
inline void FormatWholeInto(int64_t v, std::string& out) {
  if (!WrittenWithAllDigits(v)) return FormatNumberInto(static_cast<Number>(v), out);
  char digits[24];
  const size_t n = WholeDigits(v, digits);
  // (Sized, then filled: a copy into the room a text already has, without
  // the general replacement assign makes.)
  out.resize(n);
  std::memcpy(out.data(), digits, n);
}

// v as a whole number when it is one below 10^15 in magnitude (the numbers
// the format writes with all their digits; -0 gives 0). Converted through
// double, exact in that range, which spares the floating-point unit the
// switch of rounding mode a direct conversion of a long double makes.
inline bool WholeBelow1e15(Number v, int64_t& whole) {
  constexpr Number kLimit = static_cast<Number>(kAllDigitsBelow);
  if (!(v > -kLimit && v < kLimit)) return false;
  const double d = static_cast<double>(v);
  if (static_cast<Number>(d) != v) return false;
  whole = static_cast<int64_t>(d);
  return static_cast<double>(whole) == d;
}

// Truncation toward zero that saturates at the integer's range; NaN gives 0.
int32_t ToInt32(Number v);
int64_t ToInt64(Number v);

// "#,##0" or, when the text contains ".", "#,##0.00".
std::string CurrencyText(std::string_view s);

// First byte "0"-"9" and every later byte a digit, "+", "-", ".", "E" or "e".
bool IsNumberText(std::string_view s);
// A number as a program writes it, which an expression reads back whole as
// itself: digits, a fraction after a decimal point and an exponent after the
// fraction at most, a minus before them.
bool IsNumberLiteral(std::string_view s);

// True when the whole text (trimmed) is an integer in decimal; sets `out`.
bool TryParseInteger(std::string_view s, long long& out);

// The value of the decimal digits of `digits` (at most 18 of them), eight at a
// time; false when a byte is not a digit.
inline bool ReadDecimalDigits(std::string_view digits, long long& out) {
  const char* p = digits.data();
  size_t n = digits.size();
  uint64_t m = 0;
  for (; n >= 8; n -= 8, p += 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    // Every byte 0x30..0x39: its high half 3, and still 3 after adding 6.
    if ((v & 0xF0F0F0F0F0F0F0F0ull) != 0x3030303030303030ull ||
        ((v + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) != 0x3030303030303030ull)
      return false;
    // Pairs of digits, then fours, then the eight, by multiplying in place.
    v = (v & 0x0F0F0F0F0F0F0F0Full) * 2561 >> 8;
    v = (v & 0x00FF00FF00FF00FFull) * 6553601 >> 16;
    v = (v & 0x0000FFFF0000FFFFull) * 42949672960001ull >> 32;
    m = m * 100000000 + v;
  }
  if (n >= 4) {  // four more the same way
    uint32_t v;
    std::memcpy(&v, p, 4);
    if ((v & 0xF0F0F0F0u) != 0x30303030u || ((v + 0x06060606u) & 0xF0F0F0F0u) != 0x30303030u)
      return false;
    v = (v & 0x0F0F0F0Fu) * 2561 >> 8;
    v = (v & 0x00FF00FFu) * 6553601 >> 16;
    m = m * 10000 + v;
    p += 4;
    n -= 4;
  }
  for (; n > 0; --n, ++p) {
    unsigned d = static_cast<unsigned char>(*p) - '0';
    if (d > 9) return false;
    m = m * 10 + d;
  }
  out = static_cast<long long>(m);
  return true;
}

// The integer a text is when it is written as the format writes one (at most
// 15 digits, no leading zero, no "-0"): that integer.
inline bool WrittenWhole(std::string_view v, int64_t& out) {
  size_t i = !v.empty() && v[0] == '-' ? 1 : 0;
  size_t digits = v.size() - i;
  if (digits == 0 || digits > 15 || (v[i] == '0' && (digits > 1 || i == 1))) return false;
  long long m = 0;
  if (!ReadDecimalDigits(v.substr(i), m)) return false;
  out = i ? -m : m;
  return true;
}

}  // namespace sorane
