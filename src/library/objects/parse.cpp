// Colour, coordinate and font texts of the window commands.
#include "library/objects/parse.h"

#include "runtime/interpreter.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A two-character hexadecimal pair; 0 when either character is not a digit.
static uint32_t HexPair(std::string_view text, size_t at) {
  if (at + 2 > text.size()) return 0;
  int hi = HexDigit(text[at]), lo = HexDigit(text[at + 1]);
  return hi < 0 || lo < 0 ? 0 : static_cast<uint32_t>(hi * 16 + lo);
}

uint32_t ParseColor(std::string_view text) {
  if (!text.empty() && text[0] == '#')
    return HexPair(text, 1) | HexPair(text, 3) << 8 | HexPair(text, 5) << 16;
  std::string t = Trim(text);
  if (!t.empty() && t[0] == '$') {
    uint64_t v = 0;
    if (t.size() == 1 || t.size() > 9) return 0;
    for (size_t i = 1; i < t.size(); ++i) {
      int d = HexDigit(t[i]);
      if (d < 0) return 0;
      v = v * 16 + d;
    }
    return static_cast<uint32_t>(v);
  }
  long long v = 0;
  if (!TryParseInteger(t, v)) return 0;
  return static_cast<uint32_t>(v);
}

// Tracks quotes and parenthesis depth while a coordinate text is walked.
struct GroupScan {
  int depth = 0;
  char quote = 0;
  // Takes one single-byte character; true when it stands outside any quote.
  bool Feed(char c) {
    if (quote) {
      if (c == quote) quote = 0;
      return false;
    }
    if (c == '"' || c == '`')
      quote = c;
    else if (c == '(')
      ++depth;
    else if (c == ')')
      --depth;
    return true;
  }
};

// Removes one pair of surrounding back-quotes and one balanced parenthesis group
// that nothing but spaces follows.
static std::string StripOuterForms(std::string_view text) {
  std::string t = Trim(text);
  if (t.size() >= 2 && t.front() == '`' && t.back() == '`') t = t.substr(1, t.size() - 2);
  if (t.empty() || t[0] != '(') return t;
  GroupScan scan;
  for (size_t i = 0; i < t.size(); i += CharLen(t, i)) {
    if (scan.Feed(t[i]) && t[i] == ')' && scan.depth == 0) {
      if (Trim(std::string_view(t).substr(i + 1)).empty())
        return StripOuterForms(t.substr(1, i - 1));
      return t;
    }
  }
  return t;
}

std::vector<std::string> SplitCoordinateItems(std::string_view text) {
  std::string t = StripOuterForms(text);
  std::vector<std::string> items;
  if (Trim(t).empty()) return items;
  std::string item;
  GroupScan scan;
  for (size_t i = 0; i < t.size();) {
    size_t len = CharLen(t, i);
    if (scan.Feed(t[i]) && t[i] == ',' && scan.depth == 0) {
      items.push_back(Trim(item));
      item.clear();
      ++i;
      continue;
    }
    item.append(t, i, len);
    i += len;
  }
  items.push_back(Trim(item));
  return items;
}

// Step 1 of the coordinate texts: a word's value, or a member AのB read through
// the evaluator; anything else unchanged.
static std::string ReadCoordinateWord(Interpreter& in, const std::string& text) {
  std::string t = Trim(text);
  if (t.empty() || t[0] == '(' || t[0] == '`') return t;
  if (THashNode* w = in.S.Words.Find(t, true)) {
    if (w->Kind == kWordVariable) return w->Value();
  }
  if (PosFrom(SJ("の"), t, 1) > 0) return in.Evaluate(t);
  return t;
}

static std::vector<int> EvaluateItems(Interpreter& in, const std::vector<std::string>& items) {
  std::vector<int> values;
  for (const std::string& item : items) {
    Number v = ParseNumber(in.Evaluate(item));
    values.push_back(ToInt32(v));  // saturating, truncated toward zero
  }
  return values;
}

bool TryParsePoint(Interpreter& in, const std::string& text, Point& point) {
  std::vector<std::string> items = SplitCoordinateItems(ReadCoordinateWord(in, text));
  if (items.size() != 2) return false;
  std::vector<int> v = EvaluateItems(in, items);
  point = {v[0], v[1]};
  return true;
}

