// Lenient and strict number reading, the 15-digit number format, integer
// conversion and the currency text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/number.h"

namespace sorane {
namespace {

TEST(ParseNumber, LenientForms) {
  EXPECT_EQ(ParseNumber(SJ("１，２３４")), 1234);
  EXPECT_EQ(ParseNumber(" -3.5 "), -3.5L);
  EXPECT_EQ(ParseNumber("$10"), 16);
  EXPECT_EQ(ParseNumber("$FF"), 255);
  EXPECT_EQ(ParseNumber("$ff"), 255);
  EXPECT_EQ(ParseNumber("1e3"), 1000);
  EXPECT_EQ(ParseNumber("9E-5"), 0.00009L);  // FormatNumber's own notation reads back
  EXPECT_EQ(ParseNumber("-1.23456789012346E17"), -1.23456789012346e17L);
  EXPECT_EQ(ParseNumber("2E"), 2);  // no exponent digit: not taken
  EXPECT_EQ(ParseNumber("3e+x"), 3);
  EXPECT_EQ(ParseNumber("1.0e3"), 1000);
  EXPECT_EQ(ParseNumber("1.e5"), 100000);
  EXPECT_EQ(ParseNumber("1.5E-1"), 0.15L);
  EXPECT_EQ(ParseNumber("1.5e"), 1.5L);  // no exponent digit: not taken
  EXPECT_EQ(ParseNumber(""), 0);
  EXPECT_EQ(ParseNumber("x12"), 0);
  EXPECT_EQ(ParseNumber(SJ("12円")), 12);
  EXPECT_EQ(ParseNumber("abc"), 0);
  EXPECT_EQ(ParseNumber("+7"), 7);
  EXPECT_EQ(ParseNumber("1,000,000"), 1000000);
  EXPECT_EQ(ParseNumber(SJ("－３．５")), -3.5L);
  EXPECT_EQ(ParseNumber("\t 42\r\n"), 42);
  EXPECT_EQ(ParseNumber(".5"), 0.5L);
  EXPECT_EQ(ParseNumber("-.25x"), -0.25L);
}

TEST(ParseNumber, NoDigitReadsAsZero) {
  EXPECT_EQ(ParseNumber("."), 0);
  EXPECT_EQ(ParseNumber("-."), 0);
  EXPECT_EQ(ParseNumber(".txt"), 0);
  EXPECT_EQ(ParseNumber("-"), 0);
  EXPECT_EQ(ParseNumber(".e5"), 0);
}

TEST(ParseNumber, HexMustBeWhole) {
  EXPECT_EQ(ParseNumber("$"), 0);
  EXPECT_EQ(ParseNumber("$1G"), 0);
  EXPECT_EQ(ParseNumber("$-1"), 0);
  // 32-bit integers, as "$" literals in expressions.
  EXPECT_EQ(ParseNumber("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseNumber("$8000000F"), -2147483633);
  EXPECT_EQ(ParseNumber("$000000000010"), 16);
  EXPECT_EQ(ParseNumber("$1FFFFFFFF"), 0);
}

TEST(ParseNumber, PrecisionAndLength) {
  EXPECT_EQ(ParseNumber("0.1"), 0.1L);
  EXPECT_EQ(ParseNumber("123456789.123456789"), 123456789.123456789L);
  EXPECT_EQ(ParseNumber("12345678901234567890123"), 12345678901234567890123.0L);
  EXPECT_EQ(ParseNumber("0.0000000000000000000000000000001"), 1e-31L);
  // Only the first 254 bytes count.
  std::string long_text = std::string(253, '0') + "12";
  EXPECT_EQ(ParseNumber(long_text), 1);
}

TEST(StrictNumber, AcceptsOnlyPlainDecimals) {
  EXPECT_EQ(StrictNumber(" 12 "), 12);
  EXPECT_EQ(StrictNumber("-3.5"), -3.5L);
  EXPECT_EQ(StrictNumber("+1e3"), 1000);
  EXPECT_EQ(StrictNumber("1.5E-2"), 0.015L);
  EXPECT_EQ(StrictNumber(".5"), 0.5L);
  EXPECT_EQ(StrictNumber("5."), 5);
  EXPECT_EQ(StrictNumber(""), std::nullopt);
  EXPECT_EQ(StrictNumber("  "), std::nullopt);
  EXPECT_EQ(StrictNumber("."), std::nullopt);
  EXPECT_EQ(StrictNumber("-"), std::nullopt);
  EXPECT_EQ(StrictNumber("12x"), std::nullopt);
  EXPECT_EQ(StrictNumber("1e"), std::nullopt);
  EXPECT_EQ(StrictNumber("1,000"), std::nullopt);
  EXPECT_EQ(StrictNumber("$10"), std::nullopt);
  EXPECT_EQ(StrictNumber("1 2"), std::nullopt);
  EXPECT_EQ(StrictNumber("inf"), std::nullopt);
  EXPECT_EQ(StrictNumber("+-1"), std::nullopt);
}

TEST(FormatNumber, GeneralNotation) {
  EXPECT_EQ(FormatNumber(3), "3");
  EXPECT_EQ(FormatNumber(2.5L), "2.5");
  EXPECT_EQ(FormatNumber(-2.5L), "-2.5");
  EXPECT_EQ(FormatNumber(0.1L + 0.2L), "0.3");
  EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");  // double arithmetic too
  EXPECT_EQ(FormatNumber(1.0L / 3), "0.333333333333333");
  EXPECT_EQ(FormatNumber(-2.0L / 3), "-0.666666666666667");
  EXPECT_EQ(FormatNumber(100), "100");
  EXPECT_EQ(FormatNumber(1234.5L), "1234.5");
  EXPECT_EQ(FormatNumber(0.0001L), "0.0001");
  EXPECT_EQ(FormatNumber(0.00012L), "0.00012");
  EXPECT_EQ(FormatNumber(123456789.125L), "123456789.125");
}

TEST(FormatNumber, ZeroAndSpecialValues) {
  EXPECT_EQ(FormatNumber(0), "0");
  EXPECT_EQ(FormatNumber(-0.0L), "0");
  EXPECT_EQ(FormatNumber(std::numeric_limits<long double>::infinity()), "INF");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<long double>::infinity()), "-INF");
  EXPECT_EQ(FormatNumber(std::numeric_limits<long double>::quiet_NaN()), "NAN");
}

TEST(FormatNumber, ScientificBoundaries) {
  EXPECT_EQ(FormatNumber(999999999999999.0L), "999999999999999");
  EXPECT_EQ(FormatNumber(-999999999999999.0L), "-999999999999999");
  EXPECT_EQ(FormatNumber(1000000000000000.0L), "1E15");
  EXPECT_EQ(FormatNumber(999999999999999.9L), "1E15");  // rounds up to 16 digits
  EXPECT_EQ(FormatNumber(123456789012345678.0L), "1.23456789012346E17");
  EXPECT_EQ(FormatNumber(1e20L), "1E20");
  EXPECT_EQ(FormatNumber(-1.5e20L), "-1.5E20");
  EXPECT_EQ(FormatNumber(0.00009L), "9E-5");
  EXPECT_EQ(FormatNumber(0.000012345L), "1.2345E-5");
  EXPECT_EQ(FormatNumber(1e-6L), "1E-6");
  EXPECT_EQ(FormatNumber(-1.5e-7L), "-1.5E-7");
  EXPECT_EQ(FormatNumber(0.00009999999999999999L), "0.0001");  // rounded into range
  EXPECT_EQ(FormatNumber(1e300L), "1E300");
  EXPECT_EQ(FormatNumber(1e-300L), "1E-300");
  EXPECT_EQ(FormatNumber(1.5e4000L), "1.5E4000");
  EXPECT_EQ(FormatNumber(2e-4000L), "2E-4000");
}

TEST(FormatNumber, RoundsTheFifteenthDigit) {
  EXPECT_EQ(FormatNumber(1.23456789012345678L), "1.23456789012346");
  EXPECT_EQ(FormatNumber(0.999999999999999999L), "1");
  EXPECT_EQ(FormatNumber(9.9999999999999999L), "10");
  EXPECT_EQ(FormatNumber(12345.6789012345678L), "12345.6789012346");
  EXPECT_EQ(FormatNumber(1234567890123456.0L), "1.23456789012346E15");
  EXPECT_EQ(FormatNumber(100000000000000.6L), "100000000000001");
}

// Significant digits of a formatted number: no sign, point, leading zeros or
// exponent, trailing zeros ("-0.00125" -> "125", "1.5E-7" -> "15", "1200" -> "12").
std::string DigitsOf(const std::string& text) {
  std::string digits;
  for (char c : text.substr(0, text.find('E'))) {
    if (c >= '0' && c <= '9' && !(digits.empty() && c == '0')) digits += c;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits;
}

TEST(FormatNumber, KeepsEveryFifteenDigitDecimal) {
  // A decimal of at most 15 significant digits must come back digit for digit,
  // at every magnitude, both signs.
  std::mt19937_64 random(12345);
  for (int i = 0; i < 20000; ++i) {
    uint64_t mantissa = random() % 1000000000000000ULL + 1;
    while (mantissa % 10 == 0) mantissa /= 10;
    int exponent = static_cast<int>(random() % 121) - 60;
    std::string text =
        (i % 2 ? "-" : "") + std::to_string(mantissa) + "E" + std::to_string(exponent);
    std::optional<Number> v = StrictNumber(text);
    ASSERT_TRUE(v.has_value()) << text;
    std::string formatted = FormatNumber(*v);
    ASSERT_EQ(DigitsOf(formatted), std::to_string(mantissa)) << text << " -> " << formatted;
    ASSERT_EQ(formatted[0] == '-', i % 2 == 1) << text;
    ASSERT_EQ(StrictNumber(formatted), v) << text << " -> " << formatted;
  }
}

TEST(ToInteger, TruncatesAndSaturates) {
  EXPECT_EQ(ToInt32(2.9L), 2);
  EXPECT_EQ(ToInt32(-2.9L), -2);
  EXPECT_EQ(ToInt32(1e12L), INT32_MAX);
  EXPECT_EQ(ToInt32(-1e12L), INT32_MIN);
  EXPECT_EQ(ToInt32(2147483647.5L), INT32_MAX);
  EXPECT_EQ(ToInt32(-2147483648.0L), INT32_MIN);
  EXPECT_EQ(ToInt32(std::numeric_limits<long double>::quiet_NaN()), 0);
  EXPECT_EQ(ToInt32(std::numeric_limits<long double>::infinity()), INT32_MAX);
  EXPECT_EQ(ToInt64(1e30L), INT64_MAX);
  EXPECT_EQ(ToInt64(-1e30L), INT64_MIN);
  EXPECT_EQ(ToInt64(9223372036854775808.0L), INT64_MAX);  // 2^63, just past the range
  EXPECT_EQ(ToInt64(-9007199254740993.0L), -9007199254740993LL);
  EXPECT_EQ(ToInt64(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(CurrencyText, GroupsAndRounds) {
  EXPECT_EQ(CurrencyText("1234567"), "1,234,567");
  EXPECT_EQ(CurrencyText("1234.5"), "1,234.50");
  EXPECT_EQ(CurrencyText("2.5"), "2.50");
  EXPECT_EQ(CurrencyText("2.5x"), "2.50");
  EXPECT_EQ(CurrencyText("1234.567"), "1,234.57");
  EXPECT_EQ(CurrencyText("999.995"), "1,000.00");
  EXPECT_EQ(CurrencyText("1500.5"), "1,500.50");
  EXPECT_EQ(CurrencyText("0"), "0");
  EXPECT_EQ(CurrencyText("0.001"), "0.00");
  EXPECT_EQ(CurrencyText("-0.001"), "0.00");
  EXPECT_EQ(CurrencyText("-1234"), "-1,234");
  EXPECT_EQ(CurrencyText("123"), "123");
  EXPECT_EQ(CurrencyText("abc"), "0");
  EXPECT_EQ(CurrencyText("1e3"), "1,000");
  EXPECT_EQ(CurrencyText("1.0e18"), "1,000,000,000,000,000,000.00");
}

TEST(NumberText, IsNumberText) {
  EXPECT_TRUE(IsNumberText("12"));
  EXPECT_TRUE(IsNumberText("1.5e-3"));
  EXPECT_TRUE(IsNumberText("1+-"));
  EXPECT_FALSE(IsNumberText(""));
  EXPECT_FALSE(IsNumberText("-1"));
  EXPECT_FALSE(IsNumberText(".5"));
  EXPECT_FALSE(IsNumberText("12a"));
}

TEST(NumberText, TryParseInteger) {
  long long v = 0;
  EXPECT_TRUE(TryParseInteger(" 42 ", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(TryParseInteger("-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(TryParseInteger("+5", v));
  EXPECT_EQ(v, 5);
  v = 7;
  EXPECT_FALSE(TryParseInteger("9223372036854775808", v));
  EXPECT_FALSE(TryParseInteger("1.0", v));
  EXPECT_FALSE(TryParseInteger("", v));
  EXPECT_FALSE(TryParseInteger("+-5", v));
  EXPECT_FALSE(TryParseInteger("12 3", v));
  EXPECT_FALSE(TryParseInteger("$10", v));
  EXPECT_EQ(v, 7);
}

// Whole numbers are written with every digit, as the library writes them, at
// every length and around every power of ten.
TEST(FormatNumber, WholeNumbersAtEveryLength) {
  std::mt19937_64 random(11);
  std::vector<long long> values = {0,   1,        9,         10,        99,
                                   100, 99999999, 100000000, 100000001, 999999999999999};
  for (long long p = 1; p < 1000000000000000; p *= 10)
    for (long long v : {p - 1, p, p + 1, 7 * p}) values.push_back(v);
  for (int i = 0; i < 20000; ++i)
    values.push_back(static_cast<long long>(random() % 1000000000000000ull) >> (random() % 50));
  for (long long v : values) {
    EXPECT_EQ(FormatNumber(static_cast<Number>(v)), std::to_string(v));
    EXPECT_EQ(FormatNumber(static_cast<Number>(-v)), v == 0 ? "0" : "-" + std::to_string(v));
  }
}

// A decimal read right after it was written reads as the same number as when
// it is read long after (when the writing is no longer remembered).
TEST(ParseNumber, ReadsAJustWrittenDecimalAsAnyOther) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  for (int i = 0; i < 50000; ++i) {
    Number v = static_cast<Number>(mantissa(random)) *
               std::pow(10.0L, static_cast<int>(random() % 40) - 20);
    std::string text = FormatNumber(v);
    Number just_written = ParseNumber(text);
    for (int k = 0; k < 8; ++k) FormatNumber(static_cast<Number>(k) + 0.5L);  // forgotten
    Number read_later = ParseNumber(text);
    ASSERT_EQ(std::memcmp(&just_written, &read_later, 10), 0) << text;
  }
}

// Digits read eight and four at a time agree with reading them one by one at
// every length, and any byte that is not a digit is refused wherever it is.
TEST(NumberText, ReadDecimalDigitsAtEveryLength) {
  std::mt19937_64 random(7);
  for (size_t length = 0; length <= 18; ++length) {
    for (int round = 0; round < 200; ++round) {
      std::string digits;
      long long expected = 0;
      for (size_t i = 0; i < length; ++i) {
        int d = static_cast<int>(random() % 10);
        digits += static_cast<char>('0' + d);
        expected = expected * 10 + d;
      }
      long long read = -1;
      ASSERT_TRUE(ReadDecimalDigits(digits, read)) << digits;
      EXPECT_EQ(read, expected) << digits;
      if (length == 0) continue;
      for (char bad : {'/', ':', 'a', ' ', '\xB0'}) {
        std::string broken = digits;
        broken[random() % length] = bad;
        EXPECT_FALSE(ReadDecimalDigits(broken, read)) << broken;
      }
    }
  }
}

// A number written over a variable's previous text, shorter, longer or much
// shorter, leaves exactly the number's text.
TEST(FormatNumber, IntoAStringsOwnRoom) {
  std::string room = "1234567890123";
  for (Number v : {7.0L, -12.5L, 123456789012345.0L, 0.0L, 1e20L, 99.0L}) {
    FormatNumberInto(v, room);
    EXPECT_EQ(room, FormatNumber(v));
    EXPECT_EQ(room.size(), std::strlen(room.c_str()));
  }
}

}  // namespace
}  // namespace sorane
