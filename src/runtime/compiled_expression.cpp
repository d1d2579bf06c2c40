// Compiled expressions (see compiled_expression.h). The compiler follows the
// readers of evaluator.cpp and calculator.cpp step by step: a term is what
// Interpreter::Term reads, a token what the calculator's tokenizer reads, and
// the evaluation of the tokens repeats the calculator's levels, taking each
// token when the calculator would read it.
#include "runtime/compiled_expression.h"

#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "runtime/calculator.h"
#include "runtime/interpreter.h"
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

// A term: a number literal, a literal (with embedded expressions: a template),
// a word, a member of a word (Xの M), a group or "-" before a term.
struct TermNode {
  enum Kind { kNumber, kLiteral, kTemplate, kWord, kMember, kGroup, kNegative } kind = kNumber;
  std::string text;  // number: its value; literal: its value; word, member: the name (X)
  Number num = 0;    // number: ParseNumber of its value
  std::unique_ptr<CalcProgram> group;
  std::unique_ptr<TermNode> inner;            // negative
  std::vector<LiteralPart> parts;             // template
  std::string member;                         // member: M as written
  std::unique_ptr<EvalProgram> member_value;  // member: M evaluated
  // word, member: the node found while the word table had generation `generation`
  THashNode* node = nullptr;
  uint64_t generation = 0;
  // member written Xの(M): when Xの, folded, names a command, label or DLL
  // function, the text is a call and is read as usual.
  bool call_form = false;
  std::string whole;  // Xの
  bool callable = false;
  uint64_t callable_generation = 0;
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

struct CalcProgram {
  std::vector<CalcToken> tokens;
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

bool AtWide(const char* p, const std::string& wide) {
  return p[0] == wide[0] && p[1] != '\0' && p[1] == wide[1];
}

class Compiler {
 public:
  explicit Compiler(const char* end) : end_(end) {}

  std::unique_ptr<TermNode> Term(const char*& p, int depth) {
    if (depth > kDeepest) return nullptr;
    Interpreter::SkipBlanks(p);
    const char c = *p;
    auto t = std::make_unique<TermNode>();
    if (c == '"' || c == '`') {
      t->kind = TermNode::kLiteral;
      if (!Literal(p, *t, depth)) return nullptr;
    } else if (IsDigit(c) || c == '$') {
      std::string literal = Interpreter::ReadNumberLiteral(p);
      t->kind = TermNode::kNumber;
      t->text = c == '$' ? HexLiteralValue(literal) : literal;
      t->num = ParseNumber(t->text);
    } else if (c == '(') {
      t->kind = TermNode::kGroup;
      t->group = Group(p, depth + 1);
      if (!t->group) return nullptr;
    } else if (c == '-') {
      ++p;
      t->kind = TermNode::kNegative;
      t->inner = Term(p, depth + 1);
      if (!t->inner) return nullptr;
    } else {
      std::string_view w = Interpreter::ScanWord(p);
      const std::string& no = SJ("の");
      // Empty words and cell accesses are read from the text, and so are
      // calls, except after a member word (a call only when the word is
      // callable, checked when evaluated).
      bool member = w.size() > no.size() && w.substr(w.size() - no.size()) == no;
      if (w.empty() || (*p == '(' && !member) || *p == '#') return nullptr;
      if (member) {
        t->call_form = *p == '(';
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
      if (p > end) return nullptr;
      prog->tokens.push_back(std::move(tok));
    }
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
};

// ---------------------------------------------------------------- evaluating

enum TokenClass { kTextToken, kNumberToken, kStartToken, kOperatorToken };

class Runner {
 public:
  explicit Runner(Interpreter& in) : in_(in) {}

  // A term's value and type mark; false when the text must be read instead.
  bool Term(TermNode& t, std::string& value, std::string& type) {
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
          if (part.expression) {
            std::string v;
            if (!Evaluate(*part.expression, v)) return false;
            value += v;
          }
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
        if (t.node->Kind != kWordVariable) return false;
        value = t.node->Value;
        type = t.node->TypeMark;
        return true;
      }
      case TermNode::kGroup: {
        Operand r;
        if (!Calc(*t.group, nullptr, r)) return false;
        type = r.is_number ? "e" : "s";
        value = r.is_number ? FormatNumber(r.num()) : r.TakeText();
        return true;
      }
      case TermNode::kNegative:
        if (!Term(*t.inner, value, type)) return false;
        value.insert(0, 1, '-');
        return true;
    }
    return false;
  }

