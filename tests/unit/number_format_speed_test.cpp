// The fast paths of the number format, the number reader and the currency text
// against straightforward references, on many random and boundary values: the
// text of every number must stay byte for byte what it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "library/strings/strings_format.h"
#include "text/number.h"

namespace sorane {
namespace {

// ---------------------------------------------------------------- references

// The number format written plainly: 15 digits by scaling with an exact power
// of ten (the library's conversion where that is out of reach), assembled with
// string appends.
namespace reference {

constexpr int kSignificant = 15;
constexpr int kMaxExactPow10 = 27;

long double Pow10(int k) {
  long double p = 1;
  for (int i = 0; i < k; ++i) p *= 10;
  return p;
}

struct Decimal {
  std::string digits;
  int exponent = 0;
};

void StripTrailingZeros(Decimal& d) {
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
}

Decimal Exact(long double a) {
  char buf[64];
  auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, kSignificant - 1);
  std::string text(buf, end);
  size_t e = text.find('e');
  Decimal d;
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') d.digits += text[i];
  d.exponent = std::stoi(text.substr(e + 1));
  StripTrailingZeros(d);
  return d;
}

long double RoundToInteger(long double x) {
  volatile long double shifted = x + 9223372036854775808.0L;
  return shifted - 9223372036854775808.0L;
}

bool Scaled(long double a, Decimal& d) {
  if (!(a > 1e-45L && a < 1e45L)) return false;
  uint64_t bits = std::bit_cast<uint64_t>(static_cast<double>(a));
  int binary_exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
  int e = static_cast<int>(std::floor(binary_exponent * 0.30102999566398120));
  for (int attempt = 0; attempt < 3; ++attempt) {
    int shift = kSignificant - 1 - e;
    if (shift > kMaxExactPow10 || shift < -kMaxExactPow10) return false;
    long double scaled = shift >= 0 ? a * Pow10(shift) : a / Pow10(-shift);
    long double r = RoundToInteger(scaled);
    if (r >= 1e15L) {
      ++e;
    } else if (r < 1e14L) {
      --e;
    } else {
      d.digits = std::to_string(static_cast<unsigned long long>(r));
      d.exponent = e;
      StripTrailingZeros(d);
      return true;
    }
  }
  return false;
}

std::string FormatNumber(long double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (v == 0) return "0";
  if (std::fabs(v) < 1e15L && v == std::trunc(v)) return std::to_string(static_cast<long long>(v));
  Decimal d;
  if (!Scaled(std::fabs(v), d)) d = Exact(std::fabs(v));
  std::string out = v < 0 ? "-" : "";
  const int count = static_cast<int>(d.digits.size());
  if (d.exponent >= kSignificant || d.exponent < -4) {
    out += d.digits.substr(0, 1);
    if (count > 1) out += "." + d.digits.substr(1);
    return out + "E" + std::to_string(d.exponent);
  }
  if (d.exponent < 0) return out + "0." + std::string(-d.exponent - 1, '0') + d.digits;
  const int int_digits = d.exponent + 1;
  if (count <= int_digits) return out + d.digits + std::string(int_digits - count, '0');
  return out + d.digits.substr(0, int_digits) + "." + d.digits.substr(int_digits);
}

// The currency text with the library's rounding and fixed conversion.
std::string CurrencyText(std::string_view s) {
  const bool cents = s.find('.') != std::string_view::npos;
  const int decimals = cents ? 2 : 0;
  long double v = ParseNumber(s);
  if (!std::isfinite(v)) return FormatNumber(v);
  long double shown;
  if (std::fabs(v) < 922337203685477.0L) {
    long long currency = std::llround(v * 10000);
    long long step = cents ? 100 : 10000;
    long long magnitude = (std::llabs(currency) + step / 2) / step;
    shown = static_cast<long double>(currency < 0 ? -magnitude : magnitude);
  } else {
    shown = std::round(v * (cents ? 100 : 1));
  }
  char buf[5000];
  auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, std::fabs(shown), std::chars_format::fixed, 0);
  std::string digits(buf, end);
  if (digits.size() < static_cast<size_t>(decimals) + 1)
    digits.insert(0, decimals + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - decimals);
  std::string out = shown < 0 ? "-" : "";
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
    out += whole[i];
  }
  if (decimals > 0) out += "." + digits.substr(digits.size() - decimals);
  return out;
}

