// The value evaluator: every argument, assigned value and condition becomes a
// text with a type mark here. It reads operands (literals, numbers, groups,
// words, calls, member and cell accesses), joins them with "&", and hands the
// rest of the text to the calculator as soon as an operator follows an operand.
// Double-quoted literals are expanded: escapes and embedded {expressions}.
#include <cstdint>
#include <cstring>

#include "runtime/calculator.h"
#include "runtime/compiled_expression.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/statement_cache.h"
#include "text/conv_half.h"
#include "text/csv.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// True when p starts with the double-byte character `wide` (a CP932 text).
// ---------------------------------------------------------------- words

// The value of `key` in pair lines (key=value per line; the key is the trimmed
// part before the first "="; a line without "=" is a key with an empty value).
std::string PairValue(std::string_view text, std::string_view key) {
  std::string found;
  ForEachPairLine(text, [&](const std::string& k, std::string_view value, std::string_view) {
    if (k != key) return true;
    found = value;
    return false;
  });
  return found;
}

// An index of a cell access: a group is calculated, a plain word is evaluated
// as a term on its own (so the "#" after it is not taken for a cell access of
// its own); a value that is not an integer is -1 (outside every table).
long long CellIndex(Interpreter& in, const char*& p) {
  std::string v;
  if (*p == '(') {
    v = CalculateGroup(in, p);
  } else {
    std::string word = Interpreter::ReadWord(p);
    const char* q = word.c_str();
    v = in.Term(q);
  }
  long long n = -1;
  return TryParseInteger(v, n) ? n : -1;
}

// ---------------------------------------------------------------- literals

// After "\" or "￥": n gives CR LF, t a TAB, any other character itself.
void AppendEscaped(const char*& p, std::string& out) {
  if (!*p) return;
  size_t len = CharLenZ(p);
  if (*p == 'n' || (len == 2 && AtWide(p, SJ("ｎ"))))
    out += "\r\n";
  else if (*p == 't' || (len == 2 && AtWide(p, SJ("ｔ"))))
    out += '\t';
  else
    out.append(p, len);
  p += len;
}

bool IsOpeningBrace(const char* p) {
  return *p == '{' || AtWide(p, SJ("｛"));
}
bool IsClosingBrace(const char* p) {
  return *p == '}' || AtWide(p, SJ("｝"));
}

// The expression after "{" up to the closing brace (consumed). An expression
// that is never closed runs to the end of the literal.
std::string EmbeddedExpression(const char*& p) {
  const char* start = p;
  while (*p && *p != '"' && !IsClosingBrace(p)) {
    if (*p == '\\' && p[1]) ++p;
    p += CharLenZ(p);
  }
  std::string expr(start, p);
  if (IsClosingBrace(p)) p += CharLenZ(p);
  return expr;
}

// A double-quoted literal at p, expanded onto `out`.
void ExpandQuoted(Interpreter& in, const char*& p, std::string& out) {
  ++p;  // opening quote
  for (;;) {
    if (!*p && !ValueText::Inside(p)) in.Raise(SJ("文字列\"%s\"の最後に」がありません。"), out);
    if (*p == '"') {
      ++p;
      return;
    }
    size_t len = CharLenZ(p);
    if (*p == '\\' || AtWide(p, SJ("￥"))) {
      p += len;
      AppendEscaped(p, out);
    } else if (IsOpeningBrace(p)) {
      p += len;
      out += in.Evaluate(TConvToHalf::ConvertText(EmbeddedExpression(p)));
    } else {
      out.append(p, len);
      p += len;
    }
  }
}

// A backquoted literal at p: its content taken as written, "``" as one "`".
void AppendBackquoted(Interpreter& in, const char*& p, std::string& out) {
  std::string literal = in.ReadLiteral(p);
  // Walk by characters: a trail byte 0x60 is part of its character, not a "`".
  for (size_t i = 1; i + 1 < literal.size();) {
    size_t len = CharLen(literal, i);
    out.append(literal, i, len);
    i += (len == 1 && literal[i] == '`') ? 2 : len;
  }
}

}  // namespace

