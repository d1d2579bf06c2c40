// Compiled expressions (see compiled_expression.h). The compiler follows the
// readers of evaluator.cpp and calculator.cpp step by step: a term is what
// Interpreter::Term reads, a token what the calculator's tokenizer reads, and
// the evaluation of the tokens repeats the calculator's levels, taking each
// token when the calculator would read it.
#include "runtime/compiled_expression.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "runtime/calculator.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/operand.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

bool CachesEnabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("SORANE_NO_CACHE");
    return !(v && std::strcmp(v, "1") == 0);
  }();
  return enabled;
}

namespace {

struct CalcProgram;
struct EvalProgram;

// A piece of a double-quoted literal: text as written (escapes done), or an
// embedded {expression}.
struct LiteralPart {
  std::string text;
  std::unique_ptr<EvalProgram> expression;
};

// The arguments of a call computed directly (Runner::NumericCall), read from
// the text at its first run: each a number literal, a word or a calculation,
// as the call would push them; `usable` is false for any other argument.
struct NumericArgs {
  struct Arg {
    std::string word;           // a word; for a calculation its text; empty for a number literal
    Number num = 0;             // a literal's value
    THashNode* node = nullptr;  // what the word names while the table has `generation`
    uint64_t generation = 0;
    std::unique_ptr<EvalProgram> calculation;  // compiled from `word` (see CalculatedArgument)
  };
  bool usable = false;
  size_t count = 0;
  Arg args[2];
  // Read for a command that measures one text (NumericForm::Measure): its
  // argument is a literal, its text here, or a word (args[0]).
  bool measured = false;
  bool literal = false;
  std::string literal_text;
};

// A term: a number literal, a literal (with embedded expressions: a template),
// a word, a member of a word (Xの M), a group or "-" before a term.
struct TermNode {
  enum Kind {
    kNumber,
    kLiteral,
    kTemplate,
    kWord,
    kMember,
    kGroup,
    kNegative,
    kCall
  } kind = kNumber;
  // Terms of the text an entry was compiled from (not of the texts inside a
  // member or a literal): where the term starts, read from there once a call
  // has run (see Runner); a call: its "(", a group: its content.
  const char* at = nullptr;
  const char* paren = nullptr;
  std::string_view content;
  std::string text;        // number: its value; literal: its value; word, member: the name (X)
  Number num = 0;          // number: ParseNumber of its value
  bool canonical = false;  // number: its value is the number format's text of num
  bool integral = false;   // number: canonical and a whole number below 10^15, `integer`
  int64_t integer = 0;
  std::unique_ptr<CalcProgram> group;
  std::unique_ptr<TermNode> inner;            // negative
  std::vector<LiteralPart> parts;             // template
  std::string member;                         // member: M as written
  std::unique_ptr<EvalProgram> member_value;  // member: M evaluated
  TermNode* member_word = nullptr;            // member: M's one word, when it is one
  // member: the generation of the last table searched without M as written
  uint64_t member_missing = UINT64_MAX;
  // member: the elements M's value named as a small whole number (see ElementOfKey)
  std::unique_ptr<ElementsByKey> by_key;
  // member Xの M, M one word: the generation of the word table in which X
  // named a hash, M a variable and Xの nothing callable (see KeptElement).
  uint64_t element_words = 0;
  // word, member, call: the node found while the word table had generation
  // `generation` (call: with okurigana folding, null when not callable)
  THashNode* node = nullptr;
  uint64_t generation = 0;
  // member written Xの(M): when Xの, folded, names a command, label or DLL
  // function, the text is a call and is read as usual.
  bool call_form = false;
  std::string whole;            // Xの
  THashNode* callee = nullptr;  // what Xの names when callable
  uint64_t callable_generation = 0;
  std::unique_ptr<NumericArgs> numeric;  // call: once it named a command with a numeric form
  // call: the record of its arguments once found (the text at paren never changes)
  std::shared_ptr<const ArgumentsRecord> arguments;
};

// A token of the calculator. A unary "-" or "+" is known from the place of the
// token alone (at the start or after an operator), as the tokenizer decides it.
struct CalcToken {
  enum Kind { kTerm, kGroup, kMinus, kPlus, kOperator } kind = kTerm;
  std::unique_ptr<TermNode> term;      // term, minus, plus
  std::unique_ptr<CalcProgram> group;  // group
  Op op = Op::kNone;                   // operator
  int level = 0;
};

// One step of a calculation in the order the calculator's levels take it: an
// operand (a token, the operand read before the calculation, or the empty text
// read past the end) pushed in reading order, or an operator applied to the
// two operands on top, after its right operand.
struct CalcStep {
  static constexpr int kFirst = -1, kEnd = -2;
  bool apply = false;
  int token = kEnd;  // push: the token's index, kFirst or kEnd
  Op op = Op::kNone;
  int waiting = -1;  // push of a call: its entry in CalcProgram::waiting
};

struct CalcProgram {
  std::vector<CalcToken> tokens;
  std::vector<CalcStep> steps;
  // For each call pushed: the operators waiting for their right operand when
  // it is read, outermost first (their left operands are on the stack).
  std::vector<std::vector<Op>> waiting;
  bool own_text = false;  // compiled from the entry's text (see TermNode::at)
};

// Orders the tokens of `prog` into steps as the calculator's levels read them.
// False for what the calculator would give up on or read differently: an
// operator out of place, or an operand left over after the calculation (read
// from the text, which ignores it).
class StepOrder {
 public:
  explicit StepOrder(CalcProgram& prog) : prog_(prog) {}

  bool Build(bool first_given) {
    if (first_given)
      current_ = CalcStep::kFirst;
    else
      Advance();
    return Level(1) && current_ == CalcStep::kEnd;
  }

 private:
  void Advance() {
    current_ = next_ < prog_.tokens.size() ? static_cast<int>(next_++) : CalcStep::kEnd;
  }
  const CalcToken* Operator() const {
    if (current_ < 0) return nullptr;
    const CalcToken& t = prog_.tokens[current_];
    return t.kind == CalcToken::kOperator ? &t : nullptr;
  }
  bool Level(int level) {
    if (level == kFactorLevel) {
      if (Operator()) return false;
      CalcStep push{false, current_, Op::kNone};
      if (current_ >= 0 && prog_.tokens[current_].term &&
          prog_.tokens[current_].term->kind == TermNode::kCall) {
        push.waiting = static_cast<int>(prog_.waiting.size());
        prog_.waiting.push_back(waiting_);
      }
      prog_.steps.push_back(push);
      Advance();
      return true;
    }
    if (!Level(level + 1)) return false;
    while (const CalcToken* t = Operator()) {
      if (t->level != level) break;
      Op op = t->op;
      Advance();
      waiting_.push_back(op);
      if (!Level(level + 1)) return false;
      waiting_.pop_back();
      prog_.steps.push_back({true, 0, op});
    }
    return true;
  }

  CalcProgram& prog_;
  std::vector<Op> waiting_;
  size_t next_ = 0;
  int current_ = CalcStep::kEnd;
};

// An expression as the evaluator reads it: a term, terms joined with "&", and
// the operators and operands the calculator reads after them.
struct EvalProgram {
  std::unique_ptr<TermNode> first;
  std::vector<std::unique_ptr<TermNode>> joined;
  std::unique_ptr<CalcProgram> rest;
};

// ---------------------------------------------------------------- compiling

constexpr int kDeepest = 32;  // nesting of groups and signs compiled

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

class Compiler {
 public:
  // `own_text`: the text is the entry's own (kept while the entry lives), so
  // its terms note where they start and calls are compiled.
  explicit Compiler(const char* end, bool own_text = false) : end_(end), own_text_(own_text) {}

  std::unique_ptr<TermNode> Term(const char*& p, int depth) {
    if (depth > kDeepest) return nullptr;
    Interpreter::SkipBlanks(p);
    const char c = *p;
    auto t = std::make_unique<TermNode>();
    if (own_text_) t->at = p;
    if (c == '"' || c == '`') {
      t->kind = TermNode::kLiteral;
      if (!Literal(p, *t, depth)) return nullptr;
    } else if (IsDigit(c) || c == '$') {
      std::string literal = Interpreter::ReadNumberLiteral(p);
      t->kind = TermNode::kNumber;
      t->text = c == '$' ? HexLiteralValue(literal) : literal;
      t->num = ParseNumber(t->text);
      t->canonical = FormatNumber(t->num) == t->text;
      t->integral = t->canonical && WholeBelow1e15(t->num, t->integer);
    } else if (c == '(') {
      t->kind = TermNode::kGroup;
      const char* close = GroupEnd(p);
      if (close) t->content = std::string_view(p + 1, close - p - 1);
      t->group = Group(p, depth + 1);
      if (!t->group) return nullptr;
    } else if (c == '-') {
      ++p;
      t->kind = TermNode::kNegative;
      t->inner = Term(p, depth + 1);
      if (!t->inner || t->inner->kind == TermNode::kCall) return nullptr;
    } else {
      std::string_view w = Interpreter::ScanWord(p);
      const std::string& no = SJ("の");
      // Empty words and cell accesses are read from the text, and so are
      // calls, except after a member word (a call only when the word is
      // callable, checked when evaluated).
      bool member = w.size() > no.size() && w.substr(w.size() - no.size()) == no;
      if (w.empty() || *p == '#') return nullptr;
      if (*p == '(' && !member) {
        // A call: its arguments are read by the call itself, from this text.
        const char* close = own_text_ ? GroupEnd(p) : nullptr;
        if (!close || std::find(p, close, '\r') != close || std::find(p, close, '\n') != close)
          return nullptr;
        t->kind = TermNode::kCall;
        t->text.assign(w);
        t->paren = p;
        p = close + 1;
        return t;
      }
      if (member) {
        t->call_form = *p == '(';
        if (t->call_form) t->paren = p;
        t->whole.assign(w);
        // Xの M, M a group or a word: a member when X is a word (else the
        // text is read as usual).
        t->kind = TermNode::kMember;
        t->text.assign(w.substr(0, w.size() - no.size()));
        Interpreter::SkipBlanks(p);
        if (*p == '(') {
          const char* close = GroupEnd(p);
          if (!close) return nullptr;
          t->member.assign(p + 1, close);
          p = close + 1;
        } else {
          t->member = Interpreter::ScanWord(p);
        }
        if (std::memchr(t->member.data(), '\0', t->member.size())) return nullptr;
        t->member_value =
            Compiler(t->member.data() + t->member.size()).Evaluation(t->member.c_str(), depth + 1);
        if (!t->member_value) return nullptr;
        const EvalProgram& m = *t->member_value;
        if (!m.rest && m.joined.empty() && m.first->kind == TermNode::kWord)
          t->member_word = m.first.get();
      } else {
        t->kind = TermNode::kWord;
        t->text.assign(w);
      }
    }
    if (p > end_) return nullptr;
    return t;
  }

