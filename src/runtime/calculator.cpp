// The calculator: a small operator-precedence parser for arithmetic, comparison
// and logic. Precedence, lowest first:
//   1  && ||                      (both sides always evaluated; > 0 is true)
//   2  = == <> >< < > >= => <= =< (numeric when the right operand is a number)
//   3  + - &
//   4  * / % ^
// Every level applies from left to right. Operands are terms of the evaluator;
// each carries its text and its number, and a flag saying which one it is.
#include "runtime/calculator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/compiled_expression.h"
#include "runtime/interpreter.h"
#include "runtime/operand.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {
namespace {

enum TokenClass { kTextToken, kNumberToken, kStartToken, kOperatorToken };

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

Operand Truth(bool b) {
  return Operand::Num(b ? 1 : 0);
}

int Compare(Operand& a, Operand& b) {
  if (b.is_number) {
    Number x = a.num(), y = b.num();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  int c = a.text().compare(b.text());  // byte by byte, bytes unsigned
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---- groups read in place
//
// A group nested n deep in an expression would be copied n times if every
// level copied its content. Instead the outermost group of an expression is
// copied once, with the matching ')' of every group inside it noted; a group
// inside that copy is then read where it stands, its ')' turned into NUL while
// it is read, so it reads exactly as a copy of its own content would.

struct GroupText {
  std::string text;                     // the content of the outermost group
  std::vector<uint32_t> opens, closes;  // offsets of nested '(' and their ')'
};

std::vector<const GroupText*> g_group_texts;  // open while they are read

// The group at p, found in an open group text: its ')' (nullptr when p is
// not the start of a group noted there).
char* ClosingInPlace(const char* p) {
  for (auto it = g_group_texts.rbegin(); it != g_group_texts.rend(); ++it) {
    const GroupText& g = **it;
    const char* base = g.text.data();
    if (p < base || p >= base + g.text.size()) continue;
    auto at = std::lower_bound(g.opens.begin(), g.opens.end(), static_cast<uint32_t>(p - base));
    if (at == g.opens.end() || *at != static_cast<uint32_t>(p - base)) return nullptr;
    // The text is this reader's own copy, made below.
    return const_cast<char*>(base) + g.closes[at - g.opens.begin()];
  }
  return nullptr;
}

}  // namespace

bool SkipLiteral(const char*& p) {
  const char quote = *p;
  const char* q = p + 1;
  while (*q) {
    if (quote == '"' && *q == '\\' && q[1]) {
      q += 1 + CharLenZ(q + 1);
      continue;
    }
    if (*q == quote) {
      if (quote == '`' && q[1] == '`') {
        q += 2;
        continue;
      }
      p = q + 1;
      return true;
    }
    q += CharLenZ(q);
  }
  return false;
}

namespace {

// Copies the content of the group at p ('(') into g, as ReadGroup does, noting
// the groups inside it; returns its ')'. False in `indexed` when the copy
// cannot be read in place: it holds no group, or a NUL byte of a value
// (bytes of a value cannot be sealed), or is too long for the table.
const char* CopyGroup(Interpreter& in, const char* p, GroupText& g, bool& indexed) {
  std::vector<size_t> open_groups;  // indexes into g.opens of groups not closed yet
  const char* start = p + 1;
  const char* q = start;
  bool value_nul = false;
  while (*q) {
    char c = *q;
    if (c == '"' || c == '`') {
      if (!SkipLiteral(q)) {
        in.ReadLiteral(q);  // raises the reader's own error, or reads a NUL of a value
        value_nul = true;
      }
      continue;
    }
    if (c == '(') {
      open_groups.push_back(g.opens.size());
      g.opens.push_back(static_cast<uint32_t>(q - start));
      g.closes.push_back(0);
    } else if (c == ')') {
      if (open_groups.empty()) {
        g.text.assign(start, q);
        indexed = !g.opens.empty() && !value_nul && g.text.size() < UINT32_MAX;
        return q;
      }
      g.closes[open_groups.back()] = static_cast<uint32_t>(q - start);
      open_groups.pop_back();
    }
    q += CharLenZ(q);
  }
  in.ReadGroup(p);  // raises the reader's own error
  return nullptr;   // not reached
}

// The outermost group: read from a copy that the groups inside it read in place.
template <class Read>
[[gnu::noinline]] auto ReadGroupCopy(Interpreter& in, const char*& p, Read& read) {
  GroupText g;
  bool indexed = false;
  const char* close = CopyGroup(in, p, g, indexed);
  if (indexed) g_group_texts.push_back(&g);
  struct Close {
    bool open;
    ~Close() {
      if (open) g_group_texts.pop_back();
    }
  } closer{indexed};
  ValueText value(g.text);
  p = close + 1;
  return read(g.text.c_str(), std::string_view(g.text));
}

// Reads the group at p ('(') as ReadGroup does and calls read(content, whole)
// on its content; p moves past the ')'. A group noted in an open copy is read
// in place, its ')' sealed as NUL meanwhile.
template <class Read>
auto ReadGroupWith(Interpreter& in, const char*& p, Read read) {
  char* close = ClosingInPlace(p);
  if (!close) return ReadGroupCopy(in, p, read);
  const char* content = p + 1;
  struct Seal {
    char* at;
    explicit Seal(char* c) : at(c) { *at = '\0'; }
    ~Seal() { *at = ')'; }
  } seal(close);
  p = close + 1;
  return read(content, std::string_view(content, close - content));
}

class Calculator {
 public:
  Calculator(Interpreter& in, const char* p) : in_(in), p_(p) {}

  // The whole expression at p.
  Operand Run() {
    Next();
    return Finish();
  }

  // `first` has been read already; the tokens start at p.
  Operand RunAfter(Operand first) {
    token_ = std::move(first);
    class_ = token_.is_number ? kNumberToken : kTextToken;
    return Finish();
  }

 private:
  Operand Finish() {
    Operand r = Level(1);
    if (class_ == kStartToken || class_ == kOperatorToken) in_.Raise(SJ("計算結果が不正"));
    return r;
  }

  Operand Level(int level) {
    if (level == kFactorLevel) return Factor();
    Operand a = Level(level + 1);
    while (class_ == kOperatorToken && level_ == level) {
      Op op = op_;
      Next();
      Operand b = Level(level + 1);
      a = Apply(op, a, b);
    }
    return a;
  }

  Operand Factor() {
    if (class_ == kOperatorToken) in_.Raise(SJ("演算子「") + op_text_ + SJ("」の位置が不正。"));
    Operand v = std::move(token_);
    Next();
    return v;
  }

  Operand Apply(Op op, Operand& a, Operand& b) {
    Operand r;
    OpFault fault = ApplyOperator(op, a, b, r);
    if (fault != OpFault::kNone) RaiseOperatorFault(in_, fault);
    return r;
  }

  // ---- tokenizer

  void Next() {
    SkipExpressionBlanks(p_);
    const char c = *p_;
    bool operand_expected = class_ == kStartToken || class_ == kOperatorToken;
    if (c == '\0') {
      SetOperand(Operand::Text(std::string(), false));
    } else if (c == '(') {
      Group();
    } else if (operand_expected && c == '-') {
      ++p_;
      SetOperand(Operand::Text("-" + in_.Term(p_), true));
    } else if (operand_expected && c == '+' && (p_[1] == '$' || IsDigit(p_[1]))) {
      ++p_;
      SetOperand(Operand::Text(in_.Term(p_), true));
    } else if (IsOperatorChar(static_cast<unsigned char>(c))) {
      Operator();
    } else {
      std::string v = in_.Term(p_);
      SetOperand(Operand::Text(std::move(v), in_.S.SoreType == "e"));
    }
  }

  // A group is calculated on its own; its value is a number unless it is text.
  void Group() {
    ExpressionDepth depth(in_);
    Operand r = ReadGroupWith(in_, p_, [&](const char* content, std::string_view) {
      Calculator inner(in_, content);
      return inner.Run();
    });
    std::string v = r.is_number ? FormatNumber(r.num()) : r.TakeText();
    SetOperand(Operand::Text(std::move(v), r.is_number));
  }

  void Operator() {
    size_t len = ReadOperator(p_, op_, level_);  // level 0: no level accepts it
    op_text_.assign(p_, len);
    p_ += len;
    class_ = kOperatorToken;
  }

  void SetOperand(Operand v) {
    token_ = std::move(v);
    class_ = token_.is_number ? kNumberToken : kTextToken;
  }

  Interpreter& in_;
  const char* p_;
  Operand token_;
  int class_ = kStartToken;
  Op op_ = Op::kNone;
  int level_ = 0;
  std::string op_text_;
};

}  // namespace

std::string CalculationResult(Interpreter& in, Operand& r) {
  if (r.is_number) {
    SetTypeMark(in.S.SoreType, "e");
    return FormatNumber(r.num());
  }
  SetTypeMark(in.S.SoreType, "s");
  return r.TakeText();
}

namespace {

// The message of a report line without its "[エラー] file(N行目): " head.
std::string PlainMessage(const std::string& line) {
  const std::string& head = SJ("[エラー] ");
  const std::string& tail = SJ("行目): ");
  if (line.compare(0, head.size(), head) != 0) return line;
  size_t at = line.find(tail);
  return at == std::string::npos ? line : line.substr(at + tail.size());
}

// Runs `body`; any error inside becomes one calculation error that names the
// inner message and the expression. The inner report line is taken back out of
// the error log, so the log shows one line for one failure.
template <class Body>
std::string Guarded(Interpreter& in, std::string_view expression, Body body) {
  try {
    return body();
  } catch (const ESorane& e) {
    RaiseCalculationError(in, e, expression);
  }
}

// Calculates the NUL-terminated text at `text`; errors quote `whole`.
std::string CalculateText(Interpreter& in, const char* text, std::string_view whole) {
  return Guarded(in, whole, [&] {
    Calculator c(in, text);
    Operand r = c.Run();
    return CalculationResult(in, r);
  });
}

}  // namespace

OpFault ApplyOperator(Op op, Operand& a, Operand& b, Operand& out) {
  switch (op) {
    case Op::kAnd:
      out = Truth(a.num() > 0 && b.num() > 0);
      return OpFault::kNone;
    case Op::kOr:
      out = Truth(a.num() > 0 || b.num() > 0);
      return OpFault::kNone;
    case Op::kEq:
      out = Truth(Compare(a, b) == 0);
      return OpFault::kNone;
    case Op::kNe:
      out = Truth(Compare(a, b) != 0);
      return OpFault::kNone;
    case Op::kLt:
      out = Truth(Compare(a, b) < 0);
      return OpFault::kNone;
    case Op::kGt:
      out = Truth(Compare(a, b) > 0);
      return OpFault::kNone;
    case Op::kLe:
      out = Truth(Compare(a, b) <= 0);
      return OpFault::kNone;
    case Op::kGe:
      out = Truth(Compare(a, b) >= 0);
      return OpFault::kNone;
    case Op::kCat:
      out = Operand::Text(a.text() + b.text(), false);
      return OpFault::kNone;
    default:
      break;
  }
  Number x = a.num(), y = b.num();
  Number r = 0;
  switch (op) {
    case Op::kAdd:
      r = x + y;
      break;
    case Op::kSub:
      r = x - y;
      break;
    case Op::kMul:
      r = x * y;
      break;
    case Op::kDiv:
      r = y == 0 ? 0 : x / y;
      break;
    case Op::kMod: {
      // Remainder of the numbers truncated to 64-bit integers. A divisor of 0
      // gives 0; a divisor that only truncates to 0 (such as 0.5) is an integer
      // division by zero.
      int64_t ia = ToInt64(x), ib = ToInt64(y);
      if (ib == 0) {
        if (y != 0) return OpFault::kIntegerDivisionByZero;
        r = 0;
      } else if (ib == -1) {
        r = 0;  // also keeps the smallest integer from overflowing
      } else {
        r = static_cast<Number>(ia % ib);
      }
      break;
    }
    case Op::kPow:
      r = y == 0 ? 1 : std::pow(x, y);
      break;
    default:
      break;
  }
  if (std::isnan(r)) return OpFault::kInvalidOperation;
  out.SetNum(r);
  return OpFault::kNone;
}

// ---------------------------------------------------------------- nesting

// The stack used by nested expressions is measured from the outermost one and
// may reach 4 MB, or less when the thread's stack has less room left.
constexpr uintptr_t kExpressionStackBudget = 4u << 20;

void ExpressionDepth::Measure(Interpreter& in, uintptr_t pos) {
  // The budget of the outermost expression depends only on where it starts:
  // the room below it, the distance to the end of this thread's stack
  // (measured once per thread).
  if (!measured_) {
    // Where this thread's stack ends (0 while unmeasured, 1 when unknown).
    thread_local uintptr_t stack_end = 0;
    if (stack_end == 0) {
      const size_t measured = Interpreter::StackRoom();
      stack_end = measured != SIZE_MAX && measured < pos ? pos - measured : 1;
    }
    const size_t room = stack_end > 1 && base_ > stack_end ? base_ - stack_end : SIZE_MAX;
    budget_ = room > Interpreter::kStackMargin
                  ? std::min<uintptr_t>(kExpressionStackBudget, room - Interpreter::kStackMargin)
                  : 0;
    measured_ = true;
  }
  uintptr_t used = base_ > pos ? base_ - pos : pos - base_;
  if (used > budget_) in.Raise(SJ("式の入れ子や関数の呼び出しが深すぎます。"));
}

namespace {
struct OpenValue {
  const char* begin;
  const char* end;
};
std::vector<OpenValue> g_open_values;
}  // namespace

ValueText::ValueText(std::string_view text) {
  if (std::memchr(text.data(), '\0', text.size()) == nullptr) return;
  g_open_values.push_back({text.data(), text.data() + text.size()});
  open_ = true;
}

ValueText::~ValueText() {
  if (open_) g_open_values.pop_back();
}

bool ValueText::Inside(const char* p) {
  for (const OpenValue& v : g_open_values)
    if (p >= v.begin && p < v.end) return true;
  return false;
}

void SkipExpressionBlanks(const char*& p) {
  for (;;) {
    Interpreter::SkipBlanks(p);
    if (*p != '\r' && *p != '\n') return;
    while (*p == '\r' || *p == '\n') ++p;
    const char* q = p;
    while (IsDigit(*q)) ++q;
    if (q != p && *q == ':') p = q + 1;
  }
}

std::string Interpreter::Calculate(const std::string& text, std::shared_ptr<void>* compiled) {
  std::string result;
  if (Expressions && Expressions->TryCalculate(*this, text, result, compiled)) return result;
  ValueText value(text);
  return CalculateText(*this, text.c_str(), text);
}

std::string CalculateGroup(Interpreter& in, const char*& p) {
  return ReadGroupWith(in, p, [&](const char* content, std::string_view whole) {
    return CalculateText(in, content, whole);
  });
}

std::string Excerpt(std::string_view text) {
  constexpr size_t kLongest = 200;
  if (text.size() <= kLongest) return std::string(text);
  return CutBytesSafe(text, kLongest) + SJ("…");
}

void RaiseCalculationError(Interpreter& in, const ESorane& e, std::string_view expression) {
  const std::string& kind = SJ("計算式に誤りがあります。");
  std::string inner = PlainMessage(e.Message());
  if (inner.compare(0, kind.size(), kind) == 0) throw e;  // already a calculation error
  std::string logged = e.Message() + "\r\n";
  std::string& log = in.ErrorLog;
  if (log.size() >= logged.size() &&
      log.compare(log.size() - logged.size(), logged.size(), logged) == 0)
    log.resize(log.size() - logged.size());
  in.Raise(kind + inner + Excerpt(expression));
}

void RaiseOperatorFault(Interpreter& in, OpFault fault) {
  if (fault == OpFault::kIntegerDivisionByZero) in.Raise(SJ("整数を0で割ろうとしました。"));
  // An invalid operation (a negative number to a fractional power, infinity
  // minus infinity) has no value a script could go on with.
  in.Raise(SJ("プログラムで不正な操作がありました。"));
}

void CalculateLookaheadGroup(Interpreter& in, const char*& p) {
  ExpressionDepth depth(in);
  ReadGroupWith(in, p, [&](const char* content, std::string_view) {
    Calculator inner(in, content);
    return inner.Run();
  });
}

std::string CalculateAfter(Interpreter& in, std::string first, const std::string& first_type,
                           const char* rest, const std::string& whole) {
  // A value typed neither text nor number counts as a number when it reads as one.
  bool is_number = first_type == "e";
  if (first_type != "e" && first_type != "s") {
    std::string_view t = first;
    if (!t.empty() && t[0] == '-') t.remove_prefix(1);
    is_number = IsNumberText(t);
  }
  return Guarded(in, whole, [&] {
    Calculator c(in, rest);
    Operand r = c.RunAfter(Operand::Text(std::move(first), is_number));
    return CalculationResult(in, r);
  });
}

}  // namespace sorane
