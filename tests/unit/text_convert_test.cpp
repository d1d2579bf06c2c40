// Width, kana and case mappings, the syntax normalisation table, kanji code
// detection and conversion, BASE64 and mail header words.
#include <gtest/gtest.h>

#include <string>

#include "text/base64.h"
#include "text/charmap.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/kanji_code.h"

namespace sorane {
namespace {

// Code point of a text holding one CP932 character, read through iconv, so the
// mapping tables are checked against an independent CP932 table.
unsigned CodePoint(const std::string& sjis) {
  std::string u = SjisToUtf8(sjis);
  unsigned char c = static_cast<unsigned char>(u[0]);
  if (c < 0x80) return c;
  if (c < 0xE0) return (c & 0x1F) << 6 | (u[1] & 0x3F);
  return (c & 0x0F) << 12 | (u[1] & 0x3F) << 6 | (u[2] & 0x3F);
}

std::string Code(unsigned code) {
  std::string s;
  if (code > 0xFF) s += static_cast<char>(code >> 8);
  s += static_cast<char>(code & 0xFF);
  return s;
}

TEST(MapText, FullWidthOfAsciiAgreesWithCp932) {
  for (char c = '!'; c <= '}'; ++c) {
    if (c == '"' || c == '\'' || c == '`' || c == '\\') continue;
    EXPECT_EQ(CodePoint(MapText(std::string(1, c), MapMode::FullWidth)), 0xFEE0u + c) << c;
  }
  EXPECT_EQ(MapText(" \"'`\\~", MapMode::FullWidth), SJ("　”’‘＼～"));
}

TEST(MapText, WidthRoundTrips) {
  for (int c = 0x20; c <= 0x7E; ++c) {
    std::string s(1, static_cast<char>(c));
    EXPECT_EQ(MapText(MapText(s, MapMode::FullWidth), MapMode::HalfWidth), s) << c;
  }
  for (int c = 0xA1; c <= 0xDF; ++c) {
    std::string s(1, static_cast<char>(c));
    std::string full = MapText(s, MapMode::FullWidth);
    EXPECT_EQ(full.size(), 2u) << c;
    EXPECT_EQ(MapText(full, MapMode::HalfWidth), s) << c;
  }
}

TEST(MapText, SoundMarksJoinAndSplit) {
  EXPECT_EQ(MapText(SJ("ｶﾞｷﾞﾄﾞﾊﾞﾊﾟﾎﾟｳﾞ"), MapMode::FullWidth), SJ("ガギドバパポヴ"));
  EXPECT_EQ(MapText(SJ("ｱﾞｶﾟﾞ"), MapMode::FullWidth), SJ("ア゛カ゜゛"));
  EXPECT_EQ(MapText(SJ("ｰ｡｢｣､･ｦｧｯ"), MapMode::FullWidth), SJ("ー。「」、・ヲァッ"));
  EXPECT_EQ(MapText(SJ("ガギドバパポヴ"), MapMode::HalfWidth), SJ("ｶﾞｷﾞﾄﾞﾊﾞﾊﾟﾎﾟｳﾞ"));
  EXPECT_EQ(MapText(SJ("ＡＢ１２　！－ー"), MapMode::HalfWidth), "AB12 !-" + SJ("ｰ"));
  EXPECT_EQ(MapText(SJ("￥＼"), MapMode::HalfWidth), "\\\\");
}

TEST(MapText, WidthLeavesOtherCharacters) {
  std::string t = SJ("漢字あヵヶヮ①");
  EXPECT_EQ(MapText(t, MapMode::HalfWidth), t);
  EXPECT_EQ(MapText(t, MapMode::FullWidth), t);
  EXPECT_EQ(MapText("ab\x82", MapMode::FullWidth), SJ("ａｂ") + "\x82");
}

TEST(MapText, KanaAgreeWithCp932) {
  for (unsigned code = 0x829F; code <= 0x82F1; ++code) {
    std::string hira = Code(code);
    std::string kata = MapText(hira, MapMode::Katakana);
    EXPECT_EQ(CodePoint(kata), CodePoint(hira) + 0x60) << std::hex << code;
    EXPECT_EQ(MapText(kata, MapMode::Hiragana), hira) << std::hex << code;
  }
  EXPECT_EQ(MapText(SJ("ヽヾ"), MapMode::Hiragana), SJ("ゝゞ"));
  EXPECT_EQ(MapText(SJ("ヴヵヶｱ漢"), MapMode::Hiragana), SJ("ヴヵヶｱ漢"));
  EXPECT_EQ(MapText(SJ("ひらがなとカタカナ"), MapMode::Katakana), SJ("ヒラガナトカタカナ"));
}

TEST(MapText, CaseOfLatinGreekCyrillic) {
  EXPECT_EQ(MapText(SJ("ABCｘＡＢＣ"), MapMode::Lower), SJ("abcｘａｂｃ"));
  EXPECT_EQ(MapText(SJ("abcＸａｂｃ"), MapMode::Upper), SJ("ABCＸＡＢＣ"));
  // Trail bytes in the letter range are not letters: ア is 0x83 0x41.
  EXPECT_EQ(MapText(SJ("ア"), MapMode::Lower), SJ("ア"));
  EXPECT_EQ(MapText(SJ("ａ"), MapMode::Upper), SJ("Ａ"));
  for (unsigned code : {0x8260u, 0x839Fu, 0x83B6u, 0x8440u, 0x844Eu, 0x844Fu, 0x8460u}) {
    std::string upper = Code(code);
    std::string lower = MapText(upper, MapMode::Lower);
    EXPECT_EQ(CodePoint(lower), CodePoint(upper) + 0x20) << std::hex << code;
    EXPECT_EQ(MapText(lower, MapMode::Upper), upper) << std::hex << code;
  }
  EXPECT_EQ(MapText(SJ("Ё"), MapMode::Lower), SJ("ё"));
  EXPECT_EQ(MapText(SJ("Ⅲ"), MapMode::Lower), SJ("ⅲ"));
  EXPECT_EQ(MapText(SJ("ⅲ"), MapMode::Upper), SJ("Ⅲ"));
}

TEST(AlnumToHalf, OnlyListedCharacters) {
  EXPECT_EQ(AlnumToHalf(SJ("ＡＢＣ１２３ａｚ")), "ABC123az");
  EXPECT_EQ(AlnumToHalf(SJ("！”＃＄％＆’（）＝－￥［］｛｝＿／＞＜，．＠‘　")),
            "!\"#$%&'()=-\\[]{}_/><,.@` ");
  EXPECT_EQ(AlnumToHalf(SJ("？：アあｱー")), SJ("？：アあｱー"));
  EXPECT_EQ(AlnumToHalf("\x95\x5C"
                        "x"),
            "\x95\x5C"
            "x");
}

TEST(ConvToHalf, ConvertTextNormalisesSyntax) {
  EXPECT_EQ(TConvToHalf::ConvertText(SJ("ＡＢＣ＝１２３")), "ABC=123");
  EXPECT_EQ(TConvToHalf::ConvertText(SJ("「A」と『B』")), "\"A\"" + SJ("と") + "`B`");
  EXPECT_EQ(TConvToHalf::ConvertText(SJ("≠≦≧×÷※")), "<><=>=*/'");
  EXPECT_EQ(TConvToHalf::ConvertText(SJ("　、。～￥｜")), " ,;~\\|");
  EXPECT_EQ(TConvToHalf::ConvertText(SJ("｢x｣")), "\"x\"");
  // Characters outside the table, including ［］ and ＼, stay.
  EXPECT_EQ(TConvToHalf::ConvertText(SJ("表［＼］ｱ")), SJ("表［＼］ｱ"));
}

TEST(ConvToHalf, TokenAndLookup) {
  EXPECT_EQ(TConvToHalf::ConvertToken(SJ("＋")), "+");
  EXPECT_EQ(TConvToHalf::ConvertToken(SJ("≧")), ">=");
  EXPECT_EQ(TConvToHalf::ConvertToken("\xA3"), "\"");
  EXPECT_EQ(TConvToHalf::ConvertToken(SJ("＋＋")), SJ("＋＋"));
  EXPECT_EQ(TConvToHalf::ConvertToken("abc"), "abc");
  EXPECT_STREQ(TConvToHalf::Lookup(0x82, 0x4F), "0");
  EXPECT_STREQ(TConvToHalf::Lookup(0x82, 0x9A), "z");
  EXPECT_STREQ(TConvToHalf::Lookup(0x82, 0x79), "Z");
  EXPECT_STREQ(TConvToHalf::Lookup(0x81, 0x40), " ");
  EXPECT_EQ(TConvToHalf::Lookup(0x83, 0x41), nullptr);
  EXPECT_EQ(TConvToHalf::Lookup(0x82, 0xA0), nullptr);
}

const std::string kEsc = "\x1B";
const std::string kJisOn = kEsc + "$B";
const std::string kJisOff = kEsc + "(J";
const std::string kEucKanji = "\xB4\xC1\xBB\xFA";  // 漢字 in EUC

TEST(KanjiCode, Detection) {
  EXPECT_EQ(DetectKanjiCode(""), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("hello\r\n"), kCodeAscii);
  EXPECT_EQ(DetectKanjiCode("a" + kJisOn + "$\"" + kJisOff), kCodeJisNew);
  EXPECT_EQ(DetectKanjiCode(kEsc + "$@$\""), kCodeJisOld);
  EXPECT_EQ(DetectKanjiCode("\x8A\xBF\x8E\x9A"), kCodeSjis);
  EXPECT_EQ(DetectKanjiCode(SJ("ひらがな")), kCodeSjis);
  EXPECT_EQ(DetectKanjiCode(kEucKanji), kCodeEuc);
  EXPECT_EQ(DetectKanjiCode("\xA4\xA2\xA4\xA4"), kCodeEucOrSjis);
  EXPECT_EQ(DetectKanjiCode(std::string("ab\0cd", 5)), kCodeBinary);
  EXPECT_EQ(DetectKanjiCode("abc\xFF"
                            "d"),
            kCodeBinary);
  EXPECT_EQ(DetectKanjiCode("abc\x01"), kCodeAscii);  // the last byte is not examined
}

TEST(KanjiCode, ShiftJisToJis) {
  EXPECT_EQ(ConvertKanjiCode("a" + SJ("あ") + "b", kCodeJisNew),
            "a" + kJisOn + "\x24\x22" + kJisOff + "b");
  EXPECT_EQ(ConvertKanjiCode(SJ("漢字"), kCodeJisNew), kJisOn + "\x34\x41\x3B\x7A" + kJisOff);
  EXPECT_EQ(SjisToJis(SJ("あ") + "\r\n" + SJ("い")),
            kJisOn + "\x24\x22" + kJisOff + "\r\n" + kJisOn + "\x24\x24" + kJisOff);
  // Half-width kana become full-width, joined with their sound marks.
  EXPECT_EQ(SjisToJis(SJ("ｶﾞｳﾞﾊﾟｱﾞ")),
            kJisOn + "\x25\x2C\x25\x74\x25\x51\x25\x22\x21\x2B" + kJisOff);
}

TEST(KanjiCode, RoundTripsThroughJisAndEuc) {
  std::string text = SJ("日本語のテキスト、漢字。ABC 123\r\n第二行目");
  std::string jis = ConvertKanjiCode(text, kCodeJisNew);
  EXPECT_EQ(jis.find('\x80'), std::string::npos);
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeSjis), text);
  std::string euc = ConvertKanjiCode(text, kCodeEuc);
  EXPECT_EQ(DetectKanjiCode(euc), kCodeEuc);
  EXPECT_EQ(ConvertKanjiCode(euc, kCodeSjis), text);
  EXPECT_EQ(ConvertKanjiCode(euc, kCodeJisNew), jis);
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeEuc), euc);
}

