// Expressions read once: the text of an expression that is made only of
// numbers, literals, words, groups and operators is cut into a small tree the
// first time it is evaluated, and later evaluations of the same text walk the
// tree instead of reading the text again. The tree is keyed by the text itself,
// so it never points into a text that may go away.
//
// A compiled expression computes exactly what the evaluator and the calculator
// compute from the text: the same operands in the same order, the same number
// format. Until it runs something it only reads words, and whatever it cannot
// do (an object, a member of a variable or object, a cell access) or what
// could fail (an operator out of place, an invalid operation) makes it give up
// before changing anything: the text is read as usual, which then does it or
// reports the error. Calls (名前(…), a command or label read as a value) run
// from the compiled form; once one has run, nothing gives up any more (the
// text would run the call again): what the compiled form cannot do is read
// from the text term by term, and errors are reported as the calculator
// reports them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sorane {

class Interpreter;
struct THashNode;

// A number result handed over without its text (see TryRunKept); one
// computed on whole numbers is that integer (`is_whole`), and its value is
// made from it only when asked for (most such results are stored or compared
// as integers).
struct NumberResult {
  long double value = 0;  // when not is_whole
  int64_t whole = 0;
  bool given = false;
  bool is_whole = false;
  long double Value() const { return is_whole ? static_cast<long double>(whole) : value; }
};

// False when the environment variable SORANE_NO_CACHE is "1" at the first
// call: every cache of the run-time stays unused, so a run can be compared with
// and without them.
bool CachesEnabled();

class ExpressionCache {
 public:
  ExpressionCache();
  ~ExpressionCache();
  ExpressionCache(const ExpressionCache&) = delete;
  ExpressionCache& operator=(const ExpressionCache&) = delete;

  // Evaluate(text) through the compiled form: true with the value in `out` and
  // SoreType set; false, with nothing changed, when the text must be read.
  // `handle`, when given, keeps the compiled form of this text for the next
  // call with the same text and the same handle (no lookup then).
  bool TryEvaluate(Interpreter& in, const std::string& text, std::string& out,
                   std::shared_ptr<void>* handle = nullptr);
  // The expansion of a double-quoted literal with embedded expressions, as
  // it stands in a program text (one text for every pass over it).
  bool TryExpandLiteral(Interpreter& in, const std::string& literal, std::string& out,
                        std::shared_ptr<void>* handle = nullptr);
  // TryEvaluate or TryCalculate through a handle kept from an earlier one, for
  // a value whose text may not be needed: a number result comes back as
  // `number` (`given`, SoreType not set) without its text; any other result
  // in `out` with SoreType set.
  bool TryRunKept(Interpreter& in, std::shared_ptr<void>& handle, std::string& out,
                  NumberResult& number);
  // An evaluation kept by `handle` that reads `word`'s own value followed by
  // joined terms that only read (literals, numbers, variables): the terms are
  // added to the word's value in place, and true; false, with nothing
  // changed, for any other.
  bool TryAppendKept(Interpreter& in, std::shared_ptr<void>& handle, THashNode* word);
  // Whether the evaluation kept by `handle` has that shape: a word, then
  // joined terms, nothing calculated after them.
  static bool MayAppend(const std::shared_ptr<void>& handle);
  // The same for Calculate(text).
  bool TryCalculate(Interpreter& in, const std::string& text, std::string& out,
                    std::shared_ptr<void>* handle = nullptr);

  struct Entry;
  struct Tables;

 private:
  Entry& EntryOf(const std::string& text, bool calculation, std::shared_ptr<void>* handle);
  bool Run(Interpreter& in, Entry& entry, std::string& out, NumberResult* number = nullptr);
  [[gnu::noinline]] bool RunCompiled(Interpreter& in, Entry& entry, std::string& out,
                                     NumberResult* number);
  std::unique_ptr<Tables> tables_;
};

// "$" and hexadecimal digits: the 32-bit integer they spell, in decimal.
std::string HexLiteralValue(std::string_view literal);

}  // namespace sorane
