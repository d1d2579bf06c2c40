// The string commands: counting, slicing, searching and replacing, cutting
// pieces off a variable, line and paragraph handling, line wrapping, width,
// kana and case conversion, character tests, kanji codes, BASE64 and formatted
// numbers. The text work itself is in strings_util.cpp and strings_format.cpp
// and in the primitives of src/text; the handlers here pop the arguments (last
// template slot first) and store the result in それ.
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

// ---------------------------------------------------------------- results
// Three ways a command leaves its result (the type mark of the value matters to
// comparisons and assignments that read it):

// A text or number whose mark goes into それ's own type mark. SoreType gets the
// same mark, so an expression that reads the command sees it too.
void Marked(Interpreter& in, std::string value, const char* mark) {
  in.SetSore(std::move(value), mark);
  in.S.Fast.Sore->TypeMark = mark;
}
void Text(Interpreter& in, std::string value) {
  Marked(in, std::move(value), "s");
}
void Count(Interpreter& in, long long n) {
  Marked(in, std::to_string(n), "e");
}
void Truth(Interpreter& in, bool b) {
  Marked(in, b ? "1" : "0", "e");
}

// Through the common result routine: それ's Value and SoreType only.
void Common(Interpreter& in, std::string value) {
  in.SetSore(std::move(value), "s");
}

// Only the Value; every mark stays as it was.
void ValueOnly(Interpreter& in, std::string value) {
  in.S.Fast.Sore->Value = std::move(value);
}

[[noreturn]] void BadArgument(Interpreter& in, THashNode& cmd) {
  in.Raise(msg::BadArgument(), cmd.Name);
}

