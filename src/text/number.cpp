// Numeric text: the lenient parser behind every numeric argument, the strict
// decimal conversion, and the 15-digit general format of every numeric result.
// Nothing here depends on the process locale: the decimal point is always ".",
// whatever locale a GUI toolkit may have set.
#include "text/number.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "text/charmap.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr size_t kMaxNumberText = 254;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Exact powers of ten: 10^k needs at most 63 mantissa bits for k <= 27, so a
// quotient m / 10^k of two exact values is correctly rounded.
constexpr int kMaxExactPow10 = 27;
constexpr auto kPow10 = [] {
  std::array<long double, kMaxExactPow10 + 1> p{};
  p[0] = 1;
  for (int k = 1; k <= kMaxExactPow10; ++k) p[k] = p[k - 1] * 10;
  return p;
}();

// strtold in the "C" locale.
long double CStrToLd(const std::string& text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtold_l(text.c_str(), nullptr, c_locale);
}

// Converts a well-formed unsigned decimal text (digits, optional "." and digits,
// optional exponent). Short plain numbers take an exact integer path.
long double DecimalValue(std::string_view text) {
  uint64_t mantissa = 0;
  int significant = 0, fraction = 0;
  bool after_point = false, simple = true;
  for (char c : text) {
    if (c == '.') {
      after_point = true;
      continue;
    }
    if (!IsDigit(c)) {
      simple = false;  // exponent
      break;
    }
    if (mantissa != 0 || c != '0') ++significant;
    mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    if (after_point) ++fraction;
    if (significant > 19) {
      simple = false;
      break;
    }
  }
  if (simple && fraction == 0) return static_cast<long double>(mantissa);
  if (simple && fraction <= kMaxExactPow10) {
    return static_cast<long double>(mantissa) / kPow10[fraction];
  }
  return CStrToLd(std::string(text));
}

// "$" and hexadecimal digits only, read as a 32-bit integer: "$FF" is 255 and
// "$FFFFFFFF" is -1, as a "$" literal in an expression. Anything else, or more
// than eight significant digits, is 0.
Number HexValue(std::string_view digits) {
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 8) return 0;
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || end != digits.data() + digits.size()) return 0;
  return static_cast<int32_t>(value);
}

// Length of the number at the start of `s` (without its sign): digits, then "."
// and digits, then an exponent ("E" or "e", optional sign, at least one digit).
// The exponent is also taken without a decimal point: FormatNumber writes large
// and small numbers as "1E20" or "9E-5", and those must read back as what they
// say, not as 1 and 9.
// Without a digit before the exponent ("", ".", ".e5") the length is 0.
size_t LenientNumberLength(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsDigit(s[i])) ++i;
  bool has_digit = i > 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, has_digit = true;
  }
  if (!has_digit) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

