// The condition language of 表条件抽出.
//
//   condition := item { item }        items side by side select the union
//   item      := "(" condition ")" | simple | ("AND " | "OR ") condition
//   simple    := field operator value
//
// AND and OR take everything to their right: "A AND B OR C" is A AND (B OR C).
// A value starting with a double quote or a backquote is a text (compared as a
// wildcard pattern for "="), one starting with "#" a date, anything else a
// number. The header row is always selected.
//
// Quoted values are protected: the normalisation of full-width characters and
// separators leaves them alone, and a quoted value runs to its closing quote,
// so it may hold spaces, commas and the words または / かつ.
#include <optional>
#include <utility>

#include "library/dates/dates.h"
#include "library/patterns/patterns_wild.h"
#include "library/tables/tables_db.h"
#include "runtime/errors.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

using Selection = std::vector<char>;

// Parentheses nested deeper than this are refused instead of exhausting the
// native stack.
constexpr int kMaxDepth = 200;

bool IsQuote(char c) {
  return c == '"' || c == '\'' || c == '`';
}

// The index just after the quoted text that starts at text[i] (a quote
// character); the end of the text when it is not closed. Inside "..." a
// backslash takes the next character with it.
size_t QuoteEnd(std::string_view text, size_t i) {
  const char q = text[i];
  for (size_t k = i + 1; k < text.size(); k += CharLen(text, k)) {
    if (q == '"' && text[k] == '\\' && k + 1 < text.size()) {
      k += 1;
      continue;
    }
    if (text[k] == q) return k + 1;
  }
  return text.size();
}

// The index of the ")" that closes the "(" at text[open], or npos.
size_t GroupEnd(std::string_view text, size_t open) {
  int depth = 0;
  for (size_t k = open; k < text.size();) {
    char c = text[k];
    if (IsQuote(c)) {
      k = QuoteEnd(text, k);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return k;
    k += CharLen(text, k);
  }
  return std::string_view::npos;
}

bool IsOperatorChar(char c) {
  return c == '<' || c == '=' || c == '>';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsWith(std::string_view text, size_t i, std::string_view word) {
  return text.substr(i, word.size()) == word;
}

enum class Op { kEq, kNe, kGt, kGe, kLt, kLe };

Op ParseOperator(std::string_view op) {
  static const std::pair<std::string_view, Op> kOps[] = {
      {"=", Op::kEq},  {"<>", Op::kNe}, {"><", Op::kNe}, {">", Op::kGt},  {">=", Op::kGe},
      {"=>", Op::kGe}, {"<", Op::kLt},  {"<=", Op::kLe}, {"=<", Op::kLe},
  };
  for (const auto& [text, value] : kOps)
    if (text == op) return value;
  throw TableError(SJ("演算子の指定エラー。"));
}

// cell <op> value, for the order and (in)equality of numbers, dates and texts.
template <typename T>
bool Compare(const T& cell, Op op, const T& value) {
  switch (op) {
    case Op::kEq:
      return cell == value;
    case Op::kNe:
      return !(cell == value);
    case Op::kGt:
      return value < cell;
    case Op::kGe:
      return !(cell < value);
    case Op::kLt:
      return cell < value;
    case Op::kLe:
      return !(value < cell);
  }
  return false;
}

// A date written after "#"; a closing "#" is allowed too.
std::optional<Number> DateValue(std::string_view value) {
  std::string_view v = value.substr(1);
  if (v.size() > 1 && v.back() == '#') v.remove_suffix(1);
  return ParseDateValue(v);
}

class WhereEvaluator {
 public:
  explicit WhereEvaluator(const CsvTable& table) : t_(table) {}

  Selection Evaluate(std::string_view text, int depth) {
    if (depth > kMaxDepth) throw TableError(SJ("条件の括弧が深すぎます。"));
    // Items before an AND or OR, folded from the right at the end.
    std::vector<std::pair<Selection, bool>> before;  // (selection, is AND)
    Selection acc(t_.size(), 0);
    size_t i = 0;
    for (;;) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i >= text.size()) break;
      if (text[i] == '(') {
        size_t close = GroupEnd(text, i);
        if (close == std::string_view::npos) throw TableError(SJ("\")\"が対応していません。"));
        Union(acc, Evaluate(text.substr(i + 1, close - i - 1), depth + 1));
        i = close + 1;
      } else if (StartsWith(text, i, "AND ") || StartsWith(text, i, "and ")) {
        before.emplace_back(std::move(acc), true);
        acc.assign(t_.size(), 0);
        i += 4;
      } else if (StartsWith(text, i, "OR ") || StartsWith(text, i, "or ")) {
        before.emplace_back(std::move(acc), false);
        acc.assign(t_.size(), 0);
        i += 3;
      } else {
        Union(acc, Simple(text, i));
      }
    }
    for (size_t k = before.size(); k-- > 0;) {
      Selection& left = before[k].first;
      for (size_t r = 0; r < acc.size(); ++r)
        acc[r] = before[k].second ? (left[r] && acc[r]) : (left[r] || acc[r]);
    }
    return acc;
  }

 private:
  static void Union(Selection& acc, const Selection& more) {
    for (size_t r = 0; r < acc.size(); ++r) acc[r] = acc[r] || more[r];
  }

  // field, operator and value at text[i]; i moves past the value.
  Selection Simple(std::string_view text, size_t& i) {
    size_t k = i;
    while (k < text.size() && !IsOperatorChar(text[k])) k += CharLen(text, k);
    std::string field = Trim(text.substr(i, k - i));
    size_t op_start = k;
    while (k < text.size() && IsOperatorChar(text[k])) ++k;
    std::string_view op = text.substr(op_start, k - op_start);
    size_t value_start = k;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    if (k < text.size() && (text[k] == '"' || text[k] == '`')) k = QuoteEnd(text, k);
    while (k < text.size() && !IsBlank(text[k])) k += CharLen(text, k);
    std::string value = Trim(text.substr(value_start, k - value_start));
    i = k;
    return Select(field, ParseOperator(op), value);
  }

  size_t FieldIndex(const std::string& field) const {
    if (!t_.empty())
      for (size_t c = 0; c < t_[0].size(); ++c)
        if (t_[0][c] == field) return c;
    throw TableError(Format(SJ("フィールド名\"%s\"が見つかりません。"), field));
  }

  Selection Select(const std::string& field, Op op, const std::string& value) {
    const size_t column = FieldIndex(field);
    Selection sel(t_.size(), 0);
    sel[0] = 1;
    auto each = [&](auto&& test) {
      for (size_t r = 1; r < t_.size(); ++r) sel[r] = test(CellOf(t_[r], column));
    };
    const char first = value.empty() ? '\0' : value[0];
    if (first == '"' || first == '`') {
      std::string text = value.size() >= 2 ? value.substr(1, value.size() - 2) : std::string();
      if (op == Op::kEq || op == Op::kNe) {
        std::optional<WildPattern> pattern;
        try {
          pattern.emplace(text);
        } catch (const WildcardError& e) {
          throw TableError(e.what());
        }
        each([&](const std::string& cell) { return pattern->Match(cell) == (op == Op::kEq); });
      } else {
        each([&](const std::string& cell) { return Compare<std::string>(cell, op, text); });
      }
    } else if (first == '#') {
      std::optional<Number> date = DateValue(value);
      if (date)
        each([&](const std::string& cell) {
          std::optional<Number> d = ParseDateValue(cell);
          return d && Compare(*d, op, *date);
        });
    } else {
      const Number number = ParseNumber(value);
      each([&](const std::string& cell) { return Compare(ParseNumber(cell), op, number); });
    }
    return sel;
  }

  const CsvTable& t_;
};