TEST(KanjiCode, EucDetails) {
  EXPECT_EQ(ConvertKanjiCode(SJ("漢ｱ"), kCodeEuc), kEucKanji.substr(0, 2) + "\x8E\xB1");
  EXPECT_EQ(ConvertKanjiCode(kEucKanji + "\x8E\xB6\x8E\xDE", kCodeSjis), SJ("漢字") + "\xB6\xDE");
  EXPECT_EQ(ConvertKanjiCode(kEucKanji + "\x8E\xB6\x8E\xDE", kCodeJisNew),
            kJisOn + "\x34\x41\x3B\x7A\x25\x2C" + kJisOff);
  // A JIS X 0212 character has no Shift-JIS form: one geta mark stands for it.
  EXPECT_EQ(ConvertKanjiCode(kEucKanji + "\x8F\xB0\xA1"
                                         "a",
                             kCodeSjis),
            SJ("漢字〓") + "a");
}

TEST(KanjiCode, UnchangedCases) {
  std::string ascii = "plain";
  EXPECT_EQ(ConvertKanjiCode(ascii, kCodeJisNew), ascii);
  std::string undecided = "\xA4\xA2\xA4\xA4";
  EXPECT_EQ(ConvertKanjiCode(undecided, kCodeSjis), undecided);
  std::string sjis = SJ("漢字");
  EXPECT_EQ(ConvertKanjiCode(sjis, kCodeSjis), sjis);
  EXPECT_EQ(ConvertKanjiCode(sjis, 7), sjis);
  std::string jis = kJisOn + "\x24\x22";
  EXPECT_EQ(ConvertKanjiCode(jis, kCodeJisNew), jis);
}