bool NeedsRewrite(std::string_view s) {
  for (char c : s) {
    if (c == ',' || static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// Full-width characters made single-byte and thousands separators removed.
std::string Normalised(std::string_view s) {
  std::string mapped = MapText(s, MapMode::HalfWidth);
  std::string out;
  out.reserve(mapped.size());
  for (char c : mapped) {
    if (c != ',') out += c;
  }
  return out;
}

Number ParseClean(std::string_view s) {
  s = TrimView(s);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  if (!s.empty() && s.front() == '$') return HexValue(s.substr(1));
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  std::string_view number = s.substr(0, LenientNumberLength(s));
  if (number.empty()) return 0;  // no digit at all: "", ".", "-." (as in ".txt")
  Number v = DecimalValue(number);
  return negative ? -v : v;
}

// Reads decimal digits from p on into m (m x 10 + digit each; it wraps past
// 19 digits, which the caller rejects) and returns where they end.
const char* ReadDigits(const char* p, const char* end, uint64_t& m) {
  long long eight;
  while (end - p >= 8 && ReadDecimalDigits(std::string_view(p, 8), eight))
    m = m * 100000000 + static_cast<uint64_t>(eight), p += 8;
  unsigned d;
  while (p < end && (d = static_cast<unsigned char>(*p) - '0') <= 9) m = m * 10 + d, ++p;
  return p;
}

// The whole text is a plain decimal ("-12", "3.25", "1.5E-7": optional "-",
// digits, optional "." and digits, optional exponent) of at most 19 digits whose
// power of ten is within the exact table: its value is m x 10^k with both factors
// exact, so one multiplication or division rounds it once, correctly, as the
// general reader does. Anything else gives false and is left to that reader.
bool PlainDecimal(std::string_view s, Number& out) {
  if (s.size() > 32) return false;  // more than 19 digits, sign, point and exponent
  const char* p = s.data();
  const char* const end = p + s.size();
  const bool negative = p < end && *p == '-';
  p += negative;
  const char* const first = p;
  uint64_t m = 0;
  p = ReadDigits(p, end, m);
  int digits = static_cast<int>(p - first);
  int scale = 0;
  if (p < end && *p == '.') {
    const char* const point = ++p;
    p = ReadDigits(p, end, m);
    scale = -static_cast<int>(p - point);
    digits -= scale;
  }
  if (digits == 0 || digits > 19) return false;
  if (p < end && (*p == 'E' || *p == 'e')) {
    ++p;
    const bool minus = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* const exp_first = p;
    int exponent = 0;
    unsigned d;
    while (p < end && (d = static_cast<unsigned char>(*p) - '0') <= 9 && p - exp_first < 4)
      exponent = exponent * 10 + static_cast<int>(d), ++p;
    if (p == exp_first) return false;
    scale += minus ? -exponent : exponent;
  }
  if (p != end || scale > kMaxExactPow10 || scale < -kMaxExactPow10) return false;
  Number v = static_cast<Number>(m);
  if (scale > 0) v *= kPow10[scale];
  if (scale < 0) v /= kPow10[-scale];
  out = negative ? -v : v;
  return true;
}

// Decimals written lately, with the number each reads back as: the text of a
// result is often read again at once (a sum stored, then added to at the next
// pass; a value rounded, then added up), and reading a decimal costs far more
// than comparing its bytes. Only texts whose reading is known exactly (see
// RoundTo15Fast) are kept, so a text found here reads as the number kept.
struct WrittenDecimal {
  uint8_t size = 0;
  char bytes[39];
  Number value = 0;
};
thread_local std::array<WrittenDecimal, 4> g_written;
thread_local unsigned g_next_written = 0;

void RememberWritten(std::string_view text, Number value) {
  if (text.size() > sizeof g_written[0].bytes) return;
  WrittenDecimal& w = g_written[g_next_written++ % g_written.size()];
  w.size = static_cast<uint8_t>(text.size());
  std::memcpy(w.bytes, text.data(), text.size());
  w.value = value;
}

bool ReadWritten(std::string_view s, Number& value) {
  for (const WrittenDecimal& w : g_written) {
    if (w.size == s.size() && w.size != 0 && std::memcmp(w.bytes, s.data(), s.size()) == 0) {
      value = w.value;
      return true;
    }
  }
  return false;
}

}  // namespace

Number ParseNumber(std::string_view s) {
  // The usual argument is the text of a number (a counter, a sum, a result),
  // most often digits alone.
  long long whole;
  if (!s.empty() && s.size() <= 18 && ReadDecimalDigits(s, whole))
    return static_cast<Number>(whole);
  Number v;
  if (ReadWritten(s, v) || PlainDecimal(s, v)) return v;
  if (s.empty()) return 0;
  s = s.substr(0, std::min(s.size(), kMaxNumberText));
  if (!NeedsRewrite(s)) return ParseClean(s);
  return ParseClean(Normalised(s));
}

// The same grammar as the lenient reader, but the number must be the whole
// (trimmed) text.
std::optional<Number> StrictNumber(std::string_view s) {
  // Digits alone (a loop's bounds, a count) are read at once.
  long long whole;
  if (!s.empty() && s.size() <= 18 && ReadDecimalDigits(s, whole))
    return static_cast<Number>(whole);
  s = TrimView(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || LenientNumberLength(s) != s.size()) return std::nullopt;
  Number v = DecimalValue(s);
  return negative ? -v : v;
}

// ---------------------------------------------------------------------------
// Number format

namespace {

constexpr int kSignificant = 15;

// "00" to "99": integers are written two digits at a time.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[2 * i] = static_cast<char>('0' + i / 10);
    t[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return t;
}();

void PutPair(char* at, uint32_t two_digits) {
  std::memcpy(at, &kDigitPairs[2 * two_digits], 2);
}

// Writes the decimal digits of u so that they end at `end`; returns the first.
// Eight digits at a time are split off so the rest is 32-bit arithmetic.
char* DigitsBefore(char* end, uint64_t u) {
  while (u >= 100000000) {
    uint32_t low = static_cast<uint32_t>(u % 100000000);
    u /= 100000000;
    for (int k = 0; k < 4; ++k, low /= 100) PutPair(end -= 2, low % 100);
  }
  uint32_t v = static_cast<uint32_t>(u);
  for (; v >= 100; v /= 100) PutPair(end -= 2, v % 100);
  if (v >= 10) {
    PutPair(end -= 2, v);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// Digits and decimal exponent of |v| rounded to 15 significant digits, with
// trailing zeros dropped: 1234.5 gives "12345" and 3.
struct Decimal {
  char digits[kSignificant + 1];
  int count;
  int exponent;
};

void StripTrailingZeros(Decimal& d) {
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
}

// Exact but slow: the library's correctly rounded conversion.
Decimal RoundTo15Exact(long double a) {
  char buf[64];
  auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, kSignificant - 1);
  // buf holds "d.dddddddddddddde+XX".
  Decimal d{};
  const char* p = buf;
  while (p < end && *p != 'e') {
    if (*p != '.') d.digits[d.count++] = *p;
    ++p;
  }
  std::from_chars(p + 1 + (p[1] == '+'), end, d.exponent);
  StripTrailingZeros(d);
  return d;
}

// Nearest integer (ties to even) of 0 <= x < 2^63: adding 2^63 leaves no bits
// for a fraction in the 64-bit mantissa. (nearbyint saves and restores the
// floating-point environment, which costs more than the whole format. The
// sum is rounded where it is made: long double arithmetic has no wider
// format to keep it in, and without -ffast-math the compiler keeps the two
// operations.)
long double RoundToInteger(long double x) {
  constexpr long double kTwo63 = 9223372036854775808.0L;
  const long double shifted = x + kTwo63;
  return shifted - kTwo63;
}

// floor(e x log10 2) for binary exponents |e| <= 1100, in integers.
int FloorLog10Pow2(int e) {
  return (e * 78913) >> 18;
}

// |a| rounded to 15 significant digits as the integer `r` (10^14 <= r < 10^15)
// and the decimal exponent `e` of its first digit, for magnitudes within
// 10^+-27 of the 15-digit window: scaled by an exact power of ten (one
// rounding in 64-bit precision, far finer than the 15 digits kept) and
// rounded to an integer of 15 digits.
[[gnu::always_inline]] inline bool ScaleTo15(long double a, long double& r, int& e) {
  constexpr long double kLow = 1e14L, kHigh = 1e15L;
  // Decimal exponent estimate from the binary one (read from the bits of the
  // double nearest to `a`, cheaper than ilogb on long double); may be one off.
  if (!(a > 1e-45L && a < 1e45L)) return false;
  uint64_t bits = std::bit_cast<uint64_t>(static_cast<double>(a));
  e = FloorLog10Pow2(static_cast<int>((bits >> 52) & 0x7FF) - 1023);
  for (int attempt = 0; attempt < 3; ++attempt) {
    int shift = kSignificant - 1 - e;
    if (shift > kMaxExactPow10 || shift < -kMaxExactPow10) return false;
    long double scaled = shift >= 0 ? a * kPow10[shift] : a / kPow10[-shift];
    r = RoundToInteger(scaled);
    if (r >= kHigh) {
      ++e;
      continue;
    }
    if (r < kLow) {
      --e;
      continue;
    }
    return true;
  }
  return false;
}

// The integer r of a 15-digit rounding (see ScaleTo15), converted through a
// double, which holds every whole number below 10^15 exactly: a long double
// converted to an integer directly switches the x87 rounding mode there and
// back, and the conversion then waited on the switch (a fifth of a loop of
// math functions, depending on where the code happened to lie).
inline int64_t DigitsOf(long double r) {
  return static_cast<int64_t>(static_cast<double>(r));
}

// The number the text of the 15-digit rounding r x 10^(e-14) (see ScaleTo15)
// reads back as: for 0 <= 14-e <= 27 the plain-decimal reader takes it with
// one exact division (its trailing zeros aside), the same correctly rounded
// quotient of the same value; a NaN for e beyond.
long double ReadBack(long double r, int e) {
  return e <= kSignificant - 1 ? r / kPow10[kSignificant - 1 - e]
                               : std::numeric_limits<long double>::quiet_NaN();
}

// The digits of the 15-digit rounding r x 10^(e-14) (see ScaleTo15).
Decimal DecimalOf(uint64_t r, int e) {
  Decimal d{};
  DigitsBefore(d.digits + kSignificant, r);
  d.count = kSignificant;
  d.exponent = e;
  StripTrailingZeros(d);
  return d;
}

char* PutScientific(char* out, const Decimal& d) {
  *out++ = d.digits[0];
  if (d.count > 1) {
    *out++ = '.';
    out = std::copy(d.digits + 1, d.digits + d.count, out);
  }
  *out++ = 'E';
  return std::to_chars(out, out + 8, d.exponent).ptr;
}

char* PutFixed(char* out, const Decimal& d) {
  if (d.exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, -d.exponent - 1, '0');
    return std::copy(d.digits, d.digits + d.count, out);
  }
  int int_digits = d.exponent + 1;
  if (d.count <= int_digits) {
    out = std::copy(d.digits, d.digits + d.count, out);
    return std::fill_n(out, int_digits - d.count, '0');
  }
  out = std::copy(d.digits, d.digits + int_digits, out);
  *out++ = '.';
  return std::copy(d.digits + int_digits, d.digits + d.count, out);
}

// The text of d, with a minus before it when `negative`.
std::string_view Written(const Decimal& d, bool negative, NumberText& text) {
  char* out = text.bytes;
  if (negative) *out++ = '-';
  // Scientific for more than 15 integer digits or magnitudes below 0.0001,
  // judged on the rounded value (999999999999999.9 is written "1E15").
  if (d.exponent >= kSignificant || d.exponent < -4) {
    out = PutScientific(out, d);
  } else {
    out = PutFixed(out, d);
  }
  return std::string_view(text.bytes, static_cast<size_t>(out - text.bytes));
}

}  // namespace

// Not-a-number and infinities are written "NAN", "INF" and "-INF"; they only
// arise from overflowing arithmetic.
std::string_view FormatNumber(Number v, NumberText& text) {
  char* const buf = text.bytes;
  // Whole numbers below 10^15 have at most 15 digits: written directly. (NaN
  // fails the range test; -0 is written "0".)
  if (int64_t whole; WholeBelow1e15(v, whole)) {
    char* end = buf + sizeof text.bytes;
    char* first = DigitsBefore(end, static_cast<uint64_t>(whole < 0 ? -whole : whole));
    if (whole < 0) *--first = '-';
    return std::string_view(first, static_cast<size_t>(end - first));
  }
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  long double r;
  int e;
  if (!ScaleTo15(std::fabs(v), r, e)) return Written(RoundTo15Exact(std::fabs(v)), v < 0, text);
  const int64_t digits = DigitsOf(r);
  if (e > kSignificant - 1) return Written(DecimalOf(digits, e), v < 0, text);
  return FormatDigits(v < 0 ? -digits : digits, e, text);
}

bool DigitsAsWritten(Number v, int64_t& digits, int& exponent) {
  long double r;
  if (!ScaleTo15(std::fabs(v), r, exponent) || exponent > kSignificant - 1) return false;
  digits = DigitsOf(r);
  if (v < 0) digits = -digits;
  return true;
}

Number NumberOfDigits(int64_t digits, int exponent) {
  const long double a = ReadBack(static_cast<long double>(digits < 0 ? -digits : digits), exponent);
  return digits < 0 ? -a : a;
}

std::string_view FormatDigits(int64_t digits, int exponent, NumberText& text) {
  const uint64_t magnitude = digits < 0 ? -static_cast<uint64_t>(digits) : digits;
  std::string_view written = Written(DecimalOf(magnitude, exponent), digits < 0, text);
  RememberWritten(written, NumberOfDigits(digits, exponent));
  return written;
}

std::string FormatNumber(Number v) {
  NumberText text;
  return std::string(FormatNumber(v, text));
}

namespace {
// The 15-digit rounding WrittenAlikeWithin made last: a math function's
// result it settled is written as 15 digits next (NumberAsWritten), which
// then takes the rounding from here instead of scaling the same magnitude
// again. (A magnitude below zero marks it empty.)
struct LastScaled {
  long double magnitude = -1;
  long double digits = 0;
  int exponent = 0;
};
thread_local LastScaled t_last_scaled;
}  // namespace

// (What DigitsAsWritten and NumberOfDigits give, with the scaling inlined
// here: passing the long double on through memory costs 2-3% of a loop of
// math functions.)
Number NumberAsWritten(Number v) {
  // Whole numbers below 10^15 are written with all their digits (-0 as "0").
  if (v > -1e15L && v < 1e15L) {
    if (int64_t whole; WholeBelow1e15(v, whole)) return static_cast<Number>(whole);
    long double r;
    int e;
    const long double magnitude = std::fabs(v);
    const LastScaled& last = t_last_scaled;
    const bool remembered = magnitude == last.magnitude;
    if (remembered) {
      r = last.digits;
      e = last.exponent;
    }
    if (remembered || ScaleTo15(magnitude, r, e)) {
      long double a = ReadBack(r, e);
      if (!std::isnan(a)) return v < 0 ? -a : a;
    }
  }
  NumberText text;
  return ParseNumber(FormatNumber(v, text));
}

bool WrittenAlikeWithin(double v, double error) {
  long double a = std::fabs(v), r;
  int e;
  if (!(a < 1e15L) || !ScaleTo15(a, r, e)) return false;
  t_last_scaled = {a, r, e};
  // Away from 10^14 and 10^15 every number of the range is scaled alike
  // (below 10^15 the scale is a power of ten of at least 1).
  if (r <= 1e14L || r >= 1e15L - 1) return false;
  const long double scale = kPow10[kSignificant - 1 - e];
  // The scaled error, with room for the rounding of the scaling itself.
  const long double reach = error * scale + 1e-3L;
  return std::fabs(a * scale - r) + reach < 0.5L;
}

namespace {

template <typename Int>
Int TruncateSaturating(Number v) {
  if (std::isnan(v)) return 0;
  // The limits of both integer types are powers of two, exact in long double.
  constexpr Number kMax = static_cast<Number>(std::numeric_limits<Int>::max()) + 1;
  constexpr Number kMin = static_cast<Number>(std::numeric_limits<Int>::min());
  if (v >= kMax) return std::numeric_limits<Int>::max();
  if (v <= kMin) return std::numeric_limits<Int>::min();
  // A value a double holds exactly (most do) is truncated as that double,
  // without the rounding-mode switch of a long double conversion.
  const double d = static_cast<double>(v);
  if (static_cast<Number>(d) == v) return static_cast<Int>(d);
  return static_cast<Int>(v);
}

// A run of integer digits with "," between groups of three.
void AppendGrouped(std::string& out, std::string_view digits) {
  size_t lead = digits.size() % 3;
  if (lead == 0) lead = 3;
  out.append(digits.substr(0, lead));
  for (size_t i = lead; i < digits.size(); i += 3) {
    out += ',';
    out.append(digits.substr(i, 3));
  }
}

// Currency values hold four decimals in a 64-bit integer.
constexpr Number kCurrencyLimit = 922337203685477.0L;

// Half away from zero, as llround, for |x| < 2^63: the fraction part x - t of
// a floating-point number is exact.
long long RoundHalfAway(Number x) {
  long long t = static_cast<long long>(x);
  Number fraction = x - static_cast<Number>(t);
  if (fraction >= 0.5L) return t + 1;
  if (fraction <= -0.5L) return t - 1;
  return t;
}

}  // namespace

int32_t ToInt32(Number v) {
  return TruncateSaturating<int32_t>(v);
}
int64_t ToInt64(Number v) {
  return TruncateSaturating<int64_t>(v);
}

// The value is first held as a currency amount with four decimals (rounded),
// then rounded half away from zero to the shown decimals. Amounts beyond the
// currency range are rounded directly instead of failing.
std::string CurrencyText(std::string_view s) {
  const bool cents = s.find('.') != std::string_view::npos;
  const int decimals = cents ? 2 : 0;
  Number v = ParseNumber(s);
  if (!std::isfinite(v)) return FormatNumber(v);
  std::string_view digits;
  bool negative;
  char small[24];
  std::string large;
  if (std::fabs(v) < kCurrencyLimit) {
    long long currency = RoundHalfAway(v * 10000);
    long long step = cents ? 100 : 10000;
    long long magnitude = (std::llabs(currency) + step / 2) / step;
    negative = currency < 0 && magnitude != 0;
    char* end = small + sizeof small;
    char* first = DigitsBefore(end, static_cast<uint64_t>(magnitude));
    while (end - first < decimals + 1) *--first = '0';
    digits = std::string_view(first, static_cast<size_t>(end - first));
  } else {
    Number shown = std::round(v * (cents ? 100 : 1));
    negative = shown < 0;
    char buf[5000];  // enough for every finite long double in fixed notation
    auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, std::fabs(shown), std::chars_format::fixed, 0);
    large.assign(buf, end);
    digits = large;
  }
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 + 2);
  if (negative) out += '-';
  AppendGrouped(out, digits.substr(0, digits.size() - decimals));
  if (decimals > 0) {
    out += '.';
    out.append(digits.substr(digits.size() - decimals));
  }
  return out;
}

bool IsNumberText(std::string_view s) {
  if (s.empty() || !IsDigit(s[0])) return false;
  for (char c : s.substr(1)) {
    if (!IsDigit(c) && c != '+' && c != '-' && c != '.' && c != 'E' && c != 'e') return false;
  }
  return true;
}

bool IsNumberLiteral(std::string_view s) {
  auto digits = [&s](size_t& i) {
    size_t from = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i > from;
  };
  size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
  if (!digits(i)) return false;
  if (i < s.size() && s[i] == '.') {
    if (!digits(++i)) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
      ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      if (!digits(i)) return false;
    }
  }
  return i == s.size();
}

bool TryParseInteger(std::string_view s, long long& out) {
  s = TrimView(s);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) return false;
  }
  if (s.empty()) return false;
  long long value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  out = value;
  return true;
}

}  // namespace sorane
