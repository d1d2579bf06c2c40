// The string commands: counting, slicing, searching and replacing, cutting
// pieces off a variable, line and paragraph handling, line wrapping, width,
// kana and case conversion, character tests, kanji codes, BASE64 and formatted
// numbers. The text work itself is in strings_util.cpp and strings_format.cpp
// and in the primitives of src/text; the handlers here read their arguments by
// template slot and leave the result in それ. Commands differ in which type
// marks their result sets (see Call), and each keeps its own.
#include <string>

#include "library/library.h"
#include "library/strings/strings_format.h"
#include "library/strings/strings_util.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/base64.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/kanji_code.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

[[noreturn]] void TooLarge(Call& c) {
  c.in.Raise(SJ("\"%s\"命令の結果が大きすぎます。256MBまでにしてください。"), c.cmd.Name);
}

// A variable named by a raw argument, or nullptr.
THashNode* VariableNamed(Interpreter& in, const std::string& name) {
  THashNode* w = in.S.Words.FindExact(name);
  return (w && w->Kind == kWordVariable) ? w : nullptr;
}

// The source of the cut commands that update a variable: a variable named by
// the raw argument (updated afterwards unless it is それ), or else the value of
// the argument as an expression, which must not be empty.
struct CutSource {
  THashNode* word = nullptr;  // written back when set
  std::string text;
};

CutSource ResolveSource(Call& c, const std::string& raw) {
  CutSource src;
  if (THashNode* w = VariableNamed(c.in, raw)) {
    src.text = w->Value();
    if (w != c.in.S.Fast.Sore) src.word = w;
    return src;
  }
  src.text = c.in.Evaluate(raw);
  if (src.text.empty()) c.BadArgument();
  return src;
}

int64_t CharsIn(std::string_view text) {
  return static_cast<int64_t>(CharCount(text));
}
int64_t BytesIn(std::string_view text) {
  return static_cast<int64_t>(text.size());
}

// A count of the text given: the value of a variable read in place, else the
// item's value. An expression computes it without the handler (see
// StringNumericForms).
template <int64_t (*Measure)(std::string_view)>
void CmdMeasure(Call& c) {
  if (const std::string* value = c.ValueInPlace(0)) return c.ReturnInt(Measure(*value));
  c.ReturnInt(Measure(c.Text(0)));
}

// The line count of a variable named raw. It is a number, so it is marked as
// one (a mark left over from an earlier value would make comparisons with it
// compare texts).
void CmdLineCount(Call& c) {
  std::string name = c.Name(0);
  THashNode* w = c.in.S.Words.FindExact(name);
  if (!w) c.in.Raise(msg::VariableNotFound(), name);
  c.ReturnInt(static_cast<long long>(SplitLines(w->Value()).size()));
}

void CmdCharPos(Call& c) {
  std::string needle = c.Text(1);
  std::string text = c.Text(0);
  c.ReturnInt(needle.size() > text.size() ? 0 : static_cast<long long>(CharPos(needle, text)));
}

// 出現回数 (?で,?の): the text, then the needle.
void CmdOccurrences(Call& c) {
  std::string needle = c.Text(1);
  std::string text = c.Text(0);
  c.ReturnInt(static_cast<long long>(CountOccurrences(text, needle)));
}

// ---------------------------------------------------------------- slicing

void CmdReplace(Call& c) {
  std::string repl = c.Text(2);
  std::string needle = c.Text(1);
  std::string text = c.Text(0);
  c.ReturnText(ReplaceText(text, needle, repl, true));
}

void CmdMid(Call& c) {
  long long count = IntegerText(c.Text(2), 0);
  long long first = IntegerText(c.Text(1), 0);
  c.ReturnText(CharCopy(c.Text(0), first, count));
}

void CmdMidBytes(Call& c) {
  long long count = IntegerText(c.Text(2), 0);
  long long first = IntegerText(c.Text(1), 0);
  c.ReturnText(MidBytes(c.Text(0), first, count));
}

void CmdLeft(Call& c) {
  long long n = c.Int(1);
  c.ReturnText(LeftChars(c.Text(0), n));
}

void CmdRight(Call& c) {
  long long n = c.Int(1);
  c.ReturnText(RightChars(c.Text(0), n));
}

