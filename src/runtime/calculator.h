// The link between the value evaluator and the calculator: when an operator
// follows the first operand of an expression, the evaluator hands the operand it
// has already read, with its type mark, and the rest of the text to the
// calculator. The operand travels as a value, so a number such as 1E20 or a
// text that looks like code is never read a second time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/errors.h"
#include "runtime/operand.h"

namespace sorane {

class Interpreter;

// Calculates `first` (type mark `first_type`) followed by the operators and
// operands at `rest`; sets SoreType. Errors are reported as calculation errors
// that quote `whole`, the expression as written.
std::string CalculateAfter(Interpreter& in, std::string first, const std::string& first_type,
                           const char* rest, const std::string& whole);

// Calculates the group at p ('(') as a calculation of its own, as
// Calculate(ReadGroup(p)) would, without copying a group nested in another;
// p moves past the ')'.
std::string CalculateGroup(Interpreter& in, const char*& p);

// The error a calculation reports for an error `e` raised inside it: the
// calculation error that names e's message and quotes `expression` (e itself
// when it is one already); e's own line leaves the error log.
[[noreturn]] void RaiseCalculationError(Interpreter& in, const ESorane& e,
                                        std::string_view expression);

// Raises the error of a faulty operation (OpFault, operand.h).
[[noreturn]] void RaiseOperatorFault(Interpreter& in, OpFault fault);

// Reads the group at p ('(') where the calculator expects an operator, as it
// reads one ahead before it stops: calculated for what it does, its value
// unused; p moves past the ')'.
void CalculateLookaheadGroup(Interpreter& in, const char*& p);

// Skips the literal at p ('"' or '`') as ReadLiteral reads it, without a copy;
// false, with p unmoved, when it does not close before the NUL.
bool SkipLiteral(const char*& p);

// The start of a long text quoted in a message, the cut marked with "…".
std::string Excerpt(std::string_view text);

// Expressions nest through groups, signs, embedded {expressions} and calls
// read in expressions. Each level holds one of these; when the nesting has used
// more stack than its budget, the expression fails with an error instead of
// exhausting the stack.
class ExpressionDepth {
 public:
  // (Inline: every expression holds one. The stack is measured from where
  // the outermost expression starts; its budget there is worked out when a
  // level inside it first goes beyond the budget (Measure), which raises the
  // error when that level is beyond the new budget too. Outermost
  // expressions start at a few depths in turn, and most hold no level that
  // needs it.)
  explicit ExpressionDepth(Interpreter& in) {
    char here;
    const auto pos = reinterpret_cast<uintptr_t>(&here);
    if (depth_ == 0) {
      if (pos != base_) {
        base_ = pos;
        budget_ = 0;
        measured_ = false;
      }
    } else if ((base_ > pos ? base_ - pos : pos - base_) > budget_) {
      Measure(in, pos);
    }
    ++depth_;
  }
  ~ExpressionDepth() { --depth_; }
  // What a level that holds no level inside it (it runs nothing and reads
  // no group) checks, without taking the level: the error a level here
  // raises. An outermost one checks nothing: the stack it would measure from
  // is measured again by the next outermost expression, with the same budget
  // for the same place.
  static void Check(Interpreter& in) {
    if (depth_ == 0) return;
    char here;
    const auto pos = reinterpret_cast<uintptr_t>(&here);
    if ((base_ > pos ? base_ - pos : pos - base_) > budget_) Measure(in, pos);
  }
  ExpressionDepth(const ExpressionDepth&) = delete;
  ExpressionDepth& operator=(const ExpressionDepth&) = delete;

 private:
  static void Measure(Interpreter& in, uintptr_t pos);
  static inline int depth_ = 0;
  static inline uintptr_t base_ = 0;
  static inline uintptr_t budget_ = 0;
  static inline bool measured_ = false;  // budget_ is that of base_
};

// Skips blanks, line breaks and the line marks after them: an expression may
// span lines inside a group or after "&".
void SkipExpressionBlanks(const char*& p);

// The readers walk NUL-terminated text, but a value is a std::string and may
// hold NUL bytes: CHR(0) expanded into a literal and re-quoted as an argument.
// While a value that holds one is read as an expression its bounds are open
// here, and a literal inside them takes a NUL for one of its bytes; anywhere
// else NUL ends the text.
class ValueText {
 public:
  explicit ValueText(std::string_view text);
  ~ValueText();
  ValueText(const ValueText&) = delete;
  ValueText& operator=(const ValueText&) = delete;
  // True when p is inside an open value (before its end): *p is a byte of it.
  static bool Inside(const char* p);

 private:
  bool open_ = false;
};

}  // namespace sorane