// A command or a DLL function read as a value runs with whatever is on the
// argument stack; its result is それ's value, and それ gets its old value back
// afterwards. (Out of RunCommandForValue, whose usual command, 引数取得, needs
// neither its frame nor its handler of errors.)
[[gnu::noinline]] static void RunForSore(Interpreter& in, THashNode* command, std::string& result) {
  THashNode* sore = in.S.Fast.Sore;
  std::string saved = sore->Value();
  try {
    in.ExecuteWord(command);
  } catch (...) {
    sore->ValueToWrite() = std::move(saved);
    throw;
  }
  result = std::move(sore->ValueToWrite());
  sore->ValueToWrite() = std::move(saved);
}

void Interpreter::RunCommandForValue(THashNode* command, std::string& result) {
  if (!ArgumentsForValue(command, result)) RunForSore(*this, command, result);
}

// No digit or more than eight significant digits is not a 32-bit integer and reads as 0.
std::string HexLiteralValue(std::string_view literal) {
  std::string_view digits = literal.substr(1);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 8) return "0";
  uint32_t v = 0;
  for (char c : digits) {
    int d = IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return std::to_string(static_cast<int32_t>(v));
}

// ---------------------------------------------------------------- evaluate

// A text that is a number as written, a backquoted literal without backquotes
// inside, or one word that names a variable or nothing, has the value Term
// reads from it; most arguments of commands are such texts. False for
// anything else.
bool Interpreter::ReadsAsWord(const std::string& text, THashNode*& named) {
  if (text.empty() || IsDigit(text[0]) || text[0] == '$') return false;
  if (!Statements) return ScanAsWord(text, named);
  KeptWord& kept = kept_words_[(text.size() * 31 + static_cast<unsigned char>(text.back())) %
                               kept_words_.size()];
  const uint64_t generation = S.Words.Generation();
  if (kept.generation != generation || kept.text != text) {
    kept.word = nullptr;
    kept.plain = ScanAsWord(text, kept.word);
    kept.generation = generation;
    kept.text = text;
  }
  if (kept.plain) named = kept.word;
  return kept.plain;
}

bool Interpreter::ScanAsWord(const std::string& text, THashNode*& named) {
  const char* p = text.c_str();
  std::string_view w = ScanWord(p);
  if (w.size() != text.size() || EndsWithBytes(w, SJ("の"))) return false;
  named = S.Words.FindExact(w);
  return true;
}

bool Interpreter::ReadsAsWord(const std::string& text, THashNode*& named, PlainWord& kept) {
  const uint64_t generation = S.Words.Generation();
  if (kept.hint.generation != generation) {
    kept.plain = ReadsAsWord(text, kept.hint.word);
    kept.hint.generation = generation;
  }
  named = kept.hint.word;
  return kept.plain;
}

// (A number pushed as its value and read again by a command is new text at
// every pass: it is not compiled.)
bool Interpreter::ReadsAsNumberLiteral(const std::string& text) {
  if (!Expressions || !IsNumberLiteral(text)) return false;
  SetTypeMark(S.SoreType, "e");
  return true;
}

size_t Interpreter::PlainLiteralLength(std::string_view text) {
  if (text.empty() || (text[0] != '"' && text[0] != '`')) return 0;
  const char quote = text[0];
  size_t i = 1;
  while (i < text.size() && text[i] != quote) {
    const char* q = text.data() + i;
    if (*q == '\0') return 0;
    // A double-quoted literal is taken as written when nothing in it is
    // expanded (no escape, no embedded expression).
    if (quote == '"' && (*q == '\\' || AtWide(q, SJ("￥")) || IsOpeningBrace(q))) return 0;
    i += CharLen(text, i);
  }
  return i < text.size() ? i + 1 : 0;
}