[[noreturn]] void TooLarge(Interpreter& in, THashNode& cmd) {
  in.Raise(SJ("\"%s\"命令の結果が大きすぎます。256MBまでにしてください。"), cmd.Name);
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

CutSource ResolveSource(Interpreter& in, THashNode& cmd, const std::string& raw) {
  CutSource src;
  if (THashNode* w = VariableNamed(in, raw)) {
    src.text = w->Value;
    if (w != in.S.Fast.Sore) src.word = w;
    return src;
  }
  src.text = in.Evaluate(raw);
  if (src.text.empty()) BadArgument(in, cmd);
  return src;
}

// ---------------------------------------------------------------- counting

void CmdCharCount(Interpreter& in, THashNode&) {
  Count(in, static_cast<long long>(CharCount(in.PopValue())));
}

void CmdByteCount(Interpreter& in, THashNode&) {
  Count(in, static_cast<long long>(in.PopValue().size()));
}

// The line count of a variable named raw. It is a number, so it is marked as
// one (a mark left over from an earlier value would make comparisons with it
// compare texts).
void CmdLineCount(Interpreter& in, THashNode&) {
  std::string name = StripBackquotes(in.PopRaw());
  THashNode* w = in.S.Words.FindExact(name);
  if (!w) in.Raise(msg::VariableNotFound(), name);
  Count(in, static_cast<long long>(SplitLines(w->Value).size()));
}

void CmdCharPos(Interpreter& in, THashNode&) {
  std::string needle = in.PopValue();
  std::string text = in.PopValue();
  Count(in, needle.size() > text.size() ? 0 : static_cast<long long>(CharPos(needle, text)));
}

void CmdOccurrences(Interpreter& in, THashNode&) {
  std::string needle = in.PopValue();
  std::string text = in.PopValue();
  Count(in, static_cast<long long>(CountOccurrences(text, needle)));
}

// ---------------------------------------------------------------- slicing

void CmdReplace(Interpreter& in, THashNode&) {
  std::string repl = in.PopValue();
  std::string needle = in.PopValue();
  std::string text = in.PopValue();
  Text(in, ReplaceText(text, needle, repl, true));
}

void CmdMid(Interpreter& in, THashNode&) {
  long long count = IntegerText(in.PopValue(), 0);
  long long first = IntegerText(in.PopValue(), 0);
  Text(in, CharCopy(in.PopValue(), first, count));
}

void CmdMidBytes(Interpreter& in, THashNode&) {
  long long count = IntegerText(in.PopValue(), 0);
  long long first = IntegerText(in.PopValue(), 0);
  Text(in, MidBytes(in.PopValue(), first, count));
}

void CmdLeft(Interpreter& in, THashNode&) {
  long long n = in.PopInt();
  Text(in, LeftChars(in.PopValue(), n));
}

void CmdRight(Interpreter& in, THashNode&) {
  long long n = in.PopInt();
  Text(in, RightChars(in.PopValue(), n));
}

void CmdDropRight(Interpreter& in, THashNode&) {
  long long n = in.PopInt();
  Text(in, DropRightChars(in.PopValue(), n));
}

void CmdDropLeft(Interpreter& in, THashNode&) {
  long long n = in.PopInt();
  Text(in, DropLeftChars(in.PopValue(), n));
}

void CmdRefrain(Interpreter& in, THashNode& cmd) {
  long long n = IntegerText(in.PopValue(), 0);
  std::optional<std::string> out = Repeat(in.PopValue(), n);
  if (!out) TooLarge(in, cmd);
  Text(in, std::move(*out));
}

// ---------------------------------------------------------------- cutting a variable

void CmdCut(Interpreter& in, THashNode& cmd) {
  std::string delim = in.PopValue();
  std::string raw = in.PopRaw();
  if (delim.empty()) return Text(in, "");
  CutSource src = ResolveSource(in, cmd, raw);
  std::string head = CutAt(delim, src.text);
  if (src.word) src.word->Value = std::move(src.text);
  Text(in, std::move(head));
}

void CmdCutEscaped(Interpreter& in, THashNode& cmd) {
  std::string escape = in.PopValue();
  std::string delim = in.PopValue();
  std::string raw = in.PopRaw();
  if (escape.size() != 1)
    in.Raise(SJ("\"%s\"命令の引数に誤りがあります。判別文字は \\などの半角１文字で指定。"),
             cmd.Name);
  if (delim.empty()) return Text(in, "");
  CutSource src = ResolveSource(in, cmd, raw);
  size_t cursor = 0;
  std::string head = SplitNextEscaped(delim, src.text, cursor, escape[0]);
  // Without a delimiter the walk stops at the end (or at a NUL byte): nothing is left.
  size_t run_end = src.text.find('\0');
  if (run_end == std::string::npos) run_end = src.text.size();
  std::string rest = cursor >= run_end ? std::string() : src.text.substr(cursor);
  if (src.word) src.word->Value = std::move(rest);
  Text(in, std::move(head));
}

void CmdCutRange(Interpreter& in, THashNode& cmd) {
  std::string end = in.PopValue();
  std::string start = in.PopValue();
  std::string name = StripBackquotes(in.PopRaw());
  THashNode* w = VariableNamed(in, name);
  if (!w)
    in.Raise(SJ("\"%s\"命令の引数に誤りがあります。１番目の引数は、変数である必要があります。"),
             cmd.Name);
  Text(in, "");
  RangeCut cut = CutRange(w->Value, start, end);
  if (!cut.found) return;
  if (w != in.S.Fast.Sore) w->Value = std::move(cut.rest);
  Text(in, std::move(cut.piece));
}

// 左端を切り取る / 右端を切り取る share everything but the side.
void CutEnd(Interpreter& in, bool left) {
  long long n = in.PopInt();
  std::string raw = in.PopRaw();
  std::string text = in.Evaluate(raw);
  if (n <= 0 || text.empty()) return Text(in, "");
  std::string piece = left ? LeftChars(text, n) : RightChars(text, n);
  std::string rest = left ? DropLeftChars(text, n) : DropRightChars(text, n);
  if (raw.front() != '"' && raw.front() != '`') {
    THashNode* w = VariableNamed(in, raw);
    if (w && w != in.S.Fast.Sore) w->Value = std::move(rest);
  }
  Text(in, std::move(piece));
}

void CmdCutLeft(Interpreter& in, THashNode&) {
  CutEnd(in, true);
}
void CmdCutRight(Interpreter& in, THashNode&) {
  CutEnd(in, false);
}

// ---------------------------------------------------------------- padding and trimming

void CmdTrim(Interpreter& in, THashNode&) {
  ValueOnly(in, TrimWide(in.PopValue()));
}

void Pad(Interpreter& in, THashNode& cmd, char fill) {
  long long width = in.PopInt();
  std::optional<std::string> out = PadLeft(in.PopValue(), width, fill);
  if (!out) TooLarge(in, cmd);
  ValueOnly(in, std::move(*out));
}

void CmdPadSpaces(Interpreter& in, THashNode& cmd) {
  Pad(in, cmd, ' ');
}
void CmdPadZeros(Interpreter& in, THashNode& cmd) {
  Pad(in, cmd, '0');
}

void CmdCurrency(Interpreter& in, THashNode&) {
  ValueOnly(in, CurrencyText(in.PopValue()));
}

void CmdFormat(Interpreter& in, THashNode& cmd) {
  std::string pattern = in.PopValue();
  std::string value = in.PopValue();
  std::optional<std::string> out = FormatByPattern(pattern, value);
  if (!out) in.Raise(msg::BadSyntax(), cmd.Name);
  Text(in, std::move(*out));
}

// ---------------------------------------------------------------- conversions

template <MapMode mode>
void CmdMapMarked(Interpreter& in, THashNode&) {
  Text(in, MapText(in.PopValue(), mode));
}

template <MapMode mode>
void CmdMapCommon(Interpreter& in, THashNode&) {
  Common(in, MapText(in.PopValue(), mode));
}

void CmdAlnumToHalf(Interpreter& in, THashNode&) {
  Common(in, AlnumToHalf(in.PopValue()));
}

void CmdRemoveOkurigana(Interpreter& in, THashNode&) {
  Text(in, Fold(in.PopValue()));
}

template <int target>
void CmdKanjiCode(Interpreter& in, THashNode&) {
  std::string text = in.PopValue();
  if (text.empty()) return;
  Text(in, ConvertKanjiCode(text, target));
}

void CmdBase64Encode(Interpreter& in, THashNode&) {
  Text(in, Base64Encode(in.PopValue()));
}
void CmdBase64Decode(Interpreter& in, THashNode&) {
  Text(in, Base64Decode(in.PopValue()));
}

// ---------------------------------------------------------------- character tests

// First byte of the first character mapped to half-width, or NUL.
char FirstHalfByte(const std::string& text) {
  std::string half = MapText(CharCopy(text, 1, 1), MapMode::HalfWidth);
  return half.empty() ? '\0' : half[0];
}

void CmdIsUpper(Interpreter& in, THashNode&) {
  char c = FirstHalfByte(in.PopValue());
  Truth(in, c >= 'A' && c <= 'Z');
}

void CmdIsDigit(Interpreter& in, THashNode&) {
  char c = FirstHalfByte(in.PopValue());
  Truth(in, c >= '0' && c <= '9');
}

void CmdIsWide(Interpreter& in, THashNode&) {
  std::string text = in.PopValue();
  Truth(in, !text.empty() && IsLeadByte(static_cast<unsigned char>(text[0])));
}

void CmdIsHiragana(Interpreter& in, THashNode&) {
  Truth(in, IsHiragana(in.PopValue()));
}
void CmdIsKatakana(Interpreter& in, THashNode&) {
  Truth(in, IsKatakana(in.PopValue()));
}
void CmdIsNumberText(Interpreter& in, THashNode&) {
  Truth(in, IsNumberText(in.PopValue()));
}

void CmdKeyCode(Interpreter& in, THashNode& cmd) {
  std::string text = in.PopValue();
  if (text.empty()) BadArgument(in, cmd);
  Count(in, CharCode(text));
}

void CmdCodeChar(Interpreter& in, THashNode& cmd) {
  long long code = IntegerText(in.PopValue(), -1);
  if (code < 0) BadArgument(in, cmd);
  unsigned c = static_cast<unsigned>(code);
  Text(in, CodeChar(c < 256 ? c : (c & 0xFFFF)));
}

void CmdCompare(Interpreter& in, THashNode&) {
  std::string b = in.PopValue();
  std::string a = in.PopValue();
  Truth(in, a == b);
}

// ---------------------------------------------------------------- lines and markup

void CmdSort(Interpreter& in, THashNode&) {
  Common(in, SortLines(in.PopValue()));
}
void CmdSortNumbers(Interpreter& in, THashNode&) {
  Common(in, SortLinesByNumber(in.PopValue()));
}

void CmdInsertLine(Interpreter& in, THashNode& cmd) {
  std::string line = in.PopValue();
  long long index = in.PopInt();
  std::string text = in.PopValue();
  if (index < 0) return;
  std::optional<std::string> out = InsertLine(text, index, line);
  if (!out) TooLarge(in, cmd);
  ValueOnly(in, std::move(*out));
}

void CmdDeleteLine(Interpreter& in, THashNode&) {
  long long index = in.PopInt();
  std::string text = in.PopValue();
  if (std::optional<std::string> out = DeleteLine(text, index)) ValueOnly(in, std::move(*out));
}

void CmdParagraph(Interpreter& in, THashNode&) {
  long long n = IntegerText(in.PopValue(), -1);
  Text(in, Paragraph(in.PopValue(), n));
}

void CmdStripTags(Interpreter& in, THashNode&) {
  Text(in, StripTags(in.PopValue()));
}

void CmdExtractTags(Interpreter& in, THashNode&) {
  std::string name = in.PopValue();
  Text(in, ExtractTags(in.PopValue(), name));
}

void CmdWrap(Interpreter& in, THashNode&) {
  long long width = in.PopInt();
  std::string text = in.PopValue();
  long long tab = 8;
  if (THashNode* t = in.S.Fast.TabCount) tab = ToInt64(ParseNumber(t->Value));
  std::string forbidden = SJ("、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ");
  if (THashNode* k = in.S.Words.FindExact(SJ("禁則処理の行頭禁止文字"))) forbidden = k->Value;
  Text(in, WrapLines(text, width, tab, forbidden));
}

// Sets the length of a variable's value (created when missing); the added
// bytes are NUL. A negative size leaves the value as it is.
void CmdReserve(Interpreter& in, THashNode& cmd) {
  long long size = in.PopInt();
  std::string name = StripBackquotes(in.PopRaw());
  THashNode* w = in.S.Words.FindExact(name);
  if (!w) {
    w = in.AddVariable(name);
    w->TypeMark = "s";
  }
  if (size < 0) return;
  if (static_cast<unsigned long long>(size) > kMaxBuiltText) TooLarge(in, cmd);
  w->Value.resize(static_cast<size_t>(size), '\0');
}

}  // namespace