  // The tokens from p to the end of this text (or of the group being read).
  std::unique_ptr<CalcProgram> Calc(const char*& p, const char* end, bool operand_expected,
                                    int depth) {
    const bool operand_expected_at_start = operand_expected;
    auto prog = std::make_unique<CalcProgram>();
    for (;;) {
      Interpreter::SkipBlanks(p);
      if (p >= end) break;
      const char c = *p;
      CalcToken tok;
      if (c == '\r' || c == '\n') return nullptr;
      if (c == '(') {
        tok.kind = CalcToken::kGroup;
        tok.group = Group(p, depth + 1);
        if (!tok.group) return nullptr;
        operand_expected = false;
      } else if (operand_expected && c == '-') {
        ++p;
        tok.kind = CalcToken::kMinus;
        tok.term = Term(p, depth + 1);
        operand_expected = false;
      } else if (operand_expected && c == '+' && (p[1] == '$' || IsDigit(p[1]))) {
        ++p;
        tok.kind = CalcToken::kPlus;
        tok.term = Term(p, depth + 1);
        operand_expected = false;
      } else if (IsOperatorChar(static_cast<unsigned char>(c))) {
        tok.kind = CalcToken::kOperator;
        p += ReadOperator(p, tok.op, tok.level);
        operand_expected = true;
      } else {
        tok.kind = CalcToken::kTerm;
        tok.term = Term(p, depth + 1);
        operand_expected = false;
      }
      if (tok.kind != CalcToken::kOperator && tok.kind != CalcToken::kGroup && !tok.term)
        return nullptr;
      if (tok.kind != CalcToken::kTerm && tok.term && tok.term->kind == TermNode::kCall)
        return nullptr;
      if (p > end) return nullptr;
      prog->tokens.push_back(std::move(tok));
    }
    if (!StepOrder(*prog).Build(!operand_expected_at_start)) return nullptr;
    prog->own_text = own_text_;
    return prog;
  }

  std::unique_ptr<EvalProgram> Evaluation(const char* p, int depth = 0) {
    if (depth > kDeepest) return nullptr;
    auto prog = std::make_unique<EvalProgram>();
    Interpreter::SkipBlanks(p);
    if (p >= end_) return nullptr;
    prog->first = Term(p, depth);
    if (!prog->first) return nullptr;
    for (;;) {
      Interpreter::SkipBlanks(p);
      if (p >= end_) return prog;
      unsigned char c = *p;
      if (c == '&' && p[1] != '&') {
        ++p;
        Interpreter::SkipBlanks(p);
        if (*p == '\r' || *p == '\n') return nullptr;
        auto t = Term(p, depth);
        if (!t) return nullptr;
        prog->joined.push_back(std::move(t));
        continue;
      }
      if (!IsOperatorChar(c)) return nullptr;  // what follows is read (and ignored) as text
      prog->rest = Calc(p, end_, false, depth);
      return prog->rest ? std::move(prog) : nullptr;
    }
  }

 private:
  // The ')' of the group at p ('('), as the group reader finds it; null when
  // it does not close within this text.
  const char* GroupEnd(const char* p) {
    const char* q = p + 1;
    int open = 0;
    while (*q) {
      char c = *q;
      if (c == '"' || c == '`') {
        if (!SkipLiteral(q)) return nullptr;
        continue;
      }
      if (c == '(') {
        ++open;
      } else if (c == ')') {
        if (open == 0) break;
        --open;
      }
      q += CharLenZ(q);
    }
    if (*q != ')' || q >= end_) return nullptr;
    return q;
  }

  // The group at p ('('): its content as a calculation; p moves past ')'.
  std::unique_ptr<CalcProgram> Group(const char*& p, int depth) {
    if (depth > kDeepest) return nullptr;
    const char* q = GroupEnd(p);
    if (!q) return nullptr;
    const char* content = p + 1;
    auto prog = Calc(content, q, true, depth);
    if (!prog) return nullptr;
    p = q + 1;
    return prog;
  }

  // A literal's value as the evaluator expands it, in `t`: its text, or for a
  // double-quoted literal with embedded expressions, its parts. False for one
  // that holds "￥" or an expression that is not compiled (read from the text).
  bool Literal(const char*& p, TermNode& t, int depth) {
    std::string& out = t.text;
    const char* q = p;
    if (!SkipLiteral(q) || q > end_) return false;
    if (*p == '`') {
      std::string_view literal(p, q - p);
      for (size_t i = 1; i + 1 < literal.size();) {
        size_t len = CharLen(literal, i);
        out.append(literal.data() + i, len);
        i += (len == 1 && literal[i] == '`') ? 2 : len;
      }
      p = q;
      return true;
    }
    const char* r = p + 1;
    while (r < q - 1) {
      size_t len = CharLenZ(r);
      if (AtWide(r, SJ("￥"))) return false;
      if (*r == '{' || AtWide(r, SJ("｛"))) {
        // The expression runs to the closing brace (consumed) or to the end
        // of the literal; it is made single-byte and evaluated.
        r += len;
        const char* start = r;
        while (r < q - 1 && *r != '}' && !AtWide(r, SJ("｝"))) {
          if (*r == '\\' && r + 1 < q - 1) ++r;
          r += CharLenZ(r);
        }
        LiteralPart part;
        part.text = std::move(out);
        out.clear();
        std::string expression = TConvToHalf::ConvertText(std::string_view(start, r - start));
        if (expression.empty() || std::memchr(expression.data(), '\0', expression.size()))
          return false;
        part.expression = Compiler(expression.data() + expression.size())
                              .Evaluation(expression.c_str(), depth + 1);
        if (!part.expression) return false;
        t.parts.push_back(std::move(part));
        t.kind = TermNode::kTemplate;
        if (r < q - 1) r += CharLenZ(r);
        continue;
      }
      if (*r == '\\') {
        ++r;
        size_t n = CharLenZ(r);
        if (*r == 'n' || (n == 2 && AtWide(r, SJ("ｎ"))))
          out += "\r\n";
        else if (*r == 't' || (n == 2 && AtWide(r, SJ("ｔ"))))
          out += '\t';
        else
          out.append(r, n);
        r += n;
        continue;
      }
      out.append(r, len);
      r += len;
    }
    if (t.kind == TermNode::kTemplate) {
      LiteralPart tail;
      tail.text = std::move(out);
      out.clear();
      t.parts.push_back(std::move(tail));
    }
    p = q;
    return true;
  }

  const char* end_;
  const bool own_text_;
};

// ---------------------------------------------------------------- evaluating

}  // namespace