TEST(KanjiCode, JisWithoutClosingSequence) {
  EXPECT_EQ(JisToSjis(kJisOn + "\x24\x22"), SJ("あ"));
  EXPECT_EQ(JisToSjis(kJisOn + "\x24\x22\x24"), SJ("あ") + "\x24");  // broken pair
  EXPECT_EQ(JisToSjis(kJisOn + "\x24\x22\r\n\x24\x24"), SJ("あ") + "\r\n" + SJ("い"));
  EXPECT_EQ(JisToSjis(kEsc + "$"), "");
}

TEST(Base64, EncodeDecode) {
  EXPECT_EQ(Base64Encode("abc"), "YWJj");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Decode("YWJj\r\nYWI="), "abcab");
  EXPECT_EQ(Base64Decode("YQ=="), "a");
  EXPECT_EQ(Base64Decode("YWI"), "ab");
  EXPECT_EQ(Base64Decode(""), "");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
}

TEST(Base64, MalformedPaddingStaysInBounds) {
  EXPECT_EQ(Base64Decode("=AAA").size(), 3u);
  EXPECT_EQ(Base64Decode("YQ==YQ=="), "aa");
  EXPECT_EQ(Base64Decode("A"), "");
  EXPECT_EQ(Base64Decode("===="), std::string(1, '\0'));
  EXPECT_EQ(Base64Decode("\r\n\r\n"), "");
}

