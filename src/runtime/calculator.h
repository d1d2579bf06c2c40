// The link between the value evaluator and the calculator: when an operator
// follows the first operand of an expression, the evaluator hands the operand it
// has already read, with its type mark, and the rest of the text to the
// calculator. The operand travels as a value, so a number such as 1E20 or a
// text that looks like code is never read a second time.
#pragma once

#include <string>

namespace sorane {

class Interpreter;

// Calculates `first` (type mark `first_type`) followed by the operators and
// operands at `rest`; sets SoreType. Errors are reported as calculation errors
// that quote `whole`, the expression as written.
std::string CalculateAfter(Interpreter& in, std::string first, const std::string& first_type,
                           const char* rest, const std::string& whole);

// Expressions nest through groups, signs, embedded {expressions} and calls
// read in expressions. Each level holds one of these; when the nesting has used
// more stack than its budget, the expression fails with an error instead of
// exhausting the stack.
class ExpressionDepth {
 public:
  explicit ExpressionDepth(Interpreter& in);
  ~ExpressionDepth();
  ExpressionDepth(const ExpressionDepth&) = delete;
  ExpressionDepth& operator=(const ExpressionDepth&) = delete;
};

// Skips blanks, line breaks and the line marks after them: an expression may
// span lines inside a group or after "&".
void SkipExpressionBlanks(const char*& p);

}  // namespace sorane