static bool EvaluatePlain(Interpreter& in, const std::string& text, std::string& out,
                          PlainWord* word) {
  if (text.empty()) return false;
  if (text[0] == '"' || text[0] == '`') {
    // Taken as written when it ends where the text ends.
    const size_t length = Interpreter::PlainLiteralLength(text);
    if (length == 0 || length != text.size()) return false;
    SetTypeMark(in.S.SoreType, "s");
    out.assign(text, 1, length - 2);
    return true;
  }
  if (IsDigit(text[0]) || text[0] == '-') {
    if (!in.ReadsAsNumberLiteral(text)) return false;
    out = text;
    return true;
  }
  THashNode* n = nullptr;
  if (!(word ? in.ReadsAsWord(text, n, *word) : in.ReadsAsWord(text, n))) return false;
  if (!n) {
    SetTypeMark(in.S.SoreType, "s");
    out = text;
    return true;
  }
  if (n->Kind != kWordVariable) return false;
  SetTypeMark(in.S.SoreType, n->TypeMark);
  out = n->Value();
  return true;
}

std::string Interpreter::Evaluate(const std::string& text, std::shared_ptr<void>* compiled,
                                  PlainWord* word) {
  std::string value;
  EvaluateInto(text, compiled, value, word);
  return value;
}

void Interpreter::EvaluateInto(const std::string& text, std::shared_ptr<void>* compiled,
                               std::string& value, PlainWord* word) {
  if (Expressions) {
    // A text compiled before (its handle kept) is not plain.
    if (!(compiled && *compiled) && EvaluatePlain(*this, text, value, word)) return;
    if (Expressions->TryEvaluate(*this, text, value, compiled)) return;
  }
  value = EvaluateText(text);
}

std::string Interpreter::EvaluateText(const std::string& text) {
  ValueText value(text);
  const char* p = text.c_str();
  SkipBlanks(p);
  if (!*p) {
    SetTypeMark(S.SoreType, "s");
    return {};
  }
  std::string v = Term(p);
  for (;;) {
    SkipBlanks(p);
    unsigned char c = *p;
    if (c == '&' && p[1] != '&') {
      ++p;
      SkipBlanks(p);
      if (*p == '\r' || *p == '\n') {
        ReadLineBreak(p);
        SkipBlanks(p);
      }
      v += Term(p);
      SetTypeMark(S.SoreType, "s");
      continue;
    }
    if (IsOperatorChar(c)) {
      std::string type = S.SoreType;
      return CalculateAfter(*this, std::move(v), type, p, text);
    }
    return v;  // anything else ends the expression; the rest is ignored
  }
}

std::string Interpreter::Term(const char*& p) {
  ExpressionDepth depth(*this);
  SkipBlanks(p);
  const char c = *p;
  if (c == '"' || c == '`') return ExpandLiteral(ReadLiteral(p));
  if (IsDigit(c) || c == '$') {
    std::string literal = ReadNumberLiteral(p);
    SetTypeMark(S.SoreType, "e");
    return c == '$' ? HexLiteralValue(literal) : literal;
  }
  if (c == '(') return CalculateGroup(*this, p);
  if (c == '-') {
    ++p;
    return "-" + Term(p);
  }

  std::string_view w = Interpreter::ScanWord(p);
  if (w.empty()) {
    SetTypeMark(S.SoreType, "s");
    return {};
  }
  if (*p == '(') {
    THashNode* f = S.Words.Find(w, true);
    if (IsCallable(f)) return FunctionCall(f, p);
  }
  const std::string& no = SJ("の");
  if (w.size() > no.size() && EndsWithBytes(w, no)) {
    if (THashNode* x = S.Words.FindExact(w.substr(0, w.size() - no.size())))
      return MemberAccess(x, p);
  }
  THashNode* n = S.Words.FindExact(w);
  if (!n) {
    SetTypeMark(S.SoreType, "s");
    return std::string(w);
  }
  switch (n->Kind) {
    case kWordCommand:
    case kWordDll: {
      std::string value;
      RunCommandForValue(n, value);
      return value;
    }
    case kWordLabel:
      return RunLabelInExpression(n);
    case kWordVariable:
      if (*p == '#') return CellAccess(n, p);
      S.SoreType = n->TypeMark;
      return n->Value();
    case kWordObject:
      return GetObjectDefault(*this, n);
    case kWordHash:
      S.SoreType = "hs";
      return n->Elements ? n->Elements->PairLines() : std::string();
    default:
      SetTypeMark(S.SoreType, "s");
      return std::string(w);
  }
}