  // The value of `prog` as Evaluate gives it, its type mark in `type`.
  bool Evaluate(EvalProgram& prog, std::string& value, std::string* type_out = nullptr) {
    std::string type;
    if (prog.rest && prog.joined.empty() && prog.first->kind == TermNode::kWord) {
      Operand first, r;
      if (NumericVariable(*prog.first, first)) {
        if (!Calc(*prog.rest, &first, r)) return false;
        if (type_out) *type_out = r.is_number ? "e" : "s";
        value = r.is_number ? FormatNumber(r.num()) : r.TakeText();
        return true;
      }
    }
    if (!Term(*prog.first, value, type)) return false;
    for (auto& joined : prog.joined) {
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
      if (!Calc(*prog.rest, &first, r)) return false;
      type = r.is_number ? "e" : "s";
      value = r.is_number ? FormatNumber(r.num()) : r.TakeText();
    }
    if (type_out) *type_out = std::move(type);
    return true;
  }

  // The calculation of `prog`, after `first` when the evaluator read it.
  bool Calc(CalcProgram& prog, Operand* first, Operand& result) {
    State s{prog};
    if (first) {
      s.token = std::move(*first);
      s.cls = s.token.is_number ? kNumberToken : kTextToken;
    } else if (!Next(s)) {
      return false;
    }
    if (!Level(s, 1, result)) return false;
    return s.cls != kStartToken && s.cls != kOperatorToken;
  }

 private:
  void Lookup(TermNode& t) {
    THash& words = in_.S.Words;
    if (t.generation != words.Generation()) {
      t.node = words.FindExact(t.text);
      t.generation = words.Generation();
    }
  }

  // Xの M for a hash X: the element M, or the element named by M's value.
  // Members of variables (pair lines) and objects, and a word X that is
  // missing, are read from the text.
  bool Member(TermNode& t, std::string& value, std::string& type) {
    if (t.call_form) {
      THash& words = in_.S.Words;
      if (t.callable_generation != words.Generation()) {
        THashNode* f = words.Find(t.whole, true);
        t.callable = f && (f->Kind == kWordCommand || f->Kind == kWordLabel || f->Kind == kWordDll);
        t.callable_generation = words.Generation();
      }
      if (t.callable) return false;
    }
    Lookup(t);
    THashNode* x = t.node;
    if (!x) return false;
    if (x->Kind == kWordVariable && !x->Value.empty()) {
      // A variable that holds the name of a hash or an object stands for it.
      THashNode* named = in_.S.Words.FindExact(x->Value);
      if (named && named->Kind != kWordVariable) x = named;
    }
    if (x->Kind != kWordHash || !x->Elements) return false;
    THashNode* e = x->Elements->FindExact(t.member);
    if (!e) {
      std::string key;
      if (!Evaluate(*t.member_value, key)) return false;
      e = x->Elements->FindExact(key);
    }
    if (!e) {
      value.clear();
      type = "s";
      return true;
    }
    const std::string& mark = e->TypeMark;
    type = mark.empty() ? std::string() : mark.substr(mark.size() - 1);
    value = e->Value;
    return true;
  }

  struct State {
    CalcProgram& prog;
    size_t next = 0;
    Operand token;
    int cls = kStartToken;
    Op op = Op::kNone;
    int level = 0;
  };

  static void SetOperand(State& s, Operand v) {
    s.token = std::move(v);
    s.cls = s.token.is_number ? kNumberToken : kTextToken;
  }

  bool Next(State& s) {
    if (s.next >= s.prog.tokens.size()) {
      SetOperand(s, Operand::Text(std::string(), false));
      return true;
    }
    CalcToken& tok = s.prog.tokens[s.next++];
    std::string value, type;
    switch (tok.kind) {
      case CalcToken::kOperator:
        s.op = tok.op;
        s.level = tok.level;
        s.cls = kOperatorToken;
        return true;
      case CalcToken::kGroup: {
        Operand r;
        if (!Calc(*tok.group, nullptr, r)) return false;
        bool number = r.is_number;
        std::string v = number ? FormatNumber(r.num()) : r.TakeText();
        SetOperand(s, Operand::Text(std::move(v), number));
        return true;
      }
      case CalcToken::kMinus:
        if (!Term(*tok.term, value, type)) return false;
        value.insert(0, 1, '-');
        SetOperand(s, Operand::Text(std::move(value), true));
        return true;
      case CalcToken::kPlus:
      case CalcToken::kTerm:
        if (tok.term->kind == TermNode::kNumber) {
          SetOperand(s, Operand::TextWithNumber(tok.term->text, tok.term->num));
          return true;
        }
        if (tok.term->kind == TermNode::kWord) {
          Operand n;
          if (NumericVariable(*tok.term, n)) {
            SetOperand(s, std::move(n));
            return true;
          }
        }
        if (!Term(*tok.term, value, type)) return false;
        SetOperand(s, Operand::Text(std::move(value), tok.kind == CalcToken::kPlus || type == "e"));
        return true;
    }
    return false;
  }