void CmdDropRight(Call& c) {
  long long n = c.Int(1);
  c.ReturnText(DropRightChars(c.Text(0), n));
}

void CmdDropLeft(Call& c) {
  long long n = c.Int(1);
  c.ReturnText(DropLeftChars(c.Text(0), n));
}

void CmdRefrain(Call& c) {
  long long n = IntegerText(c.Text(1), 0);
  std::optional<std::string> out = Repeat(c.Text(0), n);
  if (!out) TooLarge(c);
  c.ReturnText(std::move(*out));
}

// ---------------------------------------------------------------- cutting a variable

// The source slot is read as written; it is evaluated only when it does not
// name a variable and the delimiter is not empty.
void CmdCut(Call& c) {
  std::string delim = c.Text(1);
  const std::string& raw = c.Raw(0);
  if (delim.empty()) return c.ReturnText("");
  // A variable other than それ keeps the rest: it is cut in place, not copied.
  if (THashNode* w = VariableNamed(c.in, raw); w && w != c.in.S.Fast.Sore) {
    std::string head = CutAt(delim, w->ValueToWrite());
    return c.ReturnText(std::move(head));
  }
  CutSource src = ResolveSource(c, raw);
  std::string head = CutAt(delim, src.text);
  if (src.word) src.word->ValueToWrite() = std::move(src.text);
  c.ReturnText(std::move(head));
}

void CmdCutEscaped(Call& c) {
  std::string escape = c.Text(2);
  std::string delim = c.Text(1);
  const std::string& raw = c.Raw(0);
  if (escape.size() != 1)
    c.in.Raise(SJ("\"%s\"命令の引数に誤りがあります。判別文字は \\などの半角１文字で指定。"),
               c.cmd.Name);
  if (delim.empty()) return c.ReturnText("");
  CutSource src = ResolveSource(c, raw);
  size_t cursor = 0;
  std::string head = SplitNextEscaped(delim, src.text, cursor, escape[0]);
  // Without a delimiter the walk stops at the end (or at a NUL byte): nothing is left.
  size_t run_end = src.text.find('\0');
  if (run_end == std::string::npos) run_end = src.text.size();
  std::string rest = cursor >= run_end ? std::string() : src.text.substr(cursor);
  if (src.word) src.word->ValueToWrite() = std::move(rest);
  c.ReturnText(std::move(head));
}

void CmdCutRange(Call& c) {
  std::string end = c.Text(2);
  std::string start = c.Text(1);
  std::string name = c.Name(0);
  THashNode* w = VariableNamed(c.in, name);
  if (!w)
    c.in.Raise(SJ("\"%s\"命令の引数に誤りがあります。１番目の引数は、変数である必要があります。"),
               c.cmd.Name);
  c.ReturnText("");
  RangeCut cut = CutRange(w->Value(), start, end);
  if (!cut.found) return;
  if (w != c.in.S.Fast.Sore) w->ValueToWrite() = std::move(cut.rest);
  c.ReturnText(std::move(cut.piece));
}

// 左端を切り取る / 右端を切り取る share everything but the side.
void CutEnd(Call& c, bool left) {
  long long n = c.Int(1);
  const std::string& raw = c.Raw(0);
  std::string text = c.in.Evaluate(raw);
  if (n <= 0 || text.empty()) return c.ReturnText("");
  std::string piece = left ? LeftChars(text, n) : RightChars(text, n);
  std::string rest = left ? DropLeftChars(text, n) : DropRightChars(text, n);
  if (raw.front() != '"' && raw.front() != '`') {
    THashNode* w = VariableNamed(c.in, raw);
    if (w && w != c.in.S.Fast.Sore) w->ValueToWrite() = std::move(rest);
  }
  c.ReturnText(std::move(piece));
}

void CmdCutLeft(Call& c) {
  CutEnd(c, true);
}
void CmdCutRight(Call& c) {
  CutEnd(c, false);
}

// ---------------------------------------------------------------- padding and trimming

void CmdTrim(Call& c) {
  c.ReturnValueOnly(TrimWide(c.Text(0)));
}

void Pad(Call& c, char fill) {
  long long width = c.Int(1);
  std::optional<std::string> out = PadLeft(c.Text(0), width, fill);
  if (!out) TooLarge(c);
  c.ReturnValueOnly(std::move(*out));
}