// X の M: M is the next word or a parenthesised group.
std::string Interpreter::MemberAccess(THashNode* x, const char*& p) {
  SkipBlanks(p);
  std::string m = *p == '(' ? ReadGroup(p) : ReadWord(p);
  if (x->Kind == kWordVariable && !x->Value().empty()) {
    // A variable that holds the name of a hash or an object stands for it.
    THashNode* named = S.Words.FindExact(x->Value());
    if (named && named->Kind != kWordVariable) x = named;
  }
  switch (x->Kind) {
    case kWordVariable: {
      THashNode* k = S.Words.FindExact(m);
      std::string key = k && k->Kind == kWordVariable ? k->Value() : m;
      SetTypeMark(S.SoreType, "s");
      return PairValue(x->Value(), key);
    }
    case kWordObject:
      return GetObjectProperty(*this, x, m);
    case kWordHash: {
      if (!x->Elements)
        Raise(SJ("作成されていないハッシュ\"%"
                 "s\"が、見つかりました。メモリが足りないか、バグの可能性があります。"),
              x->Name);
      THashNode* e = x->Elements->FindExact(m);
      if (!e) e = x->Elements->FindExact(Evaluate(m));
      if (!e) {
        SetTypeMark(S.SoreType, "s");
        return {};
      }
      const std::string& mark = e->TypeMark;
      S.SoreType = mark.empty() ? std::string() : mark.substr(mark.size() - 1);
      return e->Value();
    }
    default:
      Raise(SJ("オブジェクト\"%s\"から、直接値を得ることは出来ません。"), x->Name);
  }
}

// V#x (row x) or V#x#y (column x of row y) of V's value read as a CSV table.
// A row of one cell is that cell; a longer row is its line of the table as the
// table is written (padded to the table's width).
std::string Interpreter::CellAccess(THashNode* v, const char*& p) {
  ++p;  // "#"
  long long x = CellIndex(*this, p);
  bool has_y = *p == '#';
  long long y = -1;
  if (has_y) {
    ++p;
    y = CellIndex(*this, p);
  }
  CsvTable table = CsvParse(v->Value());
  std::string out;
  long long rows = static_cast<long long>(table.size());
  if (!has_y) {
    if (x >= 0 && x < rows) {
      const CsvRow& row = table[x];
      out = row.size() == 1 ? row[0] : CsvWriteRow(row, CsvWidth(table));
    }
  } else if (y >= 0 && y < rows && x >= 0 && x < static_cast<long long>(table[y].size())) {
    out = std::move(table[y][x]);
  }
  S.SoreType = v->TypeMark;
  return out;
}

std::string Interpreter::ExpandLiteral(const std::string& text) {
  ValueText value(text);
  std::string out;
  const char* p = text.c_str();
  for (;;) {
    SkipExpressionBlanks(p);
    if (!*p) break;
    if (*p == '&') {
      ++p;
    } else if (*p == '"') {
      ExpandQuoted(*this, p, out);
    } else if (*p == '`') {
      AppendBackquoted(*this, p, out);
    } else {
      const char* before = p;
      out += Term(p);
      if (p == before) p += CharLenZ(p);  // a term that reads nothing still advances
    }
  }
  SetTypeMark(S.SoreType, "s");
  return out;
}

}  // namespace sorane