namespace {

// A calculation's result computed on whole numbers as the calculator writes
// it (CalculationResult), typed "e".
bool WholeResultText(Interpreter& in, int64_t result, std::string& out) {
  SetTypeMark(in.S.SoreType, "e");
  FormatWholeInto(result, out);
  return true;
}

// The calculator's number result handed over as `number`.
bool TakeNumber(NumberResult& number, Operand& r) {
  number.value = r.num();
  number.given = true;
  return true;
}

// What a word or member term names (without folding), kept in the term while
// the word table stays at its generation.
inline void LookupWord(THash& words, TermNode& t) {
  if (t.generation != words.Generation()) {
    t.node = words.FindExact(t.text);
    t.generation = words.Generation();
  }
}

// What `name` names (folded) when callable, kept in `node` while the word
// table stays at `generation` and the word stays callable.
[[gnu::always_inline]] inline THashNode* CallableWord(THash& words, const std::string& name,
                                                      THashNode*& node, uint64_t& generation) {
  if (generation != words.Generation() || (node && !IsCallable(node))) {
    THashNode* f = words.Find(name, true);
    node = IsCallable(f) ? f : nullptr;
    generation = words.Generation();
  }
  return node;
}

// The value of an expression that is one number or one variable, where it
// is kept (nothing is copied); null for any other.
inline const std::string* PlainValueOf(THash& words, EvalProgram& prog) {
  if (prog.rest || !prog.joined.empty()) return nullptr;
  TermNode& t = *prog.first;
  if (t.kind == TermNode::kNumber) return &t.text;
  if (t.kind != TermNode::kWord) return nullptr;
  LookupWord(words, t);
  return t.node && t.node->Kind == kWordVariable ? &t.node->Value() : nullptr;
}

// The element of `elements` named by the value of the variable `key`, as
// FindExact finds it by that text. A key that is a small whole number
// (written as the number format writes it, or stored as one) is found by that
// number among the elements the term found before, while the table is
// unchanged: the text of such a number is the one text that names it.
[[gnu::noinline]] THashNode* FindElementOfKey(TermNode& t, THash& elements, const THashNode& key) {
  int64_t k;
  if (!key.IntegerValue(k) || k < 0 || k >= ElementsByKey::kKeysKept)
    return elements.FindExact(key.Value());
  if (!t.by_key) t.by_key = std::make_unique<ElementsByKey>();
  THashNode* e = elements.FindExact(key.Value());
  if (e) t.by_key->Keep(elements, k, e);
  return e;
}

// (The element found before is given inline; FindElementOfKey finds others.)
inline THashNode* ElementOfKey(TermNode& t, THash& elements, const THashNode& key) {
  int64_t k;
  if (t.by_key && key.IntegerValue(k))
    if (THashNode* e = t.by_key->Kept(elements, k)) return e;
  return FindElementOfKey(t, elements, key);
}

// The element of a member term Xの M, M one word, that ElementOfKey kept
// for M's whole number, found again without looking words up: while the word
// table has the generation in which X named a hash, M a variable and Xの
// nothing callable, those words are the same nodes (a word that is not
// callable does not become one in place) and only their kinds may have
// changed; the elements kept are those of the table as it is (see
// ElementsByKey). Null when it is to be found as ReadElement finds it.
[[gnu::always_inline]] inline THashNode* KeptElement(const THash& words, const TermNode& t) {
  if (t.element_words != words.Generation()) return nullptr;
  const THashNode* x = t.node;
  const THashNode* key = t.member_word->node;
  int64_t k;
  if (x->Kind != kWordHash || !x->Elements || key->Kind != kWordVariable || !key->IntegerValue(k))
    return nullptr;
  return t.by_key->Kept(*x->Elements, k);
}

// The element of a hash X that the member term Xの M names (null when it is
// missing), found without running anything: true when found so. False when
// the term is read from the text instead, or when M must be evaluated to
// find it: then `elements` is the hash's table.
[[gnu::always_inline]] inline bool ReadElement(THash& words, TermNode& t, THashNode*& e,
                                               THash*& elements) {
  LookupWord(words, t);
  THashNode* x = t.node;
  if (!x) return false;
  if (x->Kind == kWordVariable && !x->Value().empty()) {
    // A variable that holds the name of a hash or an object stands for it.
    THashNode* named = words.FindExact(x->Value());
    if (named && named->Kind != kWordVariable) x = named;
  }
  if (x->Kind != kWordHash || !x->Elements) return false;
  // M as written is looked for first; a table where it was missing is not
  // searched again while it is unchanged.
  elements = x->Elements.get();
  e = nullptr;
  if (t.member_missing != elements->Generation()) {
    e = elements->FindExact(t.member);
    if (!e) t.member_missing = elements->Generation();
  }
  if (e) return true;
  if (TermNode* k = t.member_word) {
    LookupWord(words, *k);
    if (!k->node || k->node->Kind != kWordVariable) return false;
    e = ElementOfKey(t, *elements, *k->node);
    // (An element kept by its key is found by KeptElement from now on.)
    if (e && x == t.node && t.by_key &&
        !(t.call_form && CallableWord(words, t.whole, t.callee, t.callable_generation)))
      t.element_words = words.Generation();
    return true;
  }
  if (const std::string* key = PlainValueOf(words, *t.member_value)) {
    e = elements->FindExact(*key);
    return true;
  }
  return false;
}

// ReadElement for a member term read as an element: false also when Xの
// names something callable (the text is a call). (`elements` is given only
// with false, as ReadElement gives it.)
[[gnu::always_inline]] inline bool ElementNotCalled(THash& words, TermNode& t, THashNode*& e,
                                                    THash*& elements) {
  if ((e = KeptElement(words, t))) return true;
  if (t.call_form && CallableWord(words, t.whole, t.callee, t.callable_generation)) return false;
  return ReadElement(words, t, e, elements);
}

// The variable an argument written as a word names, kept while the word
// table is unchanged; null when it names no variable.
THashNode* ArgumentVariable(THash& words, NumericArgs::Arg& arg) {
  const uint64_t generation = words.Generation();
  if (arg.generation != generation) {
    arg.node = words.FindExact(arg.word);
    arg.generation = generation;
  }
  return arg.node && arg.node->Kind == kWordVariable ? arg.node : nullptr;
}

// Runs the call `t` of `f` alone for its value: true with a result that was
// stored as a number given as `number`, its text not written (see
// Interpreter::FunctionCall); false with the text in `value`.
bool CallAlone(Interpreter& in, THashNode* f, TermNode& t, std::string& value,
               NumberResult& number) {
  const char* paren = t.paren;
  return in.FunctionCall(f, paren, value, &number, &t.arguments);
}

// What a call of a command computed directly leaves besides its value: the
// binding took its argument (それ was not implied), the result is a number.
void LeaveAsANumberCall(Interpreter& in) {
  in.S.SoreImplied = false;
  SetTypeMark(in.S.SoreType, "e");
}

// An argument written as a calculation that starts with a variable or an
// element (『I/2』, 『X*X+Y*Y』): its compiled form, when it has one.
bool CompileCalculation(const std::string& text, NumericArgs::Arg& arg) {
  std::unique_ptr<EvalProgram> prog =
      Compiler(text.data() + text.size()).Evaluation(text.c_str(), 0);
  if (!prog || !prog->rest || !prog->joined.empty() ||
      (prog->first->kind != TermNode::kWord && prog->first->kind != TermNode::kMember))
    return false;
  arg.calculation = std::move(prog);
  return true;
}

// The arguments from `paren` ("(") to its ")", split at commas as the call
// splits them; usable when each is digits (with one decimal point between
// digits) or a word read whole, with nothing around them.
void ReadNumericArgs(const char* paren, NumericArgs& out) {
  const char* p = paren + 1;
  for (;;) {
    const char* start = p;
    while (*p && *p != ',' && *p != ')') p += CharLenZ(p);
    if (!*p || out.count == 2) return;
    NumericArgs::Arg& arg = out.args[out.count++];
    std::string text(start, p);
    for (char c : text)
      if (static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == '`' || c == '(') return;
    if (text.empty()) return;
    if (IsDigit(text[0])) {
      size_t i = 0;
      while (i < text.size() && IsDigit(text[i])) ++i;
      if (i < text.size() && text[i] == '.' && i + 1 < text.size()) {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
      }
      if (i != text.size()) return;
      arg.num = ParseNumber(text);
    } else {
      const char* q = text.c_str();
      std::string_view w = Interpreter::ScanWord(q);
      if (text[0] == '$' || EndsWithBytes(w, SJ("の"))) return;
      if (w.size() != text.size() && !CompileCalculation(text, arg)) return;
      arg.word = std::move(text);
    }
    if (*p == ')') break;
    ++p;
  }
  out.usable = true;
}

// The arguments of the call `t` read for a command with a numeric form
// (ReadNumericArgs), read again when they were read for a measure.
NumericArgs& NumbersOf(TermNode& t) {
  if (!t.numeric || t.numeric->measured) {
    t.numeric = std::make_unique<NumericArgs>();
    ReadNumericArgs(t.paren, *t.numeric);
  }
  return *t.numeric;
}

// The one argument of a call that measures a text, from `paren` ("(") to
// its ")": usable when it is a literal taken as written or a word read
// whole, which the command reads as the call pushes it.
void ReadMeasuredArg(const char* paren, NumericArgs& out) {
  const char* p = paren + 1;
  if (*p == '"' || *p == '`') {
    const size_t length = Interpreter::PlainLiteralLength(p);
    if (length == 0 || p[length] != ')') return;
    out.literal = true;
    out.literal_text.assign(p + 1, p + length - 1);
  } else {
    const char* start = p;
    while (*p && *p != ',' && *p != ')') p += CharLenZ(p);
    if (*p != ')' || p == start || *start == '$' || IsDigit(*start)) return;
    std::string text(start, p);
    const char* q = text.c_str();
    std::string_view w = Interpreter::ScanWord(q);
    if (w.size() != text.size() || EndsWithBytes(w, SJ("の"))) return;
    out.args[0].word = std::move(text);
  }
  out.count = 1;
  out.usable = true;
}

// A call of a command that measures a text (文字数): the measure of the
// literal or of the variable's value the command would read, with what the
// call leaves besides its value; false, before anything is read, for another
// argument, a word that names no variable or another template.
bool MeasuredCall(Interpreter& in, TermNode& t, THashNode* f, const NumericForm& form,
                  int64_t& out) {
  const std::string& slots = f->More().Template;
  if (slots.empty() || slots[0] != '?' || slots.find(',') != std::string::npos) return false;
  if (!t.numeric || !t.numeric->measured) {
    t.numeric = std::make_unique<NumericArgs>();
    t.numeric->measured = true;
    ReadMeasuredArg(t.paren, *t.numeric);
  }
  NumericArgs& a = *t.numeric;
  if (!a.usable) return false;
  if (a.literal) {
    out = form.Measure(a.literal_text);
  } else {
    THashNode* variable = ArgumentVariable(in.S.Words, a.args[0]);
    if (!variable) return false;
    out = form.Measure(variable->Value());
  }
  LeaveAsANumberCall(in);
  return true;
}

// ---- calculations of whole numbers
//
// A calculation whose operands are all whole numbers (number literals and
// variables holding integers as the number format writes them) and whose
// operators keep whole numbers whole (+, -, *, %, comparisons, && and ||) is
// computed on 64-bit integers, without the operands the calculator makes. Its
// result is what the calculator gives: a long double holds every such
// integer exactly, so its sums, differences and products are exact as long
// as they fit in 64 bits; a result that would not gives the calculation back
// to the calculator. A call that cuts a quotient of whole numbers to a whole
// number (『INT(I/2)』) is one more such operand (see WholeQuotient).

// Whether a word, an element or a number term may read as a whole number.
bool MayBeWholeTerm(const TermNode& t) {
  return t.kind == TermNode::kWord || t.kind == TermNode::kMember ||
         (t.kind == TermNode::kNumber && t.integral);
}

// Whether `prog` (after a first operand, when it takes one) may be computed so.
bool MayBeWhole(const CalcProgram& prog) {
  if (prog.steps.empty() || prog.steps.size() > 15) return false;
  for (const CalcStep& step : prog.steps) {
    if (step.apply) {
      switch (step.op) {
        case Op::kAdd:
        case Op::kSub:
        case Op::kMul:
        case Op::kMod:
        case Op::kEq:
        case Op::kNe:
        case Op::kLt:
        case Op::kGt:
        case Op::kLe:
        case Op::kGe:
        case Op::kAnd:
        case Op::kOr:
          continue;
        default:
          return false;
      }
    }
    if (step.token == CalcStep::kFirst) continue;
    if (step.token < 0) return false;
    const CalcToken& tok = prog.tokens[step.token];
    if (tok.kind != CalcToken::kTerm) return false;
    if (tok.term->kind != TermNode::kCall && !MayBeWholeTerm(*tok.term)) return false;
  }
  return true;
}

// Runs in a row that find an operand other than a whole number before a
// calculation is no longer computed on whole numbers.
constexpr uint8_t kWholeMissesKept = 16;

bool WholeCall(Interpreter& in, TermNode& t, int64_t& out);

// The whole number a variable's value is as an operand of the calculator:
// the number its text reads as, an integer as the number format writes it,
// typed as a number or not. A text reads as its number wherever the
// calculator takes numbers (every operand of an arithmetic operator, && and
// ||, the left one of a comparison); `typed` tells whether it is typed so,
// since on the right of a comparison a text is compared as a text.
inline bool WholeOperand(const THashNode& n, int64_t& out, bool& typed) {
  typed = IsNumberMark(n.TypeMark);
  return n.IntegerValue(out);
}

// WholeTerm of an element found otherwise than kept (see WholeMemberOrCall),
// or of a call.
[[gnu::noinline]] bool WholeElementFoundOrCall(Interpreter& in, TermNode& t, int64_t& out,
                                               bool& typed) {
  typed = true;
  if (t.kind == TermNode::kCall) return WholeCall(in, t, out);
  if (t.kind != TermNode::kMember) return false;
  // (Xの(M) naming a function is a call; a missing element reads as "".)
  THashNode* e = nullptr;
  THash* elements = nullptr;
  return ElementNotCalled(in.S.Words, t, e, elements) && e && e->Kind == kWordVariable &&
         WholeOperand(*e, out, typed);
}

// WholeTerm of an element or a call: an element its key found before
// (KeptElement) is read here, with no more than it needs.
bool WholeMemberOrCall(Interpreter& in, TermNode& t, int64_t& out, bool& typed) {
  if (t.kind == TermNode::kMember) {
    const THashNode* e = KeptElement(in.S.Words, t);
    if (e && e->Kind == kWordVariable) return WholeOperand(*e, out, typed);
  }
  return WholeElementFoundOrCall(in, t, out, typed);
}

// The whole number a word, element or number term reads as, or a call that
// cuts a quotient or measures a text computes, when it is one; `typed` as
// WholeOperand gives it (number terms and calls are typed).
[[gnu::always_inline]] inline bool WholeTerm(Interpreter& in, TermNode& t, int64_t& out,
                                             bool& typed) {
  if (t.kind == TermNode::kWord) {
    LookupWord(in.S.Words, t);
    return t.node && t.node->Kind == kWordVariable && WholeOperand(*t.node, out, typed);
  }
  if (t.kind == TermNode::kNumber) {
    out = t.integer;
    typed = true;
    return t.integral;
  }
  return WholeMemberOrCall(in, t, out, typed);
}

// A comparison: its right operand is compared as a text when it is one.
// (Op declares the comparisons together, from kEq to kGe.)
bool IsComparison(Op op) {
  return op >= Op::kEq && op <= Op::kGe;
}

// a op b on whole numbers as ApplyOperator computes it, into a; false when
// the result would leave 64 bits.
[[gnu::always_inline]] inline bool WholeApply(Op op, int64_t& a, int64_t b) {
  switch (op) {
    case Op::kAdd:
      return !__builtin_add_overflow(a, b, &a);
    case Op::kSub:
      return !__builtin_sub_overflow(a, b, &a);
    case Op::kMul:
      return !__builtin_mul_overflow(a, b, &a);
    case Op::kMod:
      // (A divisor of 0 gives 0; -1 gives 0 and keeps the smallest integer
      // from overflowing.)
      a = b == 0 || b == -1 ? 0 : a % b;
      return true;
    case Op::kEq:
      a = a == b;
      return true;
    case Op::kNe:
      a = a != b;
      return true;
    case Op::kLt:
      a = a < b;
      return true;
    case Op::kGt:
      a = a > b;
      return true;
    case Op::kLe:
      a = a <= b;
      return true;
    case Op::kGe:
      a = a >= b;
      return true;
    case Op::kAnd:
      a = a > 0 && b > 0;
      return true;
    case Op::kOr:
      a = a > 0 || b > 0;
      return true;
    default:
      return false;
  }
}

// The calculation `prog` (MayBeWhole) on whole numbers, after `first` when it
// takes a first operand; false when an operand is not a whole number or a
// result leaves 64 bits.
[[gnu::noinline]] bool WholeCalc(Interpreter& in, CalcProgram& prog, const int64_t* first,
                                 bool first_typed, int64_t& result) {
  constexpr size_t kDeepest = 4;
  int64_t stack[kDeepest];
  bool typed[kDeepest];  // (see WholeOperand)
  size_t top = 0;
  for (const CalcStep& step : prog.steps) {
    if (step.apply) {
      if (top < 2 || (IsComparison(step.op) && !typed[top - 1]) ||
          !WholeApply(step.op, stack[top - 2], stack[top - 1]))
        return false;
      --top;
      typed[top - 1] = true;  // every operator's result is a number
      continue;
    }
    if (top == kDeepest) return false;
    if (step.token == CalcStep::kFirst) {
      if (!first) return false;
      typed[top] = first_typed;
      stack[top++] = *first;
      continue;
    }
    if (!WholeTerm(in, *prog.tokens[step.token].term, stack[top], typed[top])) return false;
    ++top;
  }
  // (A text read alone stays a text.)
  if (top != 1 || !typed[0]) return false;
  result = stack[0];
  return true;
}

// A call of a command that cuts its one argument toward zero to a whole
// number (INT, TRUNC, 整数) whose argument is a quotient of whole numbers
// (『INT(I/2)』): the quotient cut so on integers, with what the call leaves
// besides its value (see Runner::NumericCall). The call reads the quotient
// as the number format writes it; that cuts to the same integer while the
// dividend is below 10^12 and the divisor within 1,000 in magnitude: a
// fraction left is then at least 1/1000, more than the half unit the 15
// digits drop (at most 5 x 10^-4) and the long double quotient's rounding.
bool WholeQuotient(Interpreter& in, TermNode& t, THashNode* f, int64_t& out) {
  constexpr int64_t kLargestDividend = 1000000000000, kLargestDivisor = 1000;
  if (f->More().Template != "?") return false;
  const NumericArgs& a = NumbersOf(t);
  if (!a.usable || a.count != 1 || !a.args[0].calculation) return false;
  EvalProgram& quotient = *a.args[0].calculation;
  const std::vector<CalcStep>& steps = quotient.rest->steps;
  if (steps.size() != 3 || steps[0].token != CalcStep::kFirst || steps[1].apply ||
      steps[1].token < 0 || !steps[2].apply || steps[2].op != Op::kDiv ||
      quotient.rest->tokens[steps[1].token].kind != CalcToken::kTerm)
    return false;
  TermNode& divisor = *quotient.rest->tokens[steps[1].token].term;
  int64_t dividend, by;
  bool typed;  // (a quotient reads the numbers of texts too)
  if (!MayBeWholeTerm(divisor) || !WholeTerm(in, *quotient.first, dividend, typed) ||
      !WholeTerm(in, divisor, by, typed) || by == 0 || by > kLargestDivisor ||
      by < -kLargestDivisor || dividend >= kLargestDividend || dividend <= -kLargestDividend)
    return false;
  out = dividend / by;
  LeaveAsANumberCall(in);
  return true;
}

// A call term computed on whole numbers: a quotient cut (WholeQuotient) or a
// text measured (MeasuredCall).
bool WholeCall(Interpreter& in, TermNode& t, int64_t& out) {
  THashNode* f = CallableWord(in.S.Words, t.text, t.node, t.generation);
  if (!f || f->Kind != kWordCommand) return false;
  const NumericForm* form = NumericFormOf(f->Command, in.HandlerOf(f->Command));
  if (!form) return false;
  if (form->Measure) return MeasuredCall(in, t, f, *form, out);
  return form->Truncates && WholeQuotient(in, t, f, out);
}

class Runner {
 public:
  // `stack` holds the operands of calculations being run (shared by nested ones).
  Runner(Interpreter& in, std::vector<Operand>& stack) : in_(in), stack_(stack) {}

