// Decimal rounding, the faults of the elementary functions, integer and bit
// operations, statistics over number lists and the random draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>

#include "library/numbers_math.h"
#include "text/encoding.h"
#include "text/number.h"

namespace sorane {
namespace {

std::string Fmt(Number v) {
  return FormatNumber(v);
}

TEST(NumbersRounding, HalfAwayFromZeroOnTheDecimalValue) {
  // Binary values just below the written half still round up.
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("1.005"), 2)), "1.01");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("0.125"), 2)), "0.13");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("2.675"), 2)), "2.68");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("1.0049"), 2)), "1");
  EXPECT_EQ(Fmt(RoundDecimal(-2.5L, 0)), "-3");
  EXPECT_EQ(Fmt(RoundDecimal(2.5L, 0)), "3");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("-1.005"), 2)), "-1.01");
  // A carry through all digits, and rounding of sums computed in binary.
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("9.995"), 2)), "10");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("0.1") + ParseNumber("0.2"), 1)), "0.3");
  EXPECT_EQ(Fmt(RoundDecimal(ParseNumber("1234.5678"), 2)), "1234.57");
}

TEST(NumbersRounding, NegativeAndExtremePlaces) {
  EXPECT_EQ(Fmt(RoundDecimal(1250, -2)), "1300");
  EXPECT_EQ(Fmt(RoundDecimal(1249, -2)), "1200");
  EXPECT_EQ(Fmt(RoundDecimal(-1250, -2)), "-1300");
  EXPECT_EQ(Fmt(RoundDecimal(0.96L, -1)), "0");
  EXPECT_EQ(Fmt(RoundDecimal(5, -1)), "10");
  EXPECT_EQ(Fmt(RoundDecimal(4, -1)), "0");
  EXPECT_EQ(Fmt(RoundDecimal(123.456L, 30)), "123.456");
  EXPECT_EQ(Fmt(RoundDecimal(123.456L, std::numeric_limits<long long>::max())), "123.456");
  EXPECT_EQ(Fmt(RoundDecimal(123.456L, std::numeric_limits<long long>::min())), "0");
  EXPECT_EQ(Fmt(RoundDecimal(0, 2)), "0");
  // Integers beyond 15 digits are kept whole at 0 places.
  EXPECT_EQ(RoundDecimal(1152921504606846976.0L, 0), 1152921504606846976.0L);
}

TEST(NumbersRounding, TruncateTowardZero) {
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("3.14159"), 2)), "3.14");
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("-3.14159"), 2)), "-3.14");
  // Written values whose binary form lies just below them are not cut short.
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("0.29"), 2)), "0.29");
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("1.1"), 1)), "1.1");
  EXPECT_EQ(Fmt(TruncDecimal(ParseNumber("4.35"), 2)), "4.35");
  EXPECT_EQ(Fmt(TruncDecimal(1999, -3)), "1000");
  EXPECT_EQ(Fmt(TruncDecimal(999, -3)), "0");
}

TEST(NumbersRounding, RoundHalfEvenAndSaturation) {
  EXPECT_EQ(RoundHalfEven(2.5L), 2);
  EXPECT_EQ(RoundHalfEven(3.5L), 4);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2);
  EXPECT_EQ(RoundHalfEven(2.6L), 3);
  EXPECT_EQ(RoundHalfEven(1e30L), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(RoundHalfEven(-1e30L), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<Number>::quiet_NaN()), 0);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<Number>::infinity()),
            std::numeric_limits<int64_t>::max());
}

TEST(NumbersFunctions, ValuesAndFaults) {
  EXPECT_EQ(Fmt(LogBase(2, 8).value), "3");
  EXPECT_EQ(Fmt(LogBase(10, 1000).value), "3");
  EXPECT_EQ(Fmt(Power(2, 10).value), "1024");
  EXPECT_EQ(Fmt(Power(-2, 3).value), "-8");
  EXPECT_EQ(Fmt(Power(0, 0).value), "1");
  EXPECT_EQ(Fmt(Sqrt(2).value), "1.4142135623731");
  EXPECT_EQ(Fmt(Log10(0.001L).value), "-3");

  EXPECT_EQ(Ln(0).fault, MathFault::ZeroDivide);
  EXPECT_EQ(Ln(-1).fault, MathFault::Invalid);
  EXPECT_EQ(Log2(-8).fault, MathFault::Invalid);
  EXPECT_EQ(LogBase(1, 5).fault, MathFault::ZeroDivide);
  EXPECT_EQ(LogBase(-2, 8).fault, MathFault::Invalid);
  EXPECT_EQ(Power(0, -1).fault, MathFault::ZeroDivide);
  EXPECT_EQ(Power(-8, 0.5L).fault, MathFault::Invalid);
  EXPECT_EQ(Power(10, 100000).fault, MathFault::Overflow);
  EXPECT_EQ(Exp(1e6L).fault, MathFault::Overflow);
  EXPECT_EQ(Sqrt(-1).fault, MathFault::Invalid);
  EXPECT_EQ(ArcSin(1.5L).fault, MathFault::Invalid);
  EXPECT_EQ(ArcCos(-1.0001L).fault, MathFault::Invalid);
  EXPECT_EQ(Divide(1, 0).fault, MathFault::ZeroDivide);
  EXPECT_EQ(Divide(0, 0).fault, MathFault::ZeroDivide);
  EXPECT_EQ(Checked(std::numeric_limits<Number>::quiet_NaN()).fault, MathFault::Invalid);
  EXPECT_EQ(FaultMessage(MathFault::ZeroDivide), SJ("0 による浮動小数点数除算"));
  EXPECT_EQ(FaultMessage(MathFault::IntegerZeroDivide), SJ("ゼロによる除算"));
}