void CmdPadSpaces(Call& c) {
  Pad(c, ' ');
}
void CmdPadZeros(Call& c) {
  Pad(c, '0');
}

void CmdCurrency(Call& c) {
  c.ReturnValueOnly(CurrencyText(c.Text(0)));
}

void CmdFormat(Call& c) {
  std::string pattern = c.Text(1);
  std::string value = c.Text(0);
  std::optional<std::string> out = FormatByPattern(pattern, value);
  if (!out) c.in.Raise(msg::BadSyntax(), c.cmd.Name);
  c.ReturnText(std::move(*out));
}

// ---------------------------------------------------------------- conversions

// The case and kana conversions mark their result as text in それ too; the
// width conversions leave それ's own mark as it was.
template <MapMode mode>
void CmdMapMarked(Call& c) {
  c.ReturnText(MapText(c.Text(0), mode));
}

template <MapMode mode>
void CmdMapCommon(Call& c) {
  c.ReturnCommon(MapText(c.Text(0), mode));
}

void CmdAlnumToHalf(Call& c) {
  c.ReturnCommon(AlnumToHalf(c.Text(0)));
}

void CmdRemoveOkurigana(Call& c) {
  c.ReturnText(Fold(c.Text(0)));
}

// An empty text leaves それ as it was.
template <int target>
void CmdKanjiCode(Call& c) {
  std::string text = c.Text(0);
  if (text.empty()) return;
  c.ReturnText(ConvertKanjiCode(text, target));
}

void CmdBase64Encode(Call& c) {
  c.ReturnText(Base64Encode(c.Text(0)));
}
void CmdBase64Decode(Call& c) {
  c.ReturnText(Base64Decode(c.Text(0)));
}

// ---------------------------------------------------------------- character tests

// First byte of the first character mapped to half-width, or NUL.
char FirstHalfByte(const std::string& text) {
  std::string half = MapText(CharCopy(text, 1, 1), MapMode::HalfWidth);
  return half.empty() ? '\0' : half[0];
}

void CmdIsUpper(Call& c) {
  char ch = FirstHalfByte(c.Text(0));
  c.ReturnTruth(ch >= 'A' && ch <= 'Z');
}

void CmdIsDigit(Call& c) {
  char ch = FirstHalfByte(c.Text(0));
  c.ReturnTruth(ch >= '0' && ch <= '9');
}

void CmdIsWide(Call& c) {
  std::string text = c.Text(0);
  c.ReturnTruth(!text.empty() && IsLeadByte(static_cast<unsigned char>(text[0])));
}

void CmdIsHiragana(Call& c) {
  c.ReturnTruth(IsHiragana(c.Text(0)));
}
void CmdIsKatakana(Call& c) {
  c.ReturnTruth(IsKatakana(c.Text(0)));
}
void CmdIsNumberText(Call& c) {
  c.ReturnTruth(IsNumberText(c.Text(0)));
}

void CmdKeyCode(Call& c) {
  std::string text = c.Text(0);
  if (text.empty()) c.BadArgument();
  c.ReturnInt(CharCode(text));
}

void CmdCodeChar(Call& c) {
  long long code = IntegerText(c.Text(0), -1);
  if (code < 0) c.BadArgument();
  unsigned u = static_cast<unsigned>(code);
  c.ReturnText(CodeChar(u < 256 ? u : (u & 0xFFFF)));
}

void CmdCompare(Call& c) {
  std::string b = c.Text(1);
  std::string a = c.Text(0);
  c.ReturnTruth(a == b);
}

// ---------------------------------------------------------------- lines and markup

void CmdSort(Call& c) {
  c.ReturnCommon(SortLines(c.Text(0)));
}
void CmdSortNumbers(Call& c) {
  c.ReturnCommon(SortLinesByNumber(c.Text(0)));
}

// A negative line number leaves それ as it was.
void CmdInsertLine(Call& c) {
  std::string line = c.Text(2);
  long long index = c.Int(1);
  std::string text = c.Text(0);
  if (index < 0) return;
  std::optional<std::string> out = InsertLine(text, index, line);
  if (!out) TooLarge(c);
  c.ReturnValueOnly(std::move(*out));
}