// Replacements of the normalisation, applied to the text outside quotes.
std::string NormalizePlain(std::string text) {
  text = ReplaceText(text, ",", " ", true);
  text = ReplaceText(text, SJ("または "), "OR ", true);
  return ReplaceText(text, SJ("かつ "), "AND ", true);
}

// The single-byte form of the character at s[i] (length len).
std::string HalfChar(std::string_view s, size_t i, size_t len) {
  return TConvToHalf::ConvertText(s.substr(i, len));
}

}  // namespace

std::string NormalizeCondition(std::string_view condition) {
  std::string out;
  std::string plain;  // text outside quotes, waiting for its replacements
  char quote = 0;
  for (size_t i = 0; i < condition.size();) {
    const size_t len = CharLen(condition, i);
    std::string half = HalfChar(condition, i, len);
    if (quote == 0) {
      if (half.size() == 1 && IsQuote(half[0])) {
        out += NormalizePlain(std::move(plain));
        plain.clear();
        quote = half[0];
        out += quote;
      } else {
        plain += half;
      }
    } else if (half.size() == 1 && half[0] == quote) {
      out += quote;
      quote = 0;
    } else if (quote == '"' && condition[i] == '\\' && i + 1 < condition.size()) {
      size_t next = CharLen(condition, i + 1);
      out.append(condition.substr(i, 1 + next));
      i += 1 + next;
      continue;
    } else {
      out.append(condition.substr(i, len));
    }
    i += len;
  }
  out += NormalizePlain(std::move(plain));
  return out;
}

std::string SelectWhere(std::string_view text, std::string_view condition) {
  const std::string normal = Trim(NormalizeCondition(condition));
  if (normal.empty()) return std::string();
  CsvTable table = CsvParse(text);
  Selection sel;
  try {
    if (table.empty()) table.emplace_back();
    sel = WhereEvaluator(table).Evaluate(normal, 0);
  } catch (const TableError& e) {
    throw TableError(SJ("CSVデータベースの解析エラー。") + e.what());
  }
  CsvTable picked;
  for (size_t r = 0; r < table.size(); ++r)
    if (sel[r]) picked.push_back(std::move(table[r]));
  return CsvWrite(picked);
}

}  // namespace sorane