// "%.*f" of 指定形式に変換: an exact half moved away from zero, then the C
// library's fixed conversion without a minus sign on an all-zero text.
std::string Fixed(long double v, int decimals) {
  long double scale = std::pow(10.0L, decimals);
  long double scaled = std::fabs(v) * scale;
  long double whole = std::floor(scaled);
  if (scaled - whole == 0.5L) v = std::copysign((whole + 1) / scale, v);
  std::vector<char> buf(6000);
  int n = std::snprintf(buf.data(), buf.size(), "%.*Lf", decimals, v);
  std::string s(buf.data(), static_cast<size_t>(n));
  if (s[0] == '-' && s.find_first_of("123456789") == std::string::npos) s.erase(0, 1);
  return s;
}

}  // namespace reference

// ---------------------------------------------------------------- values

constexpr long double kInf = std::numeric_limits<long double>::infinity();

bool SameBits(long double a, long double b) {
  return std::memcmp(&a, &b, 10) == 0;  // the 80 bits of the x87 format
}

// Integers, halves, powers of ten and their neighbours, the edges of both
// notations, texts of 15 digits with a 5 after them (rounding ties), SQRT and
// product results, and random bit patterns over the whole exponent range.
std::vector<long double> MakeValues() {
  std::vector<long double> v = {0.0L,
                                -0.0L,
                                kInf,
                                -kInf,
                                std::numeric_limits<long double>::quiet_NaN(),
                                std::numeric_limits<long double>::max(),
                                std::numeric_limits<long double>::min(),
                                std::numeric_limits<long double>::denorm_min(),
                                999999999999999.9L,
                                0.0001L,
                                0.00009999999999999995L,
                                9223372036854775807.0L};
  for (int k = -30; k <= 30; ++k) {
    long double p = std::pow(10.0L, static_cast<long double>(k));
    for (long double x : {p, p * 9.99999999999999L, p * 9.999999999999995L, p * 1.5L}) {
      v.push_back(x);
      v.push_back(std::nextafter(x, 0.0L));
      v.push_back(std::nextafter(x, kInf));
    }
  }
  for (long long i = -3000; i <= 3000; ++i) {
    v.push_back(static_cast<long double>(i));
    v.push_back(i + 0.5L);
    v.push_back(std::sqrt(static_cast<long double>(std::llabs(i))));
    v.push_back(i * 1.25L);
    v.push_back(i * 0.1L);
  }
  std::mt19937_64 rng(20261210);
  for (int i = 0; i < 30000; ++i) {
    long long big = static_cast<long long>(rng() >> (rng() % 64));
    for (long double x : {static_cast<long double>(big % 2000000000000000LL),
                          static_cast<long double>(big), std::ldexp(1.0L, 53) + (big % 1000)}) {
      v.push_back(x);
      v.push_back(-x);
    }
    // A 15-digit decimal followed by a 5, and the values just around it.
    char text[40];
    std::snprintf(text, sizeof text, "%llu5e%d", 100000000000000ULL + rng() % 900000000000000ULL,
                  static_cast<int>(rng() % 60) - 45);
    long double tie = std::strtold(text, nullptr);
    v.push_back(tie);
    v.push_back(std::nextafter(tie, 0.0L));
    v.push_back(std::nextafter(tie, kInf));
    // Random mantissas over a wide and a narrow exponent range.
    long double m = static_cast<long double>(rng() | (1ULL << 63)) * 0x1p-64L;
    if (i % 8 == 0) v.push_back(std::ldexp(m, static_cast<int>(rng() % 32000) - 16000));
    v.push_back(-std::ldexp(m, static_cast<int>(rng() % 200) - 100));
  }
  return v;
}