CommandTable StringCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::ToHalfWidth, "半角変換", "?を", Popping<CmdMapCommon<MapMode::HalfWidth>>, kPure},
      {CommandId::Replace, "置換", "?の,?を,?に", Popping<CmdReplace>, kPure},
      {CommandId::CharPos, "何文字目", "?の中で,?が", Popping<CmdCharPos>, kPure},
      {CommandId::CharPos, "POS", "?,?", Popping<CmdCharPos>, kPure},
      {CommandId::Mid, "MID", "?の中で,?から,?つ", Popping<CmdMid>, kPure},
      {CommandId::Mid, "切り出す", "?の中で,?から,?つ", Popping<CmdMid>, kPure},
      {CommandId::Refrain, "リフレイン", "?を,?度", Popping<CmdRefrain>, kPure},
      {CommandId::LineCount, "行数", "?の", Popping<CmdLineCount>, kPure},
      {CommandId::Trim, "前後の空白削除", "?の", Popping<CmdTrim>, kPure},
      {CommandId::Trim, "トリム", "?を", Popping<CmdTrim>, kPure},
      {CommandId::Reserve, "確保", "?に,?バイトを", Popping<CmdReserve>, kPure},
      {CommandId::KeyCode, "キーコード", "?の", Popping<CmdKeyCode>, kPure},
      {CommandId::KeyCode, "ASC", "?", Popping<CmdKeyCode>, kPure},
      {CommandId::CodeChar, "文字", "?の", Popping<CmdCodeChar>, kPure},
      {CommandId::CodeChar, "CHR", "?", Popping<CmdCodeChar>, kPure},
      {CommandId::Sort, "ソート", "?を", Popping<CmdSort>, kPure},
      {CommandId::SortNumbers, "数値ソート", "?を", Popping<CmdSortNumbers>, kPure},
      {CommandId::ToFullWidth, "全角変換", "?を", Popping<CmdMapCommon<MapMode::FullWidth>>, kPure},
      {CommandId::CharCount, "文字数", "?の", Popping<CmdCharCount>, kPure},
      {CommandId::CharCount, "LEN", "?", Popping<CmdCharCount>, kPure},
      {CommandId::Cut, "切り取る", "?の,?までを", Popping<CmdCut>, kPure},
      {CommandId::StripTags, "タグ削除", "?から", Popping<CmdStripTags>, kPure},
      {CommandId::ExtractTags, "タグ切り出し", "?から,?の", Popping<CmdExtractTags>, kPure},
      {CommandId::InsertLine, "行挿入", "?の,?行目へ,?を", Popping<CmdInsertLine>, kPure},
      {CommandId::DeleteLine, "行削除", "?の,?行目を", Popping<CmdDeleteLine>, kPure},
      {CommandId::ByteCount, "バイト数", "?の", Popping<CmdByteCount>, kPure},
      {CommandId::ByteCount, "LENB", "?", Popping<CmdByteCount>, kPure},
      {CommandId::DropRight, "右端削除", "?から,?文字", Popping<CmdDropRight>, kPure},
      {CommandId::DropLeft, "左端削除", "?から,?文字", Popping<CmdDropLeft>, kPure},
      {CommandId::Currency, "通貨形式に変換", "?を", Popping<CmdCurrency>, kPure},
      {CommandId::PadSpaces, "右寄せ", "?を,?桁で", Popping<CmdPadSpaces>, kPure},
      {CommandId::PadZeros, "ゼロで埋める", "?を,?桁の", Popping<CmdPadZeros>, kPure},
      {CommandId::Right, "RIGHT", "?,?", Popping<CmdRight>, kPure},
      {CommandId::Left, "LEFT", "?,?", Popping<CmdLeft>, kPure},
      {CommandId::ToUpper, "大文字変換", "?を", Popping<CmdMapMarked<MapMode::Upper>>, kPure},
      {CommandId::ToLower, "小文字変換", "?を", Popping<CmdMapMarked<MapMode::Lower>>, kPure},
      {CommandId::Paragraph, "段落を切り出す", "?から,?番目の", Popping<CmdParagraph>, kPure},
      {CommandId::ToHiragana, "ひらがな変換", "?を", Popping<CmdMapMarked<MapMode::Hiragana>>,
       kPure},
      {CommandId::ToKatakana, "カタカナ変換", "?を", Popping<CmdMapMarked<MapMode::Katakana>>,
       kPure},
      {CommandId::CutRange, "範囲を切り取る", "?の,?から,?までの", Popping<CmdCutRange>, kPure},
      {CommandId::AlnumToHalf, "英数半角変換", "?を", Popping<CmdAlnumToHalf>, kPure},
      {CommandId::CutLeft, "左端を切り取る", "?から,?文字", Popping<CmdCutLeft>, kPure},
      {CommandId::CutRight, "右端を切り取る", "?から,?文字", Popping<CmdCutRight>, kPure},
      {CommandId::CutEscaped, "判別して切り取る", "?の,?までを,?で", Popping<CmdCutEscaped>, kPure},
      {CommandId::IsUpper, "大文字か", "?が", Popping<CmdIsUpper>, kPure},
      {CommandId::IsDigit, "数字か", "?が", Popping<CmdIsDigit>, kPure},
      {CommandId::IsWide, "全角か", "?が", Popping<CmdIsWide>, kPure},
      {CommandId::IsHiragana, "ひらがなか", "?が", Popping<CmdIsHiragana>, kPure},
      {CommandId::IsKatakana, "カタカナか", "?が", Popping<CmdIsKatakana>, kPure},
      {CommandId::ToEuc, "文字コードをEUCに変換", "?の", Popping<CmdKanjiCode<kCodeEuc>>, kPure},
      {CommandId::ToJis, "文字コードをJISに変換", "?の", Popping<CmdKanjiCode<kCodeJisNew>>, kPure},
      {CommandId::ToSjis, "文字コードをSJISに変換", "?の", Popping<CmdKanjiCode<kCodeSjis>>, kPure},
      {CommandId::Format, "指定形式に変換", "?を,?の", Popping<CmdFormat>, kPure},
      {CommandId::RemoveOkurigana, "送り仮名削除", "?から", Popping<CmdRemoveOkurigana>, kPure},
      {CommandId::Compare, "文比較", "?と,?で", Popping<CmdCompare>, kPure},
      {CommandId::Base64Encode, "BASE64エンコード", "?を", Popping<CmdBase64Encode>, kPure},
      {CommandId::Base64Decode, "BASE64デコード", "?を", Popping<CmdBase64Decode>, kPure},
      {CommandId::Occurrences, "出現回数", "?で,?の", Popping<CmdOccurrences>, kPure},
      {CommandId::Wrap, "行揃え", "?を,?バイトで", Popping<CmdWrap>, kPure},
      {CommandId::IsNumberText, "数列か", "?が", Popping<CmdIsNumberText>, kPure},
      {CommandId::MidBytes, "MIDB", "?,?,?", Popping<CmdMidBytes>, kPure},
  };
  return kRows;
}

}  // namespace sorane