Point ParsePoint(Interpreter& in, const std::string& text) {
  Point point;
  if (!TryParsePoint(in, text, point)) in.Raise(SJ("座標の指定エラー"));
  return point;
}

Rect ParseRect(Interpreter& in, const std::string& text) {
  std::vector<std::string> items = SplitCoordinateItems(ReadCoordinateWord(in, text));
  if (items.size() > 4) {
    std::string message = SJ("座標の指定エラー。引数が多すぎます。");
    for (const std::string& item : items) message += "\r\n\"" + item + "\"";
    in.Raise(message);
  }
  std::vector<int> v = EvaluateItems(in, items);
  v.resize(4, 0);
  return {v[0], v[1], v[2], v[3]};
}

std::string FoldFontName(std::string_view name) {
  std::string folded = MapText(MapText(name, MapMode::Upper), MapMode::HalfWidth);
  return ReplaceText(folded, SJ("　"), "", true);
}

// Cuts the text before the next bar ("|" or "｜") and returns it with full-width
// spaces made half width and trimmed; `rest` keeps what follows the bar.
static std::string CutFontPart(std::string& rest) {
  std::string part;
  size_t i = 0;
  while (i < rest.size()) {
    size_t len = CharLen(rest, i);
    std::string_view ch(rest.data() + i, len);
    if (ch == "|" || ch == SJ("｜")) {
      part = rest.substr(0, i);
      rest.erase(0, i + len);
      return Trim(ReplaceText(part, SJ("　"), " ", true));
    }
    i += len;
  }
  part = rest;
  rest.clear();
  return Trim(ReplaceText(part, SJ("　"), " ", true));
}

static bool ContainsAny(const std::string& text, std::initializer_list<const char*> words) {
  std::string half = MapText(text, MapMode::HalfWidth);
  for (const char* w : words) {
    std::string word = Utf8ToSjis(w);
    if (PosFrom(word, text, 1) > 0 || PosFrom(MapText(word, MapMode::HalfWidth), half, 1) > 0)
      return true;
  }
  return false;
}

FontKeys MakeFontKeys(const std::vector<std::string>& families) {
  FontKeys keys;
  keys.built = true;
  for (const std::string& family : families) keys.names.emplace_back(FoldFontName(family), family);
  return keys;
}

ParsedFont ParseFontText(std::string_view text, const std::vector<std::string>& families) {
  return ParseFontText(text, MakeFontKeys(families));
}

ParsedFont ParseFontText(std::string_view text, const FontKeys& keys) {
  ParsedFont parsed;
  std::string rest(text);
  bool has_bar = rest.find('|') != std::string::npos || PosFrom(SJ("｜"), rest, 1) > 0;
  std::string face = CutFontPart(rest);
  std::string style = has_bar ? CutFontPart(rest) : std::string();
  std::string size = Trim(rest);

  parsed.face = SJ("ＭＳ ゴシック");
  if (!face.empty()) {
    std::string key = FoldFontName(face);
    for (const auto& [folded, family] : keys.names) {
      if (folded == key) {
        parsed.face = family;
        break;
      }
    }
  }
  parsed.bold = ContainsAny(style, {"ボールド", "太字"});
  parsed.italic = ContainsAny(style, {"イタリック", "傾斜", "斜体"});
  parsed.underline = ContainsAny(style, {"罫線", "下線", "アンダーライン"});
  parsed.size = size.empty() ? 0 : ToInt32(ParseNumber(size));
  if (parsed.size < 0) parsed.size = 0;
  return parsed;
}

std::string FormatFontText(const std::string& face, bool bold, bool italic, bool underline,
                           int size) {
  std::string styles;
  if (bold) styles += SJ("太字");
  if (italic) styles += SJ("傾斜");
  if (underline) styles += SJ("下線");
  std::string text = face;
  if (!styles.empty()) text += "|" + styles;
  if (size > 0) text += (styles.empty() ? "||" : "|") + std::to_string(size);
  return text;
}

}  // namespace sorane