TEST(MimeHeader, EncodesEachJapaneseRun) {
  std::string word1 =
      "=?ISO-2022-JP?B?" + Base64Encode(kJisOn + "\x46\x7C\x4B\x5C" + kJisOff) + "?=";
  std::string word2 = "=?ISO-2022-JP?B?" + Base64Encode(kJisOn + "\x38\x6C" + kJisOff) + "?=";
  EXPECT_EQ(MimeEncodeHeader(SJ("日本 語")), word1 + " " + word2);
  EXPECT_EQ(MimeEncodeHeader("Re: hello"), "Re: hello");
  // Half-width kana travel inside the encoded word, never as raw 8-bit bytes.
  std::string kana = MimeEncodeHeader(SJ("ｱ"));
  EXPECT_EQ(kana, "=?ISO-2022-JP?B?" + Base64Encode(kJisOn + "\x25\x22" + kJisOff) + "?=");
}

TEST(MimeHeader, DecodeRoundTrip) {
  std::string subject = SJ("件名：日本語 テスト") + " ok";
  std::string jis = MimeDecodeHeader(MimeEncodeHeader(subject));
  EXPECT_EQ(CutAtInvalidChar(ConvertKanjiCode(jis, kCodeSjis)), subject);
  std::string lower = "=?iso-2022-jp?b?" + Base64Encode(kJisOn + "\x24\x22" + kJisOff) + "?=";
  EXPECT_EQ(MimeDecodeHeader("x " + lower), "x " + kJisOn + "\x24\x22" + kJisOff + kJisOff);
  EXPECT_EQ(MimeDecodeHeader("a=?ISO-2022-JP?B?YWJj"), "aYWJj");  // no end: prefix removed
  EXPECT_EQ(MimeDecodeHeader("plain"), "plain");
}

TEST(MimeHeader, CutAtInvalidChar) {
  EXPECT_EQ(CutAtInvalidChar("abc\x01"
                             "def"),
            "abc");
  EXPECT_EQ(CutAtInvalidChar(SJ("日本") + "\tx\r\n"), SJ("日本") + "\tx\r\n");
  EXPECT_EQ(CutAtInvalidChar("ab\xB1"
                             "c"),
            "ab");
  EXPECT_EQ(CutAtInvalidChar("ab\x7F"), "ab");
  EXPECT_EQ(CutAtInvalidChar("ab\x82"), "ab");  // a lead byte without its trail
  EXPECT_EQ(CutAtInvalidChar("\x95\x5C"
                             "x"),
            "\x95\x5C"
            "x");
}

}  // namespace
}  // namespace sorane
