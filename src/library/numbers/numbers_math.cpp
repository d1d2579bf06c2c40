#include "library/numbers/numbers_math.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "text/charmap.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

const std::string& FaultMessage(MathFault fault) {
  switch (fault) {
    case MathFault::ZeroDivide:
      return SJ("0 による浮動小数点数除算");
    case MathFault::IntegerZeroDivide:
      return SJ("ゼロによる除算");
    case MathFault::Invalid:
      return SJ("浮動小数点数の無効な演算");
    case MathFault::Overflow:
      return SJ("浮動小数点数のオーバーフロー");
    case MathFault::None:
      break;
  }
  static const std::string none;
  return none;
}

// ---------------------------------------------------------------- rounding

namespace {

// Significant digits taken as "the decimal value" of a number. Every argument
// arrives as text of at most 15 significant digits, and a long double holds
// about 19; 17 digits recover the written value even after a few operations
// while keeping every integer below 10^17 exact.
constexpr int kDecimalDigits = 17;

// |x| as kDecimalDigits digits d1 d2 ..., held as one integer (10^16 <= digits
// < 10^17), and the decimal exponent of d1.
struct DecimalDigits {
  uint64_t digits;
  int exponent;
};

constexpr uint64_t kPow10U64[] = {1ULL,
                                  10ULL,
                                  100ULL,
                                  1000ULL,
                                  10000ULL,
                                  100000ULL,
                                  1000000ULL,
                                  10000000ULL,
                                  100000000ULL,
                                  1000000000ULL,
                                  10000000000ULL,
                                  100000000000ULL,
                                  1000000000000ULL,
                                  10000000000000ULL,
                                  100000000000000ULL,
                                  1000000000000000ULL,
                                  10000000000000000ULL,
                                  100000000000000000ULL,
                                  1000000000000000000ULL,
                                  10000000000000000000ULL};

// The digits of ToDecimal computed exactly in integers, for magnitudes from
// 10^-3 to 2^63 (those of ordinary amounts): magnitude = m * 2^e, so
// magnitude * 10^k = m * 10^k / 2^-e fits 128 bits, and is rounded half to
// even as the text conversion rounds. False outside that range.
bool ToDecimalExactly(Number magnitude, DecimalDigits& d) {
  if (!(magnitude >= 1e-3L && magnitude < 0x1p63L)) return false;
  // The x87 format holds the 64-bit mantissa m (top bit set for these normal
  // numbers) and the biased exponent: magnitude = m x 2^(biased - 16383 - 63).
  uint64_t m;
  uint16_t biased;
  std::memcpy(&m, &magnitude, sizeof m);
  std::memcpy(&biased, reinterpret_cast<const char*>(&magnitude) + 8, sizeof biased);
  const int shift = 16383 + 63 - (biased & 0x7FFF);  // 1 to 74 in this range
  // floor(log10) estimated from the binary exponent (may be one low).
  int exponent = ((biased & 0x7FFF) - 16383) * 78913 >> 18;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int k = kDecimalDigits - 1 - exponent;
    if (k < 0 || k > 19) return false;
    const unsigned __int128 n = static_cast<unsigned __int128>(m) * kPow10U64[k];
    unsigned __int128 q = n >> shift;
    const unsigned __int128 rest = n - (q << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1))) ++q;
    if (q < kPow10U64[kDecimalDigits - 1]) {
      --exponent;  // the estimate of the exponent was one too high
      continue;
    }
    if (q >= kPow10U64[kDecimalDigits]) {
      ++exponent;  // one too low, or rounding carried into a new digit
      continue;
    }
    d.digits = static_cast<uint64_t>(q);
    d.exponent = exponent;
    return true;
  }
  return false;
}

DecimalDigits ToDecimal(Number magnitude) {
  DecimalDigits exact;
  if (ToDecimalExactly(magnitude, exact)) return exact;
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                 kDecimalDigits - 1);
  DecimalDigits d{};
  const char* p = buf;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') d.digits = d.digits * 10 + static_cast<uint64_t>(*p - '0');
  }
  std::from_chars(p + 1 + (p[1] == '+'), end, d.exponent);
  return d;
}