  // `whole`: the text the entry was compiled from.
  void Start(std::string_view whole) { whole_ = whole; }
  // True once a call has run: from then on nothing gives up (the text would
  // run the call again); what the compiled form cannot do is read from the
  // text term by term, as the text is read from there on.
  bool Committed() const { return committed_; }

  // A term's value and type mark; false when the text must be read instead.
  bool Term(TermNode& t, std::string& value, std::string& type) {
    if (TermCompiled(t, value, type)) return true;
    if (!committed_ || !t.at || t.kind == TermNode::kCall) return false;
    const char* q = t.at;
    value = in_.Term(q);
    type = in_.S.SoreType;
    return true;
  }

 private:
  bool TermCompiled(TermNode& t, std::string& value, std::string& type) {
    switch (t.kind) {
      case TermNode::kNumber:
        value = t.text;
        type = "e";
        return true;
      case TermNode::kLiteral:
        value = t.text;
        type = "s";
        return true;
      case TermNode::kTemplate:
        value.clear();
        for (LiteralPart& part : t.parts) {
          value += part.text;
          if (!part.expression) continue;
          if (const std::string* plain = PlainValue(*part.expression)) {
            value += *plain;
            continue;
          }
          std::string v;
          if (!Evaluate(*part.expression, v)) return false;
          value += v;
        }
        type = "s";
        return true;
      case TermNode::kMember:
        return Member(t, value, type);
      case TermNode::kWord: {
        Lookup(t);
        if (!t.node) {
          value = t.text;
          type = "s";
          return true;
        }
        if (t.node->Kind == kWordVariable) {
          value = t.node->Value();
          type = t.node->TypeMark;
          return true;
        }
        // A command, a DLL function or a label read as a value runs: a call.
        if (!t.at) return false;
        switch (t.node->Kind) {
          case kWordCommand:
          case kWordDll:
            committed_ = true;
            in_.RunCommandForValue(t.node, value);
            break;
          case kWordLabel:
            committed_ = true;
            value = in_.RunLabelInExpression(t.node);
            break;
          default:
            return false;
        }
        type = in_.S.SoreType;
        return true;
      }
      case TermNode::kGroup: {
        Operand r;
        if (!GuardedCalc(*t.group, nullptr, r, t.content)) return false;
        type = r.is_number ? "e" : "s";
        value = r.is_number ? FormatNumber(r.num()) : r.TakeText();
        return true;
      }
      case TermNode::kNegative:
        if (!Term(*t.inner, value, type)) return false;
        value.insert(0, 1, '-');
        return true;
      case TermNode::kCall: {
        THashNode* f = CallTarget(t);
        if (!f) return false;
        Number n;
        if (NumericCall(t, f, n)) {
          FormatNumberInto(n, value);
          type = "e";
          return true;
        }
        RunCall(f, t, value, type);
        return true;
      }
    }
    return false;
  }

  void RunCall(THashNode* f, TermNode& t, std::string& value, std::string& type) {
    committed_ = true;
    const char* paren = t.paren;
    in_.FunctionCall(f, paren, value, nullptr, &t.arguments);
    type = in_.S.SoreType;
  }