TEST(NumbersIntegers, ModShiftsAndHex) {
  EXPECT_EQ(Mod(-7, 3).value, -1);
  EXPECT_EQ(Mod(7, -3).value, 1);
  EXPECT_EQ(Mod(5, 0).fault, MathFault::IntegerZeroDivide);
  EXPECT_EQ(Mod(std::numeric_limits<int64_t>::min(), -1).value, 0);  // no trap

  EXPECT_EQ(ShiftRight(-1, 28), 15u);
  EXPECT_EQ(ShiftRight(256, 4), 16u);
  EXPECT_EQ(ShiftRight(256, 36), 16u);  // counts are taken mod 32
  EXPECT_EQ(ShiftRight(1, 1000000000000LL), 1u);
  EXPECT_EQ(ShiftRight(-1, -1), 1u);  // -1 mod 32 is 31
  EXPECT_EQ(ShiftLeft(1, 31), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ShiftLeft(3, 31), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ShiftLeft(1, 64), 1);

  EXPECT_EQ(HexText(10), "0A");
  EXPECT_EQ(HexText(255), "FF");
  EXPECT_EQ(HexText(256), "100");
  EXPECT_EQ(HexText(0), "00");
  EXPECT_EQ(HexText(-1), "FFFFFFFF");
  EXPECT_EQ(HexText(4294967296LL), "100000000");
  EXPECT_EQ(HexText(std::numeric_limits<int64_t>::min()), "8000000000000000");
}

TEST(NumbersIntegers, FracKeepsTheWrittenDigits) {
  EXPECT_EQ(FracText("-1.50"), "0.50");
  EXPECT_EQ(FracText("3.14"), "0.14");
  EXPECT_EQ(FracText(".5"), "0.5");
  EXPECT_EQ(FracText("12"), "");
  EXPECT_EQ(FracText(SJ("１２．３４")), "0.34");
}

TEST(NumbersLists, ParsingAndStatistics) {
  std::vector<Number> xs = NumberList(SJ("2\r\n\r\n ４ \n"));
  ASSERT_EQ(xs.size(), 2u);
  EXPECT_EQ(Fmt(ListSum(xs)), "6");
  EXPECT_EQ(Fmt(ListMean(xs)), "3");
  EXPECT_EQ(Fmt(ListVariance(xs)), "1");
  EXPECT_EQ(Fmt(ListStdDev(xs).value), "1.4142135623731");
  EXPECT_EQ(Fmt(ListMax(NumberList("3\r-7\r5"))), "5");
  EXPECT_EQ(Fmt(ListMin(NumberList("3\r-7\r5"))), "-7");
  // An empty list is the single value 0.
  EXPECT_EQ(Fmt(ListMean(NumberList(""))), "0");
  EXPECT_EQ(Fmt(ListMax(NumberList("\r\n"))), "0");
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

TEST(NumbersRandom, RepeatableAndInRange) {
  std::mt19937_64 a(42), b(42);
  for (int i = 0; i < 1000; ++i) {
    int64_t x = DrawBelow(a, 6);
    EXPECT_EQ(x, DrawBelow(b, 6));
    EXPECT_GE(x, 0);
    EXPECT_LT(x, 6);
    Number r = DrawReal(a);
    EXPECT_EQ(r, DrawReal(b));
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 1);
  }
  EXPECT_EQ(DrawBelow(a, 0), 0);
  EXPECT_EQ(DrawBelow(a, -5), 0);
  EXPECT_EQ(DrawBelow(a, 1), 0);
  int64_t big = DrawBelow(a, std::numeric_limits<int64_t>::max());
  EXPECT_GE(big, 0);
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
