// The operands and operators of the calculator, shared by the calculator that
// reads expression text and by the compiled expressions that repeat it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "text/number.h"

namespace sorane {

// An operand: a text with its number (ParseNumber of the text), or a number
// with its text (the number format). The other form is made on first use.
class Operand {
 public:
  Operand() = default;
  static Operand Text(std::string text, bool is_number) {
    Operand o;
    o.text_ = std::move(text);
    o.has_text_ = true;
    o.is_number = is_number;
    return o;
  }
  // A text whose number is already known (a number literal read once).
  static Operand TextWithNumber(std::string text, Number n) {
    Operand o = Text(std::move(text), true);
    o.num_ = n;
    o.has_num_ = true;
    return o;
  }
  static Operand Num(Number n) {
    Operand o;
    o.num_ = n;
    o.has_num_ = true;
    o.is_number = true;
    return o;
  }
  // Makes this operand a copy of `text` (its number read on first use).
  void SetText(const std::string& text, bool number) {
    text_ = text;
    has_text_ = true;
    has_num_ = false;
    is_number = number;
  }
  // Makes this operand the number n (its text made on first use).
  void SetNum(Number n) {
    num_ = n;
    has_num_ = true;
    has_text_ = false;
    is_number = true;
  }
  const std::string& text() {
    if (!has_text_) {
      text_ = FormatNumber(num_);
      has_text_ = true;
    }
    return text_;
  }
  Number num() {
    if (!has_num_) {
      num_ = ParseNumber(text_);
      has_num_ = true;
    }
    return num_;
  }
  std::string TakeText() {
    text();
    return std::move(text_);
  }

  bool is_number = false;

 private:
  std::string text_;
  Number num_ = 0;
  bool has_text_ = false;
  bool has_num_ = false;
};

// (The comparisons stay together, kEq to kGe: see IsComparison.)
enum class Op {
  kNone,
  kAnd,
  kOr,
  kEq,
  kNe,
  kLt,
  kGt,
  kLe,
  kGe,
  kAdd,
  kSub,
  kCat,
  kMul,
  kDiv,
  kMod,
  kPow
};

struct OpEntry {
  char first, second;  // second is '\0' for a one-character operator
  Op op;
  int level;  // 1 logic … 4 multiplicative
};

inline constexpr OpEntry kOperators[] = {
    {'&', '&', Op::kAnd, 1}, {'|', '|', Op::kOr, 1}, {'=', 0, Op::kEq, 2},   {'=', '=', Op::kEq, 2},
    {'<', '>', Op::kNe, 2},  {'>', '<', Op::kNe, 2}, {'<', 0, Op::kLt, 2},   {'>', 0, Op::kGt, 2},
    {'>', '=', Op::kGe, 2},  {'=', '>', Op::kGe, 2}, {'<', '=', Op::kLe, 2}, {'=', '<', Op::kLe, 2},
    {'+', 0, Op::kAdd, 3},   {'-', 0, Op::kSub, 3},  {'&', 0, Op::kCat, 3},  {'*', 0, Op::kMul, 4},
    {'/', 0, Op::kDiv, 4},   {'%', 0, Op::kMod, 4},  {'^', 0, Op::kPow, 4},
};
inline constexpr int kFactorLevel = 5;

// Characters that join with a following one of the same set into one operator.
inline bool PairsWithNext(char c) {
  return c != '\0' && std::strchr("&<=>|", c) != nullptr;
}

// The operator at p (one or two characters): its length, its op and level
// (level 0 for an operator that no level accepts).
inline size_t ReadOperator(const char* p, Op& op, int& level) {
  size_t len = PairsWithNext(p[0]) && PairsWithNext(p[1]) ? 2 : 1;
  char first = p[0], second = len == 2 ? p[1] : '\0';
  op = Op::kNone;
  level = 0;
  for (const OpEntry& e : kOperators) {
    if (e.first == first && e.second == second) {
      op = e.op;
      level = e.level;
      break;
    }
  }
  return len;
}

// What applying an operator may fail with.
enum class OpFault { kNone, kInvalidOperation, kIntegerDivisionByZero };

// Applies `op` to a and b into `out` (which may be a); a fault leaves `out` unset.
OpFault ApplyOperator(Op op, Operand& a, Operand& b, Operand& out);

class Interpreter;
// The value of a finished calculation (a number in the number format, type
// mark "e", or a text, "s"); sets SoreType.
std::string CalculationResult(Interpreter& in, Operand& r);

}  // namespace sorane