  // A call of a command with a numeric form whose arguments are number
  // literals and number variables: the result computed directly, with what
  // the call leaves besides its value (the result type "e"; a call keeps
  // それ's value and mark). False, before anything is read or run, when the
  // handler must run: another kind of argument, another count, a word that is
  // not a variable, or a fault, which the handler reports.
  // (A label or a DLL function is told apart where the call is read.)
  bool NumericCall(TermNode& t, THashNode* f, Number& result) {
    return f->Kind == kWordCommand && NumericCommandCall(t, f, result);
  }
  bool NumericCommandCall(TermNode& t, THashNode* f, Number& result) {
    const NumericForm* form = NumericFormOf(f->Command, in_.HandlerOf(f->Command));
    if (!form) return false;
    if (form->Measure) {
      int64_t measure;
      if (!MeasuredCall(in_, t, f, *form, measure)) return false;
      committed_ = true;
      result = static_cast<Number>(measure);
      return true;
    }
    NumericArgs& a = NumbersOf(t);
    if (!a.usable || a.count != form->Arguments ||
        f->More().Template != (a.count == 1 ? "?" : "?,?"))
      return false;
    Number x[2];
    for (size_t k = 0; k < a.count; ++k) {
      NumericArgs::Arg& arg = a.args[k];
      if (arg.word.empty()) {
        x[k] = arg.num;
        continue;
      }
      if (arg.calculation) {
        if (!CalculatedArgument(*arg.calculation, x[k])) return false;
        continue;
      }
      THashNode* variable = ArgumentVariable(in_.S.Words, arg);
      if (!variable) return false;
      if (!variable->StoredNumber(x[k])) x[k] = ParseNumber(variable->Value());
    }
    if (!form->Compute(x, result)) return false;
    committed_ = true;
    LeaveAsANumberCall(in_);
    return true;
  }

  // The number a command reads from an argument written as a calculation:
  // the call pushes the calculation's value as its text, which the command
  // reads back as a number (NumberAsWritten). Only a calculation whose
  // operands are all read in place (nothing runs) and whose value is a
  // finite number is taken; false for any other, which the call reads.
  bool CalculatedArgument(EvalProgram& prog, Number& out) {
    TermNode& t = *prog.first;
    Operand first, r;
    if (!(t.kind == TermNode::kWord ? NumericVariable(t, first) : MemberOperand(t, first, true)))
      return false;
    if (CalcInPlace(*prog.rest, &first, r) != Numeric::kDone || !r.is_number ||
        !std::isfinite(r.num()))
      return false;
    out = NumberAsWritten(r.num());
    return true;
  }

  // The number a numeric call leaves (see NumericCall) as the operand the
  // calculator makes of its value: the number format's text of `result`,
  // read back. Within the range where that text reads back as a number the
  // format writes as the same text, the operand is that number alone.
  static Operand NumericCallOperand(Number result) {
    Number n = NumberAsWritten(result);
    Number magnitude = std::fabs(n);
    if (n == 0 || (magnitude >= 1e-4900L && magnitude <= 1e4900L)) return Operand::Num(n);
    return Operand::TextWithNumber(FormatNumber(result), n);
  }

  // A call token run for the calculator, as Term runs it: a number result
  // that was stored as one is that number, its text not written; false,
  // before anything runs, when the word no longer names a function.
  bool CallOperand(TermNode& t, Operand& out) {
    THashNode* f = CallTarget(t);
    if (!f) return false;
    Number n;
    if (NumericCall(t, f, n)) {
      out = NumericCallOperand(n);
      return true;
    }
    committed_ = true;
    std::string value;
    const char* paren = t.paren;
    if (NumberResult result; in_.FunctionCall(f, paren, value, &result, &t.arguments)) {
      out = Operand::Num(result.Value());
      return true;
    }
    out = Operand::Text(std::move(value), in_.S.SoreType == "e");
    return true;
  }

  // A call token computed directly onto the operand stack (see NumericCall).
  bool NumericCallInPlace(TermNode& t) {
    THashNode* f = CallTarget(t);
    Number result;
    if (!f || !NumericCall(t, f, result)) return false;
    stack_.push_back(NumericCallOperand(result));
    return true;
  }

  // The word a call names (with okurigana folding) when it is a command, a
  // label or a DLL function; else null.
  THashNode* CallTarget(TermNode& t) { return Callable(t.text, t.node, t.generation); }

  THashNode* Callable(const std::string& name, THashNode*& node, uint64_t& generation) {
    return CallableWord(in_.S.Words, name, node, generation);
  }

 public:
  // Calc of a calculation read on its own (a group read as a term, the rest
  // of an expression after its first terms, a whole calculation): errors of
  // calls inside it are reported as errors of a calculation that quotes `whole`.
  bool GuardedCalc(CalcProgram& prog, Operand* first, Operand& result, std::string_view whole) {
    if (!prog.own_text) return Calc(prog, first, result);
    try {
      return Calc(prog, first, result);
    } catch (const ESorane& e) {
      RaiseCalculationError(in_, e, whole);
    }
  }

 private:
  // The word of a call at `t` no longer names a function (a call before it
  // changed the word table): the text reads the word's value, reads the group
  // after it ahead of the next operator and stops the calculation there.
  Operand WordBeforeGroup(TermNode& t) {
    const char* q = t.at;
    std::string v = in_.Term(q);
    Operand word = Operand::Text(std::move(v), in_.S.SoreType == "e");
    CalculateLookaheadGroup(in_, q);
    return word;
  }

  bool Apply(const CalcProgram& prog, Op op, Operand& a, Operand& b, Operand& r) {
    OpFault fault = ApplyOperator(op, a, b, r);
    if (fault == OpFault::kNone) return true;
    if (committed_ && prog.own_text) RaiseOperatorFault(in_, fault);
    return false;
  }

  // Evaluate for an expression with a rest whose first term is read in place
  // (a variable or an element, see OperandInPlace) or computed directly (a
  // call with a numeric form, see NumericCall): false when it is neither,
  // else true with Evaluate's result in `ok`.
  bool FirstTermInPlace(EvalProgram& prog, std::string& value, std::string* type_out,
                        NumberResult* number, bool& ok) {
    TermNode& t = *prog.first;
    Operand first, r;
    if (t.kind == TermNode::kWord || t.kind == TermNode::kMember) {
      if (!(t.kind == TermNode::kWord ? NumericVariable(t, first) : MemberOperand(t, first, true)))
        return false;
      const Numeric numeric = prog.rest->steps.size() == 3 ? OneOperator(*prog.rest, first, r)
                                                           : CalcInPlace(*prog.rest, &first, r);
      ok = numeric == Numeric::kDone ||
           (numeric == Numeric::kNone && GuardedCalc(*prog.rest, &first, r, whole_));
    } else if (t.kind == TermNode::kCall) {
      // A first call computed directly stays a number.
      THashNode* f = CallTarget(t);
      Number n;
      if (!f || !NumericCall(t, f, n)) return false;
      first = NumericCallOperand(n);
      ok = GuardedCalc(*prog.rest, &first, r, whole_);
    } else {
      return false;
    }
    if (!ok) return true;
    if (number && r.is_number) {
      ok = TakeNumber(*number, r);
      return true;
    }
    if (type_out) *type_out = r.is_number ? "e" : "s";
    value = r.is_number ? FormatNumber(r.num()) : r.TakeText();
    return true;
  }

 public:
  // The value of `prog` as Evaluate gives it, its type mark in `type`. With
  // `number`, a number result is given there instead, without its text.
  bool Evaluate(EvalProgram& prog, std::string& value, std::string* type_out = nullptr,
                NumberResult* number = nullptr) {
    bool ok = false;
    // (An element alone that runs nothing is read by ReadLoneElement.)
    if (number && !prog.rest && prog.joined.empty() && prog.first->kind == TermNode::kCall)
      return LoneCall(*prog.first, value, type_out, *number);
    if (prog.rest && prog.joined.empty() && FirstTermInPlace(prog, value, type_out, number, ok))
      return ok;
    std::string type;
    if (!Term(*prog.first, value, type)) return false;
    for (auto& joined : prog.joined) {
      if (joined->kind == TermNode::kCall && committed_ && !CallTarget(*joined)) {
        // No longer a call: the word is joined and the text ends there.
        const char* q = joined->at;
        value += in_.Term(q);
        if (type_out) *type_out = "s";
        return true;
      }
      std::string more, more_type;
      if (!Term(*joined, more, more_type)) return false;
      value += more;
      type = "s";
    }
    if (prog.rest) {
      // A value typed neither text nor number counts as a number when it reads as one.
      bool is_number = type == "e";
      if (type != "e" && type != "s") {
        std::string_view t = value;
        if (!t.empty() && t[0] == '-') t.remove_prefix(1);
        is_number = IsNumberText(t);
      }
      Operand first = Operand::Text(std::move(value), is_number), r;
      if (!GuardedCalc(*prog.rest, &first, r, whole_)) return false;
      if (number && r.is_number) return TakeNumber(*number, r);
      type = r.is_number ? "e" : "s";
      value = r.is_number ? FormatNumber(r.num()) : r.TakeText();
    }
    if (type_out) *type_out = std::move(type);
    return true;
  }

  // A call alone, read as Term reads it; a result that was stored as a
  // number typed so is given as that number, its text not written (see
  // Interpreter::FunctionCall). False, before anything runs, when the word
  // no longer names a function: the text is read instead.
  bool LoneCall(TermNode& t, std::string& value, std::string* type_out, NumberResult& number) {
    THashNode* f = CallTarget(t);
    if (!f) return false;
    Number n;
    if (NumericCall(t, f, n)) {
      FormatNumberInto(n, value);
      if (type_out) *type_out = "e";
      return true;
    }
    committed_ = true;
    if (!CallAlone(in_, f, t, value, number) && type_out) *type_out = in_.S.SoreType;
    return true;
  }

  // Adds the joined terms of `prog` to `word`'s value, when its first term
  // reads that word and the joined ones only read (see TryAppendKept).
  bool AppendTo(EvalProgram& prog, THashNode* word) {
    if (prog.rest || prog.joined.empty() || prog.first->kind != TermNode::kWord) return false;
    Lookup(*prog.first);
    if (prog.first->node != word) return false;
    for (auto& joined : prog.joined)
      if (!OnlyReads(*joined)) return false;
    std::string tail, more, type;
    for (auto& joined : prog.joined) {
      if (!TermCompiled(*joined, more, type)) return false;
      tail += more;
    }
    word->ValueToWrite() += tail;
    return true;
  }