// The texts the reader usually gets (formatted numbers), written variants, and
// near misses that only the general reader may take.
std::vector<std::string> MakeTexts(const std::vector<long double>& values) {
  std::vector<std::string> t;
  for (long double x : values) t.push_back(FormatNumber(x));
  std::mt19937_64 rng(7);
  const char* const parts[] = {"0", "1",  "9",  "5",  "00", ".", "-", "+", "e",
                               "E", "e-", "E+", "12", ",",  " ", "x", "$", "1234567"};
  for (int i = 0; i < 40000; ++i) {
    std::string s;
    int n = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < n; ++k) s += parts[rng() % std::size(parts)];
    t.push_back(s);
    // Up to 20 digits (past 2^63 and past the 19 the fast reader takes), a
    // point anywhere, and an exponent now and then.
    std::string digits = std::to_string(rng()) + std::to_string(rng() % 100);
    digits.resize(1 + rng() % 20);
    if (rng() % 2) digits.insert(rng() % (digits.size() + 1), ".");
    if (rng() % 3 == 0) digits += "E" + std::to_string(static_cast<int>(rng() % 70) - 35);
    t.push_back((rng() % 2 ? "-" : "") + digits);
  }
  for (const char* s : {"",
                        "-",
                        ".",
                        "-.",
                        "5.",
                        ".5",
                        "-0",
                        "-0.0",
                        "1e",
                        "1e+",
                        "1E-0005",
                        "1e99999",
                        "9999999999999999999",
                        "99999999999999999999",
                        "18446744073709551615",
                        "0.0000000000000000000001",
                        "1.5E-7",
                        "1.23456789012346E17",
                        "12345678901234567890E-27",
                        "1E-28",
                        "1E27"})
    t.push_back(s);
  return t;
}

const std::vector<long double>& Values() {
  static const std::vector<long double> values = MakeValues();
  return values;
}

const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = MakeTexts(Values());
  return texts;
}

TEST(NumberFormatFast, SameTextAsReference) {
  for (long double x : Values()) {
    ASSERT_EQ(FormatNumber(x), reference::FormatNumber(x)) << static_cast<double>(x);
  }
}

// A text with a leading blank always goes through the general reader.
TEST(NumberFormatFast, ReaderAgreesWithGeneralReader) {
  for (const std::string& s : Texts()) {
    long double fast = ParseNumber(s);
    long double general = ParseNumber(" " + s);
    ASSERT_TRUE(SameBits(fast, general) || (std::isnan(fast) && std::isnan(general))) << s;
  }
}

// Half of the texts; amounts beyond 10^20 take the general conversion (slow
// for huge numbers): a few of them suffice.
TEST(NumberFormatFast, CurrencyAgreesWithReference) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < Texts().size(); i += 2) {
    const std::string& s = Texts()[i];
    if (std::fabs(ParseNumber(s)) < 1e20L || i % 512 == 0) texts.push_back(s);
  }
  for (long long cents : {0LL, 1LL, 49LL, 50LL, 51LL, 99LL, 4999LL, 5000LL, 5001LL}) {
    for (long long whole : {0LL, 1LL, 999LL, 1000LL, 922337203685476LL, 922337203685477LL}) {
      for (const char* sign : {"", "-"}) {
        texts.push_back(sign + std::to_string(whole) + "." +
                        std::to_string(10000 + cents).substr(1));
      }
    }
  }
  for (const std::string& s : texts) ASSERT_EQ(CurrencyText(s), reference::CurrencyText(s)) << s;
}

// Every decimal count on the values (read back from their text, as the
// command reads its argument) and on exact halves of every decimal place.
TEST(NumberFormatFast, FixedPatternAgreesWithReference) {
  const std::vector<long double>& values = Values();
  for (size_t i = 0; i < values.size(); i += 3) {
    long double v = values[i];
    if (!std::isfinite(v) || std::fabs(v) > 1e30L) continue;
    std::string text = FormatNumber(v);
    int decimals = static_cast<int>(i % 20);
    std::string pattern = "%." + std::to_string(decimals) + "f";
    ASSERT_EQ(FormatByPattern(pattern, text),
              reference::Fixed(ParseNumber(text), std::min(decimals, 18)))
        << text << " " << pattern;
  }
  for (int decimals = 0; decimals <= 6; ++decimals) {
    for (long long k = -2000; k <= 2000; ++k) {
      std::string text = FormatNumber((k + 0.5L) / std::pow(10.0L, decimals));
      std::string pattern = "%." + std::to_string(decimals) + "f";
      ASSERT_EQ(FormatByPattern(pattern, text), reference::Fixed(ParseNumber(text), decimals))
          << text << " " << pattern;
    }
  }
}

}  // namespace
}  // namespace sorane