// A line that is not there leaves それ as it was.
void CmdDeleteLine(Call& c) {
  long long index = c.Int(1);
  std::string text = c.Text(0);
  if (std::optional<std::string> out = DeleteLine(text, index)) c.ReturnValueOnly(std::move(*out));
}

void CmdParagraph(Call& c) {
  long long n = IntegerText(c.Text(1), -1);
  c.ReturnText(Paragraph(c.Text(0), n));
}

void CmdStripTags(Call& c) {
  c.ReturnText(StripTags(c.Text(0)));
}

void CmdExtractTags(Call& c) {
  std::string name = c.Text(1);
  c.ReturnText(ExtractTags(c.Text(0), name));
}

void CmdWrap(Call& c) {
  long long width = c.Int(1);
  std::string text = c.Text(0);
  long long tab = 8;
  if (THashNode* t = c.in.S.Fast.TabCount) tab = ToInt64(ParseNumber(t->Value()));
  std::string forbidden = SJ("、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ");
  if (THashNode* k = c.in.S.Words.FindExact(SJ("禁則処理の行頭禁止文字"))) forbidden = k->Value();
  c.ReturnText(WrapLines(text, width, tab, forbidden));
}

// Sets the length of a variable's value (created when missing); the added
// bytes are NUL. A negative size leaves the value as it is.
void CmdReserve(Call& c) {
  long long size = c.Int(1);
  std::string name = c.Name(0);
  THashNode* w = c.in.S.Words.FindExact(name);
  if (!w) {
    w = c.in.AddVariable(name);
    w->TypeMark = "s";
  }
  if (size < 0) return;
  if (static_cast<unsigned long long>(size) > kMaxBuiltText) TooLarge(c);
  w->ValueToWrite().resize(static_cast<size_t>(size), '\0');
}

}  // namespace

std::span<const NumericForm> StringNumericForms() {
  static constexpr NumericForm kForms[] = {
      {CommandId::CharCount, CmdMeasure<CharsIn>, nullptr, 1, false, CharsIn},
      {CommandId::ByteCount, CmdMeasure<BytesIn>, nullptr, 1, false, BytesIn},
  };
  return kForms;
}