  // A calculation (after `first`, when given) whose operands are all read in
  // place (numbers, variables, dictionary elements: see OperandInPlace), taken
  // in Calc's order on a few operands of its own instead of the shared stack:
  // kNone when it is not of that kind or a call has run (Calc runs it; nothing
  // was changed), kFault when an operator fails (nothing has run: the text is
  // read instead).
  enum class Numeric { kNone, kDone, kFault };
  Numeric CalcInPlace(CalcProgram& prog, Operand* first, Operand& result) {
    constexpr size_t kDeepest = 4;
    if (committed_) return Numeric::kNone;
    // (Most calculations that are not of this kind show it at their first token.)
    if (prog.steps.empty()) return Numeric::kNone;
    const CalcStep& start = prog.steps[0];
    if (start.token != CalcStep::kFirst &&
        (start.token < 0 || start.apply || !ReadInPlace(prog.tokens[start.token])))
      return Numeric::kNone;
    Operand operands[kDeepest];
    size_t top = 0;
    for (const CalcStep& step : prog.steps) {
      if (step.apply) {
        if (top < 2) return Numeric::kNone;
        if (!Apply(prog, step.op, operands[top - 2], operands[top - 1], operands[top - 2]))
          return Numeric::kFault;
        --top;
        continue;
      }
      if (top == kDeepest) return Numeric::kNone;
      Operand& o = operands[top++];
      if (step.token == CalcStep::kFirst) {
        if (!first) return Numeric::kNone;
        o = *first;
        continue;
      }
      if (step.token < 0 || !TokenOperand(prog.tokens[step.token], o)) return Numeric::kNone;
    }
    if (top != 1) return Numeric::kNone;
    result = std::move(operands[0]);
    return Numeric::kDone;
  }

  // The same for `first`, one operator and one operand after it (the most
  // common calculation), without even the operands of its own. An operand
  // that is a call (『和の(深さ)+フィボ(N-2)』) runs as Calc runs it.
  Numeric OneOperator(CalcProgram& prog, Operand& first, Operand& result) {
    const CalcStep* steps = prog.steps.data();
    if (committed_ || steps[0].token != CalcStep::kFirst || steps[1].apply || steps[1].token < 0 ||
        !steps[2].apply)
      return Numeric::kNone;
    CalcToken& tok = prog.tokens[steps[1].token];
    Operand b;
    if (!TokenOperand(tok, b)) {
      if (tok.kind != CalcToken::kTerm || tok.term->kind != TermNode::kCall || !prog.own_text)
        return Numeric::kNone;
      return CallThenApply(prog, *tok.term, steps[2].op, first, result);
    }
    if (!Apply(prog, steps[2].op, first, b, first)) return Numeric::kFault;
    result = std::move(first);
    return Numeric::kDone;
  }

  // `first` op the call `call`, with what Calc does for them: the call's
  // operand (CallOperand) and the operator applied, errors reported as
  // GuardedCalc reports them. kNone only when nothing has run (the word no
  // longer names a function); kFault for an operator that fails after the
  // call, which Calc gives up on too.
  Numeric CallThenApply(CalcProgram& prog, TermNode& call, Op op, Operand& first, Operand& result) {
    try {
      Operand b;
      if (!CallOperand(call, b)) return Numeric::kNone;
      if (!Apply(prog, op, first, b, first)) return Numeric::kFault;
    } catch (const ESorane& e) {
      RaiseCalculationError(in_, e, whole_);
    }
    result = std::move(first);
    return Numeric::kDone;
  }

  // CallThenApply for a first operand that is the whole number `left` (read
  // in place before the call, see WholeTerm), an operator that keeps whole
  // numbers whole and a call of a label or DLL function (『和の(深さ)+フィボ(N-2)』),
  // its result given as `number`: when the call's result was stored as a
  // whole number, the result is computed on integers (exact, as the long
  // double one is, while it fits in 64 bits) and given as one, so it is
  // stored without a long double; else as CallThenApply computes it. kNone,
  // before anything runs, when the word names no such function.
  Numeric WholeThenCall(CalcProgram& prog, TermNode& call, Op op, int64_t left,
                        NumberResult& number) {
    THashNode* f = CallTarget(call);
    if (!f || f->Kind == kWordCommand) return Numeric::kNone;
    committed_ = true;
    try {
      std::string value;
      const char* paren = call.paren;
      NumberResult result;
      const bool given = in_.FunctionCall(f, paren, value, &result, &call.arguments);
      int64_t whole = left;
      if (given && result.is_whole && WholeApply(op, whole, result.whole)) {
        number.whole = whole;
        number.given = number.is_whole = true;
        return Numeric::kDone;
      }
      return ApplyToCallResult(prog, op, left, given ? &result : nullptr, value, number);
    } catch (const ESorane& e) {
      RaiseCalculationError(in_, e, whole_);
    }
  }

 private:
  // WholeThenCall's result otherwise: `left` op the call's result as the
  // calculator makes its operand (see CallOperand): `result` when it was
  // given as a number, else the text `value`.
  [[gnu::noinline]] Numeric ApplyToCallResult(CalcProgram& prog, Op op, int64_t left,
                                              const NumberResult* result, std::string& value,
                                              NumberResult& number) {
    Operand a = Operand::Num(static_cast<Number>(left));
    Operand b = result ? Operand::Num(result->Value())
                       : Operand::Text(std::move(value), in_.S.SoreType == "e");
    if (!Apply(prog, op, a, b, a)) return Numeric::kFault;
    TakeNumber(number, a);  // (an arithmetic operator's result is a number)
    return Numeric::kDone;
  }

 public:
  // A token read in place: a number literal written as the number format
  // writes it, a word (a variable when read) or a member (an element).
  static bool ReadInPlace(const CalcToken& tok) {
    if (tok.kind != CalcToken::kTerm) return false;
    const TermNode& t = *tok.term;
    return t.kind == TermNode::kWord || t.kind == TermNode::kMember ||
           (t.kind == TermNode::kNumber && t.canonical);
  }

  // The operand Calc makes of such a token.
  bool TokenOperand(CalcToken& tok, Operand& out) {
    if (!ReadInPlace(tok)) return false;
    TermNode& t = *tok.term;
    if (t.kind != TermNode::kNumber) return OperandInPlace(t, out);
    out.SetNum(t.num);
    return true;
  }

  // The calculation of `prog`, after `first` when the evaluator read it.
  bool Calc(CalcProgram& prog, Operand* first, Operand& result) {
    std::vector<Operand>& stack = stack_;
    const size_t base = stack.size();
    for (const CalcStep& step : prog.steps) {
      if (step.apply) {
        // The result takes the left operand's place (ApplyOperator reads both
        // operands before it writes the result).
        Operand& a = stack[stack.size() - 2];
        if (!Apply(prog, step.op, a, stack.back(), a)) {
          stack.resize(base);
          return false;
        }
        stack.pop_back();
        continue;
      }
      if (step.token >= 0 && PushedInPlace(prog.tokens[step.token])) continue;
      if (step.waiting >= 0 && NumericCallInPlace(*prog.tokens[step.token].term)) continue;
      Operand v;
      if (step.waiting >= 0 && committed_ && !CallTarget(*prog.tokens[step.token].term)) {
        stack.push_back(WordBeforeGroup(*prog.tokens[step.token].term));
        const std::vector<Op>& waiting = prog.waiting[step.waiting];
        for (auto op = waiting.rbegin(); op != waiting.rend(); ++op) {
          Operand r;
          Apply(prog, *op, stack[stack.size() - 2], stack.back(), r);
          stack.pop_back();
          stack.back() = std::move(r);
        }
        break;
      }
      if (step.token == CalcStep::kFirst)
        v = std::move(*first);
      else if (step.token == CalcStep::kEnd)
        v = Operand::Text(std::string(), false);
      else if (!Token(prog.tokens[step.token], v)) {
        stack.resize(base);
        return false;
      }
      stack.push_back(std::move(v));
    }
    result = std::move(stack.back());
    stack.resize(base);
    return true;
  }

 private:
  void Lookup(TermNode& t) { LookupWord(in_.S.Words, t); }

  // Xの M for a hash X: the element M, or the element named by M's value.
  // Members of variables (pair lines) and objects, and a word X that is
  // missing, are read from the text.
  bool Member(TermNode& t, std::string& value, std::string& type) {
    if (t.call_form) {
      if (THashNode* callee = Callable(t.whole, t.callee, t.callable_generation)) {
        if (!t.at) return false;
        RunCall(callee, t, value, type);
        return true;
      }
    }
    THashNode* e = nullptr;
    if (!MemberElement(t, e, false)) return false;
    if (!e) {
      value.clear();
      type = "s";
      return true;
    }
    const std::string& mark = e->TypeMark;
    type = mark.empty() ? std::string() : mark.substr(mark.size() - 1);
    value = e->Value();
    return true;
  }

  // The element of a hash X that Xの M names (null when it is missing), found
  // as Member finds it; false when the term is read from the text instead.
  // With `only_reads`, false too when finding it would evaluate M (nothing
  // runs then).
  bool MemberElement(TermNode& t, THashNode*& e, bool only_reads) {
    THash* elements = nullptr;
    if (ReadElement(in_.S.Words, t, e, elements)) return true;
    if (!elements || only_reads) return false;
    std::string evaluated;
    if (!Evaluate(*t.member_value, evaluated)) return false;
    e = elements->FindExact(evaluated);
    return true;
  }

  const std::string* PlainValue(EvalProgram& prog) { return PlainValueOf(in_.S.Words, prog); }

  // A term whose value is read without running anything: a number, a
  // literal, a word naming a variable or nothing, a literal whose embedded
  // expressions are each one variable or number.
  bool OnlyReads(TermNode& t) {
    switch (t.kind) {
      case TermNode::kNumber:
      case TermNode::kLiteral:
        return true;
      case TermNode::kWord:
        Lookup(t);
        return !t.node || t.node->Kind == kWordVariable;
      case TermNode::kTemplate:
        for (LiteralPart& part : t.parts)
          if (part.expression && !PlainValue(*part.expression)) return false;
        return true;
      default:
        return false;
    }
  }

  // A number, or a variable read as a number, made on the operand stack
  // itself (nothing else is read meanwhile); false for any other token.
  bool PushedInPlace(CalcToken& tok) {
    if (tok.kind == CalcToken::kGroup || tok.kind == CalcToken::kOperator) return false;
    TermNode& t = *tok.term;
    if (t.kind == TermNode::kNumber && tok.kind != CalcToken::kMinus) {
      stack_.emplace_back();
      if (t.canonical)
        stack_.back().SetNum(t.num);
      else
        stack_.back() = Operand::TextWithNumber(t.text, t.num);
      return true;
    }
    if (tok.kind != CalcToken::kTerm) return false;
    if (t.kind == TermNode::kMember) {
      stack_.emplace_back();
      if (MemberOperand(t, stack_.back(), false)) return true;
      stack_.pop_back();
      return false;
    }
    if (t.kind != TermNode::kWord) return false;
    stack_.emplace_back();
    if (VariableOperand(t, stack_.back())) return true;
    stack_.pop_back();
    return false;
  }

