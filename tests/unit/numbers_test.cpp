// Decimal rounding, the faults of the elementary functions, integer and bit
// operations, statistics over number lists and the random draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "library/numbers/numbers_math.h"
#include "text/encoding.h"
#include "text/number.h"

namespace sorane {
namespace {

std::string Fmt(Number v) {
  return FormatNumber(v);
}

// Rounding and cutting through digits computed exactly in integers give what
// the same work on the number's 17-digit decimal text gives, bit for bit.
TEST(NumbersRounding, ExactDigitsAgreeWithTheDecimalText) {
  auto by_text = [](Number x, long long places, bool round) -> Number {
    if (!std::isfinite(x) || x == 0) return x;
    char buf[64];
    snprintf(buf, sizeof buf, "%.16Le", std::fabs(x));
    std::string digits;
    const char* p = buf;
    for (; *p != 'e'; ++p)
      if (*p != '.') digits += *p;
    long long keep = atoi(p + 1) + 1 + places;
    if (keep >= 17) return x;
    if (keep < 0) return 0;
    uint64_t mantissa = 0;
    for (long long i = 0; i < keep; ++i) mantissa = mantissa * 10 + (digits[i] - '0');
    if (round && digits[keep] >= '5') ++mantissa;
    if (mantissa == 0) return 0;
    Number v = strtold((std::to_string(mantissa) + "E" + std::to_string(-places)).c_str(), nullptr);
    return x < 0 ? -v : v;
  };
  uint64_t seed = 88172645463325252ULL;
  auto next = [&seed] {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    return seed;
  };
  for (int i = 0; i < 300000; ++i) {
    Number x;
    if (i % 5 == 0)  // exact halves of the 17th digit: 17 digits and .5
      x = static_cast<Number>(10000000000000000ULL + next() % 90000000000000000ULL) + 0.5L;
    else if (i % 2)  // amounts as written: up to 15 digits, up to 10 decimals
      x = static_cast<Number>(next() % 1000000000000000ULL) / std::pow(10.0L, next() % 11);
    else  // any bits, 2^-12 to 2^64
      x = std::ldexp(static_cast<Number>(next()), static_cast<int>(next() % 77) - 76);
    if (next() % 2) x = -x;
    long long places = static_cast<long long>(next() % 16) - 3;
    ASSERT_EQ(RoundDecimal(x, places), by_text(x, places, true)) << (double)x << " " << places;
    ASSERT_EQ(TruncDecimal(x, places), by_text(x, places, false)) << (double)x << " " << places;
  }
}

TEST(NumbersRounding, HalfAwayFromZeroOnTheDecimalValue) {
  // Binary values just below the written half still round up, and away from zero.
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("2.675"), 2)), "2.68");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("-1.005"), 2)), "-1.01");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("1.0049"), 2)), "1");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("9.995"), 2)), "10");  // carry through all digits
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("0.1") + ParseNumber("0.2"), 1)), "0.3");
}

TEST(NumbersRounding, NegativeAndExtremePlaces) {
  EXPECT_EQ(Fmt(RoundDecimal(-1250, -2)), "-1300");
  EXPECT_EQ(Fmt(RoundDecimal(0.96L, -1)), "0");
  EXPECT_EQ(Fmt(RoundDecimal(5, -1)), "10");
  EXPECT_EQ(Fmt(RoundDecimal(123.456L, std::numeric_limits<long long>::max())), "123.456");
  EXPECT_EQ(Fmt(RoundDecimal(123.456L, std::numeric_limits<long long>::min())), "0");
  // Integers beyond 15 digits are kept whole at 0 places.
  EXPECT_EQ(RoundDecimal(1152921504606846976.0L, 0), 1152921504606846976.0L);
}

TEST(NumbersRounding, TruncateTowardZero) {
  // Written values whose binary form lies just below them are not cut short.
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("0.29"), 2)), "0.29");
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("4.35"), 2)), "4.35");
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("-3.14159"), 2)), "-3.14");
  EXPECT_EQ(Fmt(TruncDecimal(999, -3)), "0");
}

TEST(NumbersRounding, RoundHalfEvenSaturates) {
  EXPECT_EQ(RoundHalfEven(-2.5L), -2);
  EXPECT_EQ(RoundHalfEven(-1e30L), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<Number>::quiet_NaN()), 0);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<Number>::infinity()),
            std::numeric_limits<int64_t>::max());
}

TEST(NumbersFunctions, FaultsOfLogarithmsAndPowers) {
  EXPECT_EQ(Fmt(LogBase(10, 1000).value), "3");
  EXPECT_EQ(Fmt(Power(-2, 3).value), "-8");
  EXPECT_EQ(LogBase(1, 5).fault, MathFault::ZeroDivide);
  EXPECT_EQ(LogBase(1, 1).fault, MathFault::Invalid);
  EXPECT_EQ(LogBase(-2, 8).fault, MathFault::Invalid);
  EXPECT_EQ(Power(-8, 0.5L).fault, MathFault::Invalid);
  EXPECT_EQ(Power(10, 100000).fault, MathFault::Overflow);
  EXPECT_EQ(ArcCos(-1.0001L).fault, MathFault::Invalid);
  EXPECT_EQ(Divide(0, 0).fault, MathFault::ZeroDivide);
  EXPECT_EQ(Checked(std::numeric_limits<Number>::quiet_NaN()).fault, MathFault::Invalid);
}