// Cuts x after `places` decimals, rounding the cut half away from zero when
// `round` is set, and reads the kept digits back as a number.
Number ShiftDecimal(Number x, long long places, bool round) {
  if (!std::isfinite(x) || x == 0) return x;
  // Beyond the exponent range of long double every place count acts alike.
  places = std::clamp(places, -10000LL, 10000LL);
  DecimalDigits d = ToDecimal(std::fabs(x));
  // Digits kept: those before the point plus the requested decimals.
  long long keep = static_cast<long long>(d.exponent) + 1 + places;
  if (keep >= kDecimalDigits) return x;  // nothing is cut
  if (keep < 0) return 0;                // everything is below half a unit
  // The digits kept, and the first one cut.
  uint64_t mantissa = d.digits / kPow10U64[kDecimalDigits - keep];
  if (round && d.digits / kPow10U64[kDecimalDigits - 1 - keep] % 10 >= 5) ++mantissa;
  if (mantissa == 0) return 0;
  // mantissa x 10^-places, the number closest to the rounded decimal value:
  // one division (or product) of exact operands rounds once, as reading the
  // decimal text would.
  Number v;
  if (places >= 0 && places < static_cast<long long>(std::size(kPow10U64)))
    v = static_cast<Number>(mantissa) / static_cast<Number>(kPow10U64[places]);
  else if (places < 0 && -places < static_cast<long long>(std::size(kPow10U64)))
    v = static_cast<Number>(mantissa) * static_cast<Number>(kPow10U64[-places]);
  else
    v = StrictNumber(std::to_string(mantissa) + "E" + std::to_string(-places)).value_or(0);
  return x < 0 ? -v : v;
}

}  // namespace

Number RoundDecimal(Number x, long long places) {
  return ShiftDecimal(x, places, true);
}

Number TruncDecimal(Number x, long long places) {
  return ShiftDecimal(x, places, false);
}

int64_t RoundHalfEven(Number x) {
  if (!std::isfinite(x)) return ToInt64(x);
  // nearbyint rounds in the current mode, which is to-nearest-even.
  return ToInt64(std::nearbyint(x));
}

// ---------------------------------------------------------------- functions

namespace {

// Logarithm faults: ln 0 divides by zero, ln of a negative number is invalid.
MathFault LogDomain(Number x) {
  if (std::isnan(x) || x < 0) return MathFault::Invalid;
  if (x == 0) return MathFault::ZeroDivide;
  return MathFault::None;
}

template <Number (*F)(Number)>
MathResult Logarithm(Number x) {
  if (MathFault f = LogDomain(x); f != MathFault::None) return {0, f};
  return Checked(F(x));
}

Number BinaryLog(Number x) {
  return std::log2(x);
}
Number DecimalLog(Number x) {
  return std::log10(x);
}

}  // namespace

double Narrowed(Number x, Number& gap) {
  const double d = static_cast<double>(x);
  gap = std::fabs(x - d);
  return d;
}

bool SettlesDigits(double d, Number spread) {
  // One unit in the last place of the exact result, which may lie in the
  // binade above d's: the unit of the double after |d|, 2^(exponent - 52).
  constexpr uint64_t kExponent = 0x7FF0000000000000, kUnit = uint64_t{52} << 52;
  const uint64_t above = (std::bit_cast<uint64_t>(std::fabs(d)) + 1) & kExponent;
  if (!std::isnormal(d) || above <= kUnit) return false;
  const double unit = std::bit_cast<double>(above - kUnit);
  // (In double: its rounding is far below the room WrittenAlikeWithin leaves.)
  return WrittenAlikeWithin(d, unit + 2 * static_cast<double>(spread));
}