  // The operand any other token gives, as the calculator reads it.
  bool Token(CalcToken& tok, Operand& out) {
    std::string value, type;
    switch (tok.kind) {
      case CalcToken::kOperator:
        return false;  // never an operand (the step order has no such step)
      case CalcToken::kGroup: {
        Operand r;
        if (!Calc(*tok.group, nullptr, r)) return false;
        out = GroupValue(r);
        return true;
      }
      case CalcToken::kMinus:
        if (!Term(*tok.term, value, type)) return false;
        value.insert(0, 1, '-');
        out = Operand::Text(std::move(value), true);
        return true;
      case CalcToken::kPlus:
      case CalcToken::kTerm:
        if (tok.kind == CalcToken::kTerm && tok.term->kind == TermNode::kCall &&
            CallOperand(*tok.term, out))
          return true;
        // (Numbers and number variables were made in place, PushedInPlace.)
        if (!Term(*tok.term, value, type)) return false;
        out = Operand::Text(std::move(value), tok.kind == CalcToken::kPlus || type == "e");
        return true;
    }
    return false;
  }

  // A group's result as the operand the calculator makes of it: its text, a
  // number written in the number format and read back. A whole number the
  // format writes with all its digits reads back as itself, so it stays a
  // number and its text is made only when needed.
  static Operand GroupValue(Operand& r) {
    if (!r.is_number) return Operand::Text(r.TakeText(), false);
    Number n = r.num();
    if (n == 0) return Operand::Num(0);  // "0" reads back as +0
    if (std::fabs(n) < 1e15L && n == std::trunc(n)) return Operand::Num(n);
    return Operand::Text(FormatNumber(n), true);
  }

  // A variable typed as a number whose text is an integer exactly as the
  // number format writes it is taken as that number: its text, needed only by
  // text operations, is made again from it unchanged.
  bool NumericVariable(TermNode& t, Operand& out) {
    Lookup(t);
    const THashNode* n = t.node;
    return n && n->Kind == kWordVariable && IntegerAsWritten(*n, out);
  }

  // A dictionary element Xの M (see Member) found without running anything,
  // as the operand the calculator makes of the value Member reads: a number
  // when typed so, and, for the first term of an expression (`first`), when
  // typed neither text nor number but reading as one (see Evaluate). An
  // integer written as the number format writes it is taken as that number.
  // False when the term is read otherwise.
  bool MemberOperand(TermNode& t, Operand& out, bool first) {
    THashNode* e = nullptr;
    THash* elements = nullptr;
    if (!ElementNotCalled(in_.S.Words, t, e, elements)) return false;
    if (!e) {
      out.SetText(std::string(), false);  // a missing element reads as "", typed "s"
      return true;
    }
    if (e->Kind == kWordVariable && IntegerAsWritten(*e, out)) return true;
    const std::string& mark = e->TypeMark;
    const char type = mark.empty() ? '\0' : mark.back();
    bool is_number = type == 'e';
    if (first && type != 'e' && type != 's') {
      std::string_view v = e->Value();
      if (!v.empty() && v[0] == '-') v.remove_prefix(1);
      is_number = IsNumberText(v);
    }
    out.SetText(e->Value(), is_number);
    return true;
  }

  // A variable read in place as the operand the calculator makes of it (as
  // Token reads it): a number as above, else its text, a number when typed
  // so. False for a word that names no variable.
  bool VariableOperand(TermNode& t, Operand& out) {
    if (NumericVariable(t, out)) return true;
    if (!t.node || t.node->Kind != kWordVariable) return false;
    out.SetText(t.node->Value(), IsNumberMark(t.node->TypeMark));
    return true;
  }

  // A word, or a member, read in place as above; not the first term.
  bool OperandInPlace(TermNode& t, Operand& out) {
    return t.kind == TermNode::kWord ? VariableOperand(t, out)
                                     : t.kind == TermNode::kMember && MemberOperand(t, out, false);
  }

  // A value typed as a number whose text is an integer as the number format
  // writes it (see THashNode::IntegerValue), or that was stored as a number (SetNumber):
  // that number, the one its text reads back as.
  static bool IntegerAsWritten(const THashNode& n, Operand& out) {
    if (!IsNumberMark(n.TypeMark)) return false;
    Number stored;
    int64_t whole;
    if (n.StoredNumber(stored)) {
      out.SetNum(stored);
    } else if (n.IntegerValue(whole)) {
      out.SetNum(static_cast<Number>(whole));
    } else {
      return false;
    }
    return true;
  }

  Interpreter& in_;
  std::vector<Operand>& stack_;
  std::string_view whole_;
  bool committed_ = false;
};

// Texts longer than this are read every time; the tables are emptied when
// they hold this many texts, so a run that evaluates ever new texts does not
// grow them without end.
constexpr size_t kLongestText = 1024;
constexpr size_t kMostTexts = 8192;

}  // namespace

struct ExpressionCache::Entry {
  // The text compiled: its terms point into it (calls read their arguments
  // from it), so it lives as long as the entry.
  std::string text;
  std::unique_ptr<EvalProgram> eval;
  std::unique_ptr<CalcProgram> calc;
  // An evaluation that is one word alone: its term, so a command read as a
  // value runs without setting up a run of the program (see Run).
  TermNode* lone_word = nullptr;
  // A calculation that may be computed on whole numbers (see WholeCalc), and
  // for an evaluation its first term, a word or an element.
  CalcProgram* whole_calc = nullptr;
  TermNode* whole_first = nullptr;
  // Such a calculation of two operands and one operator (the most common
  // one): its operands, in reading order, and its operator.
  TermNode* whole_left = nullptr;
  TermNode* whole_right = nullptr;  // null when it is a number literal, `whole_number`
  int64_t whole_number = 0;
  Op whole_op = Op::kNone;
  // An evaluation that is one element alone (Xの M), or one call alone.
  TermNode* lone_element = nullptr;
  TermNode* lone_call = nullptr;
  // An evaluation of a word or element, an operator that keeps whole numbers
  // whole and a call (see Runner::WholeThenCall): its first term, its call
  // and its operator; the call is null once it named no label or DLL function.
  TermNode* then_left = nullptr;
  TermNode* then_call = nullptr;
  Op then_op = Op::kNone;
  // An evaluation of a word followed by joined terms (see MayAppend).
  bool joins_to_word = false;
  // Runs in a row whose operands were not all whole numbers: after a few the
  // calculation is no longer tried so.
  uint8_t whole_misses = 0;
  bool unusable = false;  // not compilable, or read from the text once already
};

struct ExpressionCache::Tables {
  // Keyed by a view of the entry's own text, which lives as long as the entry.
  using Table = std::unordered_map<std::string_view, std::shared_ptr<Entry>>;
  Table evaluations, calculations;
  // Compiled forms being run: the tables are not emptied meanwhile, so an
  // entry found in them lives at least as long as its run.
  int running = 0;
  std::vector<Operand> operands;  // the operand stack of the calculations being run

  std::shared_ptr<Entry>& Lookup(Table& table, const std::string& text, bool& fresh) {
    auto it = table.find(text);
    fresh = it == table.end();
    if (!fresh) return it->second;
    if (table.size() >= kMostTexts && running == 0) table.clear();
    auto entry = std::make_shared<Entry>();
    entry->text = text;
    std::string_view key = entry->text;
    return table.emplace(key, std::move(entry)).first->second;
  }
};

namespace {
// The command an evaluation of one word names (without folding, as Term
// looks words up), or null.
THashNode* LoneCommand(THash& words, TermNode* t) {
  if (!t || !t->at) return nullptr;
  LookupWord(words, *t);
  return t->node && t->node->Kind == kWordCommand ? t->node : nullptr;
}

// A compiled form being run: the tables stay as they are, and the operand
// stack is left as it was found, also when a call inside raises an error.
struct Running {
  int& count;
  std::vector<Operand>& operands;
  size_t base;
  Running(int& c, std::vector<Operand>& o) : count(c), operands(o), base(o.size()) { ++count; }
  ~Running() {
    --count;
    operands.resize(base);
  }
};

// What the compiled form gave: false before a call ran, else the program
// itself is at fault (after a call nothing may give up).
bool GaveUp(Interpreter& in, const Runner& runner) {
  if (runner.Committed()) in.Raise(msg::UnknownSystemError());
  return false;
}
}  // namespace

ExpressionCache::ExpressionCache() : tables_(std::make_unique<Tables>()) {}
ExpressionCache::~ExpressionCache() = default;

bool ExpressionCache::TryEvaluate(Interpreter& in, const std::string& text, std::string& out,
                                  std::shared_ptr<void>* handle) {
  if (handle && *handle) return Run(in, *static_cast<Entry*>(handle->get()), out);
  if (text.size() > kLongestText || text.empty()) return false;
  // A lone literal (an argument pushed as a value) is read at once: such texts
  // are new at every pass and would only fill the table.
  if (text[0] == '`' || text[0] == '"') {
    const char* q = text.c_str();
    if (SkipLiteral(q) && *q == '\0') return false;
  }
  return Run(in, EntryOf(text, false, handle), out);
}

bool ExpressionCache::TryExpandLiteral(Interpreter& in, const std::string& literal,
                                       std::string& out, std::shared_ptr<void>* handle) {
  if (handle && *handle) return Run(in, *static_cast<Entry*>(handle->get()), out);
  if (literal.size() > kLongestText) return false;
  return Run(in, EntryOf(literal, false, handle), out);
}

bool ExpressionCache::TryRunKept(Interpreter& in, std::shared_ptr<void>& handle, std::string& out,
                                 NumberResult& number) {
  return Run(in, *static_cast<Entry*>(handle.get()), out, &number);
}

bool ExpressionCache::MayAppend(const std::shared_ptr<void>& handle) {
  const Entry& entry = *static_cast<const Entry*>(handle.get());
  return !entry.unusable && entry.joins_to_word;
}

bool ExpressionCache::TryAppendKept(Interpreter& in, std::shared_ptr<void>& handle,
                                    THashNode* word) {
  Entry& entry = *static_cast<Entry*>(handle.get());
  if (!MayAppend(handle)) return false;
  ExpressionDepth::Check(in);  // (the nesting limit holds here as for every evaluation)
  Runner runner(in, tables_->operands);
  runner.Start(entry.text);
  return runner.AppendTo(*entry.eval, word);
}