  // A variable typed as a number whose text is an integer exactly as the
  // number format writes it is taken as that number: its text, needed only by
  // text operations, is made again from it unchanged.
  bool NumericVariable(TermNode& t, Operand& out) {
    Lookup(t);
    const THashNode* n = t.node;
    if (!n || n->Kind != kWordVariable || n->TypeMark != "e") return false;
    std::string_view v = n->Value;
    size_t i = !v.empty() && v[0] == '-' ? 1 : 0;
    size_t digits = v.size() - i;
    if (digits == 0 || digits > 15 || (v[i] == '0' && (digits > 1 || i == 1))) return false;
    long long m = 0;
    for (size_t k = i; k < v.size(); ++k) {
      unsigned d = static_cast<unsigned char>(v[k]) - '0';
      if (d > 9) return false;
      m = m * 10 + d;
    }
    out = Operand::Num(static_cast<Number>(i ? -m : m));
    return true;
  }

  bool Level(State& s, int level, Operand& out) {
    if (level == kFactorLevel) {
      if (s.cls == kOperatorToken) return false;  // an operator out of place
      out = std::move(s.token);
      return Next(s);
    }
    if (!Level(s, level + 1, out)) return false;
    while (s.cls == kOperatorToken && s.level == level) {
      Op op = s.op;
      if (!Next(s)) return false;
      Operand b;
      if (!Level(s, level + 1, b)) return false;
      Operand r;
      if (ApplyOperator(op, out, b, r) != OpFault::kNone) return false;
      out = std::move(r);
    }
    return true;
  }

  Interpreter& in_;
};

// Texts longer than this are read every time; the tables are emptied when
// they hold this many texts, so a run that evaluates ever new texts does not
// grow them without end.
constexpr size_t kLongestText = 1024;
constexpr size_t kMostTexts = 8192;

}  // namespace

struct ExpressionCache::Entry {
  std::unique_ptr<EvalProgram> eval;
  std::unique_ptr<CalcProgram> calc;
  bool unusable = false;  // not compilable, or read from the text once already
};

struct ExpressionCache::Tables {
  using Table = std::unordered_map<std::string, std::shared_ptr<Entry>>;
  Table evaluations, calculations;
  // Compiled forms being run: the tables are not emptied meanwhile, so an
  // entry found in them lives at least as long as its run.
  int running = 0;

  std::shared_ptr<Entry>& Lookup(Table& table, const std::string& text, bool& fresh) {
    auto it = table.find(text);
    fresh = it == table.end();
    if (!fresh) return it->second;
    if (table.size() >= kMostTexts && running == 0) table.clear();
    return table.emplace(text, std::make_shared<Entry>()).first->second;
  }
};

namespace {
struct Running {
  int& count;
  explicit Running(int& c) : count(c) { ++count; }
  ~Running() { --count; }
};
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
  bool fresh = false;
  const std::shared_ptr<Entry>& entry = tables_->Lookup(tables_->evaluations, text, fresh);
  Entry* e = entry.get();
  if (fresh) {
    if (std::memchr(text.data(), '\0', text.size()) == nullptr)
      e->eval = Compiler(text.data() + text.size()).Evaluation(text.c_str());
    e->unusable = !e->eval;
  }
  if (handle) *handle = entry;
  return Run(in, *e, out);
}

bool ExpressionCache::Run(Interpreter& in, Entry& entry, std::string& out) {
  Entry* e = &entry;
  if (e->unusable) return false;
  Running running(tables_->running);
  ExpressionDepth depth(in);
  std::string value, type;
  if (!Runner(in).Evaluate(*e->eval, value, &type)) {
    e->unusable = true;
    return false;
  }
  in.S.SoreType = std::move(type);
  out = std::move(value);
  return true;
}

bool ExpressionCache::TryCalculate(Interpreter& in, const std::string& text, std::string& out) {
  if (text.size() > kLongestText) return false;
  bool fresh = false;
  Entry* e = tables_->Lookup(tables_->calculations, text, fresh).get();
  if (fresh) {
    if (std::memchr(text.data(), '\0', text.size()) == nullptr) {
      const char* p = text.c_str();
      const char* end = text.data() + text.size();
      e->calc = Compiler(end).Calc(p, end, true, 0);
    }
    e->unusable = !e->calc;
  }
  if (e->unusable) return false;
  Running running(tables_->running);
  ExpressionDepth depth(in);
  Operand r;
  if (!Runner(in).Calc(*e->calc, nullptr, r)) {
    e->unusable = true;
    return false;
  }
  out = CalculationResult(in, r);
  return true;
}

}  // namespace sorane