MathResult Exp(Number x) {
  // e^(x + g) = e^x (1 + g + ...): the gap moves the result by its own share.
  Number gap;
  const double d = std::exp(Narrowed(x, gap));
  if (SettlesDigits(d, std::fabs(d) * gap)) return {d, MathFault::None};
  return Checked(std::exp(x));
}
MathResult Ln(Number x) {
  if (MathFault f = LogDomain(x); f != MathFault::None) return {0, f};
  // ln(x + g) = ln x + g / x + ...
  Number gap;
  const double narrowed = Narrowed(x, gap);
  const double d = std::log(narrowed);
  if (SettlesDigits(d, gap / std::fabs(narrowed))) return {d, MathFault::None};
  return Checked(std::log(x));
}
MathResult Log2(Number x) {
  return Logarithm<BinaryLog>(x);
}
MathResult Log10(Number x) {
  return Logarithm<DecimalLog>(x);
}

MathResult LogBase(Number base, Number x) {
  MathResult num = Ln(x);
  if (num.fault != MathFault::None) return num;
  MathResult den = Ln(base);
  if (den.fault != MathFault::None) return den;
  if (den.value == 0) return {0, num.value == 0 ? MathFault::Invalid : MathFault::ZeroDivide};
  // log2 quotients are exact for powers of two (log 8 to base 2 is 3, not 2.99...).
  return Checked(std::log2(x) / std::log2(base));
}

MathResult Power(Number base, Number exponent) {
  if (exponent == 0) return {1, MathFault::None};
  if (base == 0) {
    if (exponent > 0) return {0, MathFault::None};
    return {0, MathFault::ZeroDivide};
  }
  if (base < 0 && exponent != std::trunc(exponent)) return {0, MathFault::Invalid};
  // (b + g)^(y + h) = b^y (1 + y g / b + h ln b + ...); a negative base only
  // as it is, since the parity of the exponent decides the sign.
  Number base_gap, exponent_gap;
  const double b = Narrowed(base, base_gap), y = Narrowed(exponent, exponent_gap);
  if (base > 0 || (base_gap == 0 && exponent_gap == 0)) {
    const double d = std::pow(b, y);
    const Number share =
        std::fabs(y) * base_gap / std::fabs(b) + std::fabs(std::log(std::fabs(b))) * exponent_gap;
    if (SettlesDigits(d, std::fabs(d) * share)) return {d, MathFault::None};
  }
  return Checked(std::pow(base, exponent));
}

// Sines and cosines of the same angle (a point on a circle, a rotation) come
// in pairs: sincos reduces the angle once for both, each as sin and cos give
// it, and the pair is kept for the next call. In double precision where that
// settles both (the derivatives are at most 1, so the angle's gap moves
// neither by more than itself), else in long double.
namespace {

struct SinCos {
  Number x = 0, sin = 0, cos = 0;
  bool known = false;
};
const SinCos& SinCosOf(Number x) {
  thread_local SinCos last;
  if (!last.known || x != last.x || std::signbit(x) != std::signbit(last.x)) {
    last.x = x;
    Number gap;
    double sin, cos;
    sincos(Narrowed(x, gap), &sin, &cos);
    if (SettlesDigits(sin, gap) && SettlesDigits(cos, gap)) {
      last.sin = sin;
      last.cos = cos;
    } else {
      sincosl(x, &last.sin, &last.cos);
    }
    last.known = true;
  }
  return last;
}

}  // namespace

MathResult Sin(Number x) {
  return Checked(SinCosOf(x).sin);
}
MathResult Cos(Number x) {
  return Checked(SinCosOf(x).cos);
}
MathResult Sqrt(Number x) {
  if (x < 0) return {0, MathFault::Invalid};
  return Checked(std::sqrt(x));
}

MathResult ArcSin(Number x) {
  if (!(std::fabs(x) <= 1)) return {0, MathFault::Invalid};
  return Checked(std::asin(x));
}

MathResult ArcCos(Number x) {
  if (!(std::fabs(x) <= 1)) return {0, MathFault::Invalid};
  return Checked(std::acos(x));
}

MathResult Divide(Number a, Number b) {
  if (b == 0) return {0, MathFault::ZeroDivide};
  return Checked(a / b);
}

// ---------------------------------------------------------------- integers

MathResult Mod(int64_t a, int64_t b) {
  if (b == 0) return {0, MathFault::IntegerZeroDivide};
  if (b == -1) return {0, MathFault::None};  // INT64_MIN % -1 would trap
  return {static_cast<Number>(a % b), MathFault::None};
}