bool ExpressionCache::TryCalculate(Interpreter& in, const std::string& text, std::string& out,
                                   std::shared_ptr<void>* handle) {
  if (handle && *handle) return Run(in, *static_cast<Entry*>(handle->get()), out);
  if (text.size() > kLongestText) return false;
  return Run(in, EntryOf(text, true, handle), out);
}

// The entry of `text` (an evaluation, or a calculation), compiled when new;
// `handle`, when given, keeps it.
ExpressionCache::Entry& ExpressionCache::EntryOf(const std::string& text, bool calculation,
                                                 std::shared_ptr<void>* handle) {
  bool fresh = false;
  Tables::Table& table = calculation ? tables_->calculations : tables_->evaluations;
  const std::shared_ptr<Entry>& entry = tables_->Lookup(table, text, fresh);
  Entry& e = *entry;
  if (fresh) {
    const std::string& own = e.text;
    if (std::memchr(own.data(), '\0', own.size()) == nullptr) {
      const char* p = own.c_str();
      const char* end = own.data() + own.size();
      if (calculation)
        e.calc = Compiler(end, true).Calc(p, end, true, 0);
      else
        e.eval = Compiler(end, true).Evaluation(p);
    }
    e.unusable = !e.eval && !e.calc;
    if (e.eval && !e.eval->rest && e.eval->joined.empty() && e.eval->first->kind == TermNode::kWord)
      e.lone_word = e.eval->first.get();
    if (e.calc && MayBeWhole(*e.calc)) e.whole_calc = e.calc.get();
    if (e.eval && e.eval->rest && e.eval->joined.empty() &&
        (e.eval->first->kind == TermNode::kWord || e.eval->first->kind == TermNode::kMember ||
         e.eval->first->kind == TermNode::kCall) &&
        MayBeWhole(*e.eval->rest)) {
      e.whole_calc = e.eval->rest.get();
      e.whole_first = e.eval->first.get();
    }
    if (e.whole_calc) {
      // (MayBeWhole: every operand pushed is a term or the first one.)
      CalcProgram& calc = *e.whole_calc;
      const std::vector<CalcStep>& steps = calc.steps;
      if (steps.size() == 3 && !steps[0].apply && !steps[1].apply && steps[2].apply &&
          steps[1].token >= 0 && (steps[0].token >= 0 || e.whole_first)) {
        e.whole_left = steps[0].token >= 0 ? calc.tokens[steps[0].token].term.get() : e.whole_first;
        e.whole_right = calc.tokens[steps[1].token].term.get();
        e.whole_op = steps[2].op;
        if (e.whole_right->kind == TermNode::kNumber) {
          e.whole_number = e.whole_right->integer;
          e.whole_right = nullptr;
        }
      }
    }
    if (e.eval && e.eval->rest && e.eval->rest->own_text && e.eval->joined.empty() &&
        (e.eval->first->kind == TermNode::kWord || e.eval->first->kind == TermNode::kMember)) {
      const CalcProgram& rest = *e.eval->rest;
      const std::vector<CalcStep>& steps = rest.steps;
      if (steps.size() == 3 && steps[0].token == CalcStep::kFirst && !steps[1].apply &&
          steps[1].token >= 0 && rest.tokens[steps[1].token].kind == CalcToken::kTerm &&
          rest.tokens[steps[1].token].term->kind == TermNode::kCall && steps[2].apply &&
          (steps[2].op == Op::kAdd || steps[2].op == Op::kSub || steps[2].op == Op::kMul)) {
        e.then_left = e.eval->first.get();
        e.then_call = rest.tokens[steps[1].token].term.get();
        e.then_op = steps[2].op;
      }
    }
    if (e.eval && !e.eval->rest && e.eval->joined.empty() &&
        e.eval->first->kind == TermNode::kMember)
      e.lone_element = e.eval->first.get();
    if (e.eval && !e.eval->rest && e.eval->joined.empty() && e.eval->first->kind == TermNode::kCall)
      e.lone_call = e.eval->first.get();
    e.joins_to_word = e.eval && !e.eval->rest && !e.eval->joined.empty() &&
                      e.eval->first->kind == TermNode::kWord;
  }
  if (handle) *handle = entry;
  return e;
}

namespace {
// An entry's result computed on whole numbers (see WholeCalc): false when an
// operand is not a whole number or a result leaves 64 bits.
inline bool WholeResult(Interpreter& in, ExpressionCache::Entry& entry, int64_t& result) {
  bool typed = true;
  if (TermNode* left = entry.whole_left) {
    int64_t right = entry.whole_number;
    bool right_typed = true;
    return WholeTerm(in, *left, result, typed) &&
           (!entry.whole_right || WholeTerm(in, *entry.whole_right, right, right_typed)) &&
           (right_typed || !IsComparison(entry.whole_op)) &&
           WholeApply(entry.whole_op, result, right);
  }
  int64_t first = 0;
  return (!entry.whole_first || WholeTerm(in, *entry.whole_first, first, typed)) &&
         WholeCalc(in, *entry.whole_calc, entry.whole_first ? &first : nullptr, typed, result);
}

// An element read alone (Xの M), found without running anything, as
// Runner::Evaluate reads it: with `number`, a whole number typed as a number
// is given there, its text not written; else its text and the last letter
// of its type mark (a missing element reads as "", typed "s"). False when it
// is read otherwise (a call, a key to evaluate).
inline bool ReadLoneElement(Interpreter& in, TermNode& t, std::string& out, NumberResult* number) {
  THashNode* e = nullptr;
  THash* elements = nullptr;
  if (!ElementNotCalled(in.S.Words, t, e, elements)) return false;
  ExpressionDepth::Check(in);
  if (!e) {
    out.clear();
    SetTypeMark(in.S.SoreType, "s");
    return true;
  }
  int64_t whole;
  if (number && e->Kind == kWordVariable && IsNumberMark(e->TypeMark) && e->IntegerValue(whole)) {
    number->whole = whole;
    number->given = number->is_whole = true;
    return true;
  }
  const std::string_view mark = e->TypeMark;
  SetTypeMark(in.S.SoreType, mark.empty() ? mark : mark.substr(mark.size() - 1));
  out = e->Value();
  return true;
}

// A call of a label or DLL function alone, for a value that may be given as
// a number: what Runner::LoneCall does for it, without a runner or the
// evaluation around it.
bool RunLoneCall(Interpreter& in, ExpressionCache::Tables& tables, THashNode* f, TermNode& t,
                 std::string& out, NumberResult& number) {
  Running running(tables.running, tables.operands);
  ExpressionDepth depth(in);
  CallAlone(in, f, t, out, number);
  return true;
}

// An evaluation of a whole number read in place, an operator and a call of a
// label or DLL function (see Runner::WholeThenCall), for a number result.
// False, before anything runs, when its first term is not a whole number or
// its call is not of such a function (not tried again then).
[[gnu::noinline]] bool RunWholeThenCall(Interpreter& in, ExpressionCache::Tables& tables,
                                        ExpressionCache::Entry& entry, NumberResult& number) {
  int64_t left;
  bool typed;  // (an arithmetic operator reads the number of a text too)
  if (!WholeTerm(in, *entry.then_left, left, typed)) return false;
  Running running(tables.running, tables.operands);
  ExpressionDepth depth(in);
  Runner runner(in, tables.operands);
  runner.Start(entry.text);
  switch (runner.WholeThenCall(*entry.eval->rest, *entry.then_call, entry.then_op, left, number)) {
    case Runner::Numeric::kDone:
      return true;
    case Runner::Numeric::kNone:
      entry.then_call = nullptr;
      return false;
    case Runner::Numeric::kFault:
      break;
  }
  entry.unusable = true;
  return GaveUp(in, runner);
}
}  // namespace

// Runs an entry: an evaluation's value and type mark, or a calculation's
// result, as Evaluate and Calculate give them. What is computed on whole
// numbers or read alone is done here; the rest in RunCompiled.
bool ExpressionCache::Run(Interpreter& in, Entry& entry, std::string& out, NumberResult* number) {
  if (entry.unusable) return false;
  int64_t result;
  if (entry.whole_calc) {
    // (A number result, as the calculator gives it: without its text when
    // `number` takes it, else its text as the format writes it, typed "e".)
    if (WholeResult(in, entry, result)) {
      entry.whole_misses = 0;
      ExpressionDepth::Check(in);
      if (!number) return WholeResultText(in, result, out);
      number->whole = result;
      number->given = number->is_whole = true;
      return true;
    }
    if (++entry.whole_misses == kWholeMissesKept) {
      entry.whole_calc = nullptr;
      entry.whole_left = nullptr;
    }
  } else if (entry.lone_element) {
    if (ReadLoneElement(in, *entry.lone_element, out, number)) return true;
  } else if (number && entry.lone_call) {
    if (THashNode* f = CallableWord(in.S.Words, entry.lone_call->text, entry.lone_call->node,
                                    entry.lone_call->generation);
        f && f->Kind != kWordCommand)
      return RunLoneCall(in, *tables_, f, *entry.lone_call, out, *number);
  } else if (THashNode* command = LoneCommand(in.S.Words, entry.lone_word)) {
    // (Its result is それ's value, typed as the command left it, as Term reads it.)
    ExpressionDepth depth(in);
    in.RunCommandForValue(command, out);
    return true;
  }
  if (number && entry.then_call && RunWholeThenCall(in, *tables_, entry, *number)) return true;
  return RunCompiled(in, entry, out, number);
}

// Run for what is neither computed on whole numbers nor read alone.
bool ExpressionCache::RunCompiled(Interpreter& in, Entry& entry, std::string& out,
                                  NumberResult* number) {
  Running running(tables_->running, tables_->operands);
  ExpressionDepth depth(in);
  Runner runner(in, tables_->operands);
  runner.Start(entry.text);
  if (entry.calc) {
    Operand r;
    const Runner::Numeric numeric = runner.CalcInPlace(*entry.calc, nullptr, r);
    if (numeric == Runner::Numeric::kDone ||
        (numeric == Runner::Numeric::kNone &&
         runner.GuardedCalc(*entry.calc, nullptr, r, entry.text))) {
      if (number && r.is_number) return TakeNumber(*number, r);
      out = CalculationResult(in, r);
      return true;
    }
  } else {
    std::string value, type;
    if (runner.Evaluate(*entry.eval, value, &type, number)) {
      if (number && number->given) return true;
      in.S.SoreType = std::move(type);
      out = std::move(value);
      return true;
    }
  }
  entry.unusable = true;
  return GaveUp(in, runner);
}

}  // namespace sorane
