// The arithmetic behind the number commands, free of the interpreter so it can
// be tested directly: decimal rounding, the elementary functions with their
// faults, integer bit operations, statistics over number lists and the random
// draws.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/number.h"

namespace sorane {

// What went wrong in a computation; each fault has its run-time message.
enum class MathFault { None, ZeroDivide, IntegerZeroDivide, Invalid, Overflow };

struct MathResult {
  Number value = 0;
  MathFault fault = MathFault::None;
};

// The message a fault is reported with (CP932).
const std::string& FaultMessage(MathFault fault);

// A finite value passes; NaN is an invalid operation, an infinity an overflow.
inline MathResult Checked(Number v) {
  if (std::isnan(v)) return {0, MathFault::Invalid};
  if (std::isinf(v)) return {0, MathFault::Overflow};
  return {v, MathFault::None};
}

// ---- Rounding. Both work on the decimal value of x (its 17 significant
// digits), so 1.005 is taken as written and not as the binary value just below.
// `places` is the number of decimals kept; negative places work on tens,
// hundreds and so on.

// Half away from zero: 1.005 at 2 gives 1.01, -2.5 at 0 gives -3.
Number RoundDecimal(Number x, long long places);
// Toward zero: 3.14159 at 2 gives 3.14, 0.29 at 2 stays 0.29.
Number TruncDecimal(Number x, long long places);
// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4); saturating.
int64_t RoundHalfEven(Number x);

// ---- Elementary functions with the faults of the floating-point unit.
MathResult Sin(Number x);
MathResult Cos(Number x);
MathResult Exp(Number x);
MathResult Ln(Number x);
MathResult Log2(Number x);
MathResult Log10(Number x);
MathResult LogBase(Number base, Number x);
MathResult Power(Number base, Number exponent);
MathResult Sqrt(Number x);
MathResult ArcSin(Number x);
MathResult ArcCos(Number x);
MathResult Divide(Number a, Number b);

// ---- Double precision where it settles the written digits. The C library
// computes sin, cos, exp, log and pow of doubles to within one unit in the
// last place (its documented bound is about half that), many times faster
// than in long double. Where every number within that bound of the double
// result, widened by how far narrowing the arguments to doubles may have
// moved it (`spread`), is written with the same digits, the long double
// result, which lies within it too, would print, read back and compare alike:
// the double result stands for it. Elsewhere the long double one is computed.

// x as the nearest double, with how far that is from x in `gap`.
double Narrowed(Number x, Number& gap);
// True when a double function's result `d` settles the digits as above.
bool SettlesDigits(double d, Number spread);

// ---- Integer operations. Inputs are saturated to the integer type first, so
// nothing overflows and no shift count is out of range.
MathResult Mod(int64_t a, int64_t b);          // sign of a; b = 0 is a fault
uint32_t ShiftRight(int32_t a, int64_t bits);  // logical, by bits mod 32
int32_t ShiftLeft(int32_t a, int64_t bits);    // by bits mod 32, wrapping
// Upper-case hexadecimal with at least two digits; negative values in the
// 32-bit range are written as 32-bit two's complement ("FFFFFFFF"), others as 64-bit.
std::string HexText(int64_t v);
// The fraction part of a numeric text as written: "-1.50" gives "0.50", a text
// without "." gives "".
std::string FracText(std::string_view text);

// ---- Number lists: one number per line (CR LF, CR or LF); lines are made
// half-width and trimmed, empty lines dropped; an empty list is the single value 0.
std::vector<Number> NumberList(std::string_view text);
Number ListSum(const std::vector<Number>& xs);
Number ListMean(const std::vector<Number>& xs);
// Population variance; computed around the mean, never negative.
Number ListVariance(const std::vector<Number>& xs);
// Sample standard deviation; a single value is an invalid operation (0 / 0).
MathResult ListStdDev(const std::vector<Number>& xs);
Number ListMax(const std::vector<Number>& xs);
Number ListMin(const std::vector<Number>& xs);

// ---- Random draws from the interpreter's generator.
// Uniform integer in 0 .. n-1; 0 when n <= 0.
int64_t DrawBelow(std::mt19937_64& rng, int64_t n);
// Uniform real in [0, 1).
Number DrawReal(std::mt19937_64& rng);
// The lines of `text` in a uniformly shuffled order, each followed by CR LF.
std::string ShuffleLines(std::string_view text, std::mt19937_64& rng);

}  // namespace sorane