uint32_t ShiftRight(int32_t a, int64_t bits) {
  return static_cast<uint32_t>(a) >> (bits & 31);
}

int32_t ShiftLeft(int32_t a, int64_t bits) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) << (bits & 31));
}

std::string HexText(int64_t v) {
  uint64_t bits = static_cast<uint64_t>(v);
  if (v < 0 && v >= std::numeric_limits<int32_t>::min()) bits = static_cast<uint32_t>(v);
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, bits, 16);
  std::string out(buf, end);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
  if (out.size() < 2) out.insert(0, 2 - out.size(), '0');
  return out;
}

std::string FracText(std::string_view text) {
  std::string half = MapText(text, MapMode::HalfWidth);
  size_t point = half.find('.');  // "." is never a trail byte
  if (point == std::string::npos) return "";
  return "0" + half.substr(point);
}

// ---------------------------------------------------------------- lists

namespace {

// Lines separated by CR LF, CR or LF; a final line break ends the last line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::vector<Number> NumberList(std::string_view text) {
  std::vector<Number> xs;
  for (std::string_view line : SplitLines(text)) {
    std::string item = Trim(MapText(line, MapMode::HalfWidth));
    if (!item.empty()) xs.push_back(ParseNumber(item));
  }
  if (xs.empty()) xs.push_back(0);
  return xs;
}

Number ListSum(const std::vector<Number>& xs) {
  Number sum = 0;
  for (Number x : xs) sum += x;
  return sum;
}

Number ListMean(const std::vector<Number>& xs) {
  return xs.empty() ? 0 : ListSum(xs) / static_cast<Number>(xs.size());
}

namespace {

// Sum of squared deviations from the mean. Summing around the mean avoids the
// cancellation of "sum of squares minus square of sum", which can go negative.
// The mean is taken relative to the first value, so equal values have exactly
// their own value as mean and a spread of exactly 0.
Number SquaredDeviations(const std::vector<Number>& xs) {
  const Number k = xs.front();
  Number shifted = 0;
  for (Number x : xs) shifted += x - k;
  const Number mean = k + shifted / static_cast<Number>(xs.size());
  Number ss = 0;
  for (Number x : xs) ss += (x - mean) * (x - mean);
  return std::max<Number>(ss, 0);
}

}  // namespace

Number ListVariance(const std::vector<Number>& xs) {
  if (xs.empty()) return 0;
  return SquaredDeviations(xs) / static_cast<Number>(xs.size());
}

MathResult ListStdDev(const std::vector<Number>& xs) {
  if (xs.size() < 2) return {0, MathFault::Invalid};
  return Checked(std::sqrt(SquaredDeviations(xs) / static_cast<Number>(xs.size() - 1)));
}

Number ListMax(const std::vector<Number>& xs) {
  return xs.empty() ? 0 : *std::max_element(xs.begin(), xs.end());
}

Number ListMin(const std::vector<Number>& xs) {
  return xs.empty() ? 0 : *std::min_element(xs.begin(), xs.end());
}

// ---------------------------------------------------------------- random

int64_t DrawBelow(std::mt19937_64& rng, int64_t n) {
  if (n <= 0) return 0;
  // The high half of a 64 x 64 bit product: uniform enough for any n and the
  // same on every platform (unlike the library distributions).
  unsigned __int128 product = static_cast<unsigned __int128>(rng()) * static_cast<uint64_t>(n);
  return static_cast<int64_t>(product >> 64);
}

Number DrawReal(std::mt19937_64& rng) {
  return static_cast<Number>(rng() >> 11) * 0x1.0p-53L;
}

std::string ShuffleLines(std::string_view text, std::mt19937_64& rng) {
  std::vector<std::string_view> lines = SplitLines(text);
  // Fisher-Yates: every order is equally likely.
  for (size_t i = lines.size(); i > 1; --i) {
    size_t j = static_cast<size_t>(DrawBelow(rng, static_cast<int64_t>(i)));
    std::swap(lines[i - 1], lines[j]);
  }
  std::string out;
  for (std::string_view line : lines) {
    out.append(line);
    out += "\r\n";
  }
  return out;
}

}  // namespace sorane