CommandTable StringCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::ToHalfWidth, "半角変換", "?を", CmdMapCommon<MapMode::HalfWidth>, kPure},
      {CommandId::Replace, "置換", "?の,?を,?に", CmdReplace, kPure},
      {CommandId::CharPos, "何文字目", "?の中で,?が", CmdCharPos, kPure},
      {CommandId::CharPos, "POS", "?,?", CmdCharPos, kPure},
      {CommandId::Mid, "MID", "?の中で,?から,?つ", CmdMid, kPure},
      {CommandId::Mid, "切り出す", "?の中で,?から,?つ", CmdMid, kPure},
      {CommandId::Refrain, "リフレイン", "?を,?度", CmdRefrain, kPure},
      {CommandId::LineCount, "行数", "?の", CmdLineCount, kPure},
      {CommandId::Trim, "前後の空白削除", "?の", CmdTrim, kPure},
      {CommandId::Trim, "トリム", "?を", CmdTrim, kPure},
      {CommandId::Reserve, "確保", "?に,?バイトを", CmdReserve, kPure},
      {CommandId::KeyCode, "キーコード", "?の", CmdKeyCode, kPure},
      {CommandId::KeyCode, "ASC", "?", CmdKeyCode, kPure},
      {CommandId::CodeChar, "文字", "?の", CmdCodeChar, kPure},
      {CommandId::CodeChar, "CHR", "?", CmdCodeChar, kPure},
      {CommandId::Sort, "ソート", "?を", CmdSort, kPure},
      {CommandId::SortNumbers, "数値ソート", "?を", CmdSortNumbers, kPure},
      {CommandId::ToFullWidth, "全角変換", "?を", CmdMapCommon<MapMode::FullWidth>, kPure},
      {CommandId::CharCount, "文字数", "?の", CmdMeasure<CharsIn>, kPure},
      {CommandId::CharCount, "LEN", "?", CmdMeasure<CharsIn>, kPure},
      {CommandId::Cut, "切り取る", "?の,?までを", CmdCut, kPure},
      {CommandId::StripTags, "タグ削除", "?から", CmdStripTags, kPure},
      {CommandId::ExtractTags, "タグ切り出し", "?から,?の", CmdExtractTags, kPure},
      {CommandId::InsertLine, "行挿入", "?の,?行目へ,?を", CmdInsertLine, kPure},
      {CommandId::DeleteLine, "行削除", "?の,?行目を", CmdDeleteLine, kPure},
      {CommandId::ByteCount, "バイト数", "?の", CmdMeasure<BytesIn>, kPure},
      {CommandId::ByteCount, "LENB", "?", CmdMeasure<BytesIn>, kPure},
      {CommandId::DropRight, "右端削除", "?から,?文字", CmdDropRight, kPure},
      {CommandId::DropLeft, "左端削除", "?から,?文字", CmdDropLeft, kPure},
      {CommandId::Currency, "通貨形式に変換", "?を", CmdCurrency, kPure},
      {CommandId::PadSpaces, "右寄せ", "?を,?桁で", CmdPadSpaces, kPure},
      {CommandId::PadZeros, "ゼロで埋める", "?を,?桁の", CmdPadZeros, kPure},
      {CommandId::Right, "RIGHT", "?,?", CmdRight, kPure},
      {CommandId::Left, "LEFT", "?,?", CmdLeft, kPure},
      {CommandId::ToUpper, "大文字変換", "?を", CmdMapMarked<MapMode::Upper>, kPure},
      {CommandId::ToLower, "小文字変換", "?を", CmdMapMarked<MapMode::Lower>, kPure},
      {CommandId::Paragraph, "段落を切り出す", "?から,?番目の", CmdParagraph, kPure},
      {CommandId::ToHiragana, "ひらがな変換", "?を", CmdMapMarked<MapMode::Hiragana>, kPure},
      {CommandId::ToKatakana, "カタカナ変換", "?を", CmdMapMarked<MapMode::Katakana>, kPure},
      {CommandId::CutRange, "範囲を切り取る", "?の,?から,?までの", CmdCutRange, kPure},
      {CommandId::AlnumToHalf, "英数半角変換", "?を", CmdAlnumToHalf, kPure},
      {CommandId::CutLeft, "左端を切り取る", "?から,?文字", CmdCutLeft, kPure},
      {CommandId::CutRight, "右端を切り取る", "?から,?文字", CmdCutRight, kPure},
      {CommandId::CutEscaped, "判別して切り取る", "?の,?までを,?で", CmdCutEscaped, kPure},
      {CommandId::IsUpper, "大文字か", "?が", CmdIsUpper, kPure},
      {CommandId::IsDigit, "数字か", "?が", CmdIsDigit, kPure},
      {CommandId::IsWide, "全角か", "?が", CmdIsWide, kPure},
      {CommandId::IsHiragana, "ひらがなか", "?が", CmdIsHiragana, kPure},
      {CommandId::IsKatakana, "カタカナか", "?が", CmdIsKatakana, kPure},
      {CommandId::ToEuc, "文字コードをEUCに変換", "?の", CmdKanjiCode<kCodeEuc>, kPure},
      {CommandId::ToJis, "文字コードをJISに変換", "?の", CmdKanjiCode<kCodeJisNew>, kPure},
      {CommandId::ToSjis, "文字コードをSJISに変換", "?の", CmdKanjiCode<kCodeSjis>, kPure},
      {CommandId::Format, "指定形式に変換", "?を,?の", CmdFormat, kPure},
      {CommandId::RemoveOkurigana, "送り仮名削除", "?から", CmdRemoveOkurigana, kPure},
      {CommandId::Compare, "文比較", "?と,?で", CmdCompare, kPure},
      {CommandId::Base64Encode, "BASE64エンコード", "?を", CmdBase64Encode, kPure},
      {CommandId::Base64Decode, "BASE64デコード", "?を", CmdBase64Decode, kPure},
      {CommandId::Occurrences, "出現回数", "?で,?の", CmdOccurrences, kPure},
      {CommandId::Wrap, "行揃え", "?を,?バイトで", CmdWrap, kPure},
      {CommandId::IsNumberText, "数列か", "?が", CmdIsNumberText, kPure},
      {CommandId::MidBytes, "MIDB", "?,?,?", CmdMidBytes, kPure},
  };
  return kRows;
}

}  // namespace sorane