// The functions computed in double precision where that settles the digits
// print and read back exactly as the long double functions' results, on
// whole and decimal arguments, near zeros and at the ends of the range; and
// the double precision path is the one most of them take.
TEST(NumbersFunctions, DoublePrecisionWritesTheLongDoubleDigits) {
  std::vector<Number> args;
  for (int i = 1; i <= 8000; ++i) {
    args.push_back(i);
    args.push_back(-i * 7);
    args.push_back(ParseNumber(std::to_string(i) + "." + std::to_string(i % 997)));
    args.push_back(i / 1024.0L);
  }
  for (Number x : {0.1L, 1e-9L, 3.14159265358979L, 6.28318530717959L, 1e5L, 123456789.5L, 1e18L,
                   1e300L, 1e-300L, 1e4000L, 0.5L, 1.0L, 2.0L})
    args.push_back(x);
  int fast = 0, total = 0;
  auto same = [&](const char* name, Number x, MathResult got, Number want) {
    ++total;
    if (static_cast<Number>(static_cast<double>(got.value)) == got.value) ++fast;
    if (!std::isfinite(want)) {
      EXPECT_NE(got.fault, MathFault::None) << name << " " << Fmt(x);
      return;
    }
    EXPECT_EQ(Fmt(got.value), Fmt(want)) << name << " " << Fmt(x);
    EXPECT_EQ(NumberAsWritten(got.value), NumberAsWritten(want)) << name << " " << Fmt(x);
  };
  for (Number x : args) {
    same("sin", x, Sin(x), sinl(x));
    same("cos", x, Cos(x), cosl(x));
    if (std::fabs(x) < 12000) same("exp", x, Exp(x), expl(x));
    if (x > 0) same("ln", x, Ln(x), logl(x));
    if (x > 0) same("pow", x, Power(x, 0.25L), powl(x, 0.25L));
    if (x > 0) same("pow", x, Power(1.5L, x / 7), powl(1.5L, x / 7));
    if (x > 0) same("pow", x, Power(x, 0.1L), powl(x, 0.1L));
  }
  same("pow", 3, Power(-2.5L, 3), powl(-2.5L, 3));
  same("pow", 2, Power(-1.1L, 2), powl(-1.1L, 2));
  EXPECT_GT(fast, total / 2);
}

TEST(NumbersIntegers, NoOverflowOrOutOfRangeShift) {
  EXPECT_EQ(Mod(7, -3).value, 1);
  EXPECT_EQ(Mod(std::numeric_limits<int64_t>::min(), -1).value, 0);  // would trap
  EXPECT_EQ(ShiftRight(1, 1000000000000LL), 1u);                     // counts mod 32
  EXPECT_EQ(ShiftRight(-1, -1), 1u);                                 // -1 mod 32 is 31
  EXPECT_EQ(ShiftLeft(3, 31), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ShiftLeft(1, 64), 1);
  EXPECT_EQ(HexText(0), "00");
  EXPECT_EQ(HexText(4294967296LL), "100000000");
  EXPECT_EQ(HexText(std::numeric_limits<int64_t>::min()), "8000000000000000");
}

TEST(NumbersIntegers, FracKeepsTheWrittenDigits) {
  EXPECT_EQ(FracText(".5"), "0.5");
  EXPECT_EQ(FracText("12"), "");
  EXPECT_EQ(FracText(SJ("１２．３４")), "0.34");
}

TEST(NumbersLists, LinesAndEmptyLists) {
  std::vector<Number> xs = NumberList(SJ("2\r\n\r\n ４ \n-7\r"));
  ASSERT_EQ(xs.size(), 3u);
  EXPECT_EQ(Fmt(ListMin(xs)), "-7");
  EXPECT_EQ(Fmt(ListMax(NumberList("\r\n"))), "0");  // an empty list is the value 0
  EXPECT_EQ(ListStdDev(NumberList("5")).fault, MathFault::Invalid);
}

TEST(NumbersLists, VarianceIsNeverNegative) {
  // Equal values: the sum-of-squares formula leaves a tiny negative residue.
  std::vector<Number> same = NumberList("0.1\r\n0.1\r\n0.1\r\n0.1\r\n0.1\r\n0.1\r\n0.1");
  EXPECT_EQ(ListVariance(same), 0);
  EXPECT_EQ(ListStdDev(same).value, 0);
  EXPECT_EQ(ListStdDev(same).fault, MathFault::None);
  // Large values with a small spread keep their variance.
  std::vector<Number> big = NumberList("1000000000001\r\n1000000000002");
  EXPECT_EQ(Fmt(ListVariance(big)), "0.25");
}

TEST(NumbersRandom, DrawsStayInRange) {
  std::mt19937_64 rng(42);
  for (int i = 0; i < 1000; ++i) {
    int64_t x = DrawBelow(rng, 6);
    EXPECT_TRUE(x >= 0 && x < 6) << x;
    Number r = DrawReal(rng);
    EXPECT_TRUE(r >= 0 && r < 1) << r;
  }
  EXPECT_EQ(DrawBelow(rng, -5), 0);
  EXPECT_GE(DrawBelow(rng, std::numeric_limits<int64_t>::max()), 0);
}

TEST(NumbersRandom, ShuffleIsAUniformPermutation) {
  std::mt19937_64 rng(7);
  EXPECT_EQ(ShuffleLines("", rng), "");
  EXPECT_EQ(ShuffleLines("only", rng), "only\r\n");
  std::string shuffled = ShuffleLines("a\r\nb\nc\rd\r\n", rng);
  std::string sorted = shuffled;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, "\n\n\n\n\r\r\r\rabcd");
  // Each of 10 lines should end up first about a tenth of the time. A few
  // random transpositions would leave line 0 in place far more often.
  int first_stays = 0;
  const int kRuns = 4000;
  for (int i = 0; i < kRuns; ++i) {
    if (ShuffleLines("0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9", rng)[0] == '0')
      ++first_stays;
  }
  EXPECT_GT(first_stays, kRuns / 10 - 100);
  EXPECT_LT(first_stays, kRuns / 10 + 100);
}

}  // namespace
}  // namespace sorane
