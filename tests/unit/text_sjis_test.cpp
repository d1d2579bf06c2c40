// Character walks, searching and cutting over Shift-JIS text, and the
// CP932 <-> UTF-8 boundary conversion.
#include <gtest/gtest.h>

#include <string>

#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {
namespace {

// "表" is 0x95 0x5C and "ソ" 0x83 0x5C: their trail byte is a backslash.
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";

TEST(SjisWalk, CountsCharactersNotBytes) {
  std::string t = "a" + SJ("あ") + "b";
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(CharCount(t), 3u);
  EXPECT_EQ(CharCount("ab\x82"), 3u);  // a lone lead byte at the end is one character
  EXPECT_EQ(CharCount(std::string("ab\0cd", 5)), 2u);
  EXPECT_EQ(CharCount(""), 0u);
}

TEST(SjisWalk, CharCopyWindow) {
  EXPECT_EQ(CharCopy("abcdef", 0, 3), "ab");
  EXPECT_EQ(CharCopy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(CharCopy("abcdef", 1, 0), "");
  EXPECT_EQ(CharCopy("abcdef", 3, -1), "");
  EXPECT_EQ(CharCopy("abcdef", 5, 10), "ef");
  EXPECT_EQ(CharCopy("abcdef", -5, 3), "");
  std::string t = SJ("日本語テキスト");
  EXPECT_EQ(CharCopy(t, 2, 2), SJ("本語"));
  EXPECT_EQ(CharCopy(t, 7, 1), SJ("ト"));
}

TEST(SjisWalk, NextCharStepsWholeCharacters) {
  std::string t = "a" + SJ("あ") + "\x82";
  size_t cursor = 0;
  EXPECT_EQ(NextChar(t, cursor), "a");
  EXPECT_EQ(NextChar(t, cursor), SJ("あ"));
  EXPECT_EQ(cursor, 3u);
  EXPECT_EQ(NextChar(t, cursor), "\x82");
  EXPECT_EQ(NextChar(t, cursor), "");
  EXPECT_EQ(cursor, 4u);
}

TEST(SjisSearch, PosFromFindsOnlyCharacterBoundaries) {
  EXPECT_EQ(PosFrom("\\", kHyou, 1), 0u);
  EXPECT_EQ(PosFrom("\\", kHyou + "\\", 1), 3u);
  EXPECT_EQ(PosFrom("\\", kSo + kHyou + "a\\", 1), 6u);
  // A start on a trail byte does not make that byte a boundary.
  EXPECT_EQ(PosFrom("\\", kHyou + "x", 2), 0u);
  // A needle that ends in a lead byte does not match half of a character.
  EXPECT_EQ(PosFrom("\x95", kHyou, 1), 0u);
}

// The byte search with boundary checks finds exactly what a walk over every
// character finds, on random texts made mostly of bytes that can both lead and
// trail (the hard case for telling where characters start), with NULs.
TEST(SjisSearch, FindAtBoundaryAgreesWithAWalk) {
  auto walk = [](std::string_view text, std::string_view needle, size_t from) {
    for (size_t i = from; i + needle.size() <= text.size(); i += CharLen(text, i)) {
      if (text.substr(i, needle.size()) != needle) continue;
      size_t j = i;
      while (j < i + needle.size()) j += CharLen(text, j);
      if (j == i + needle.size()) return i;
    }
    return std::string_view::npos;
  };
  const char bytes[] = {'\x88', '\x9f', '\x81', '\xe0', 'a', '\x40', '\0', '\xa0'};
  uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
  for (int round = 0; round < 20000; ++round) {
    std::string text, needle;
    for (int k = next() % 40; k > 0; --k) text += bytes[next() % 8];
    for (int k = 1 + next() % 3; k > 0; --k) needle += bytes[next() % 8];
    size_t from = 0;
    for (int k = next() % 4; k > 0 && from < text.size(); --k) from += CharLen(text, from);
    ASSERT_EQ(FindAtBoundary(text, needle, from), walk(text, needle, from))
        << round << " " << testing::PrintToString(text) << " " << testing::PrintToString(needle);
  }
}

TEST(SjisSearch, PosFromLimits) {
  EXPECT_EQ(PosFrom("b", "abcb", 1), 2u);
  EXPECT_EQ(PosFrom("b", "abcb", 3), 4u);
  EXPECT_EQ(PosFrom("b", "abcb", -7), 2u);
  EXPECT_EQ(PosFrom("b", "abcb", 5), 0u);
  EXPECT_EQ(PosFrom("", "abc", 1), 0u);
  EXPECT_EQ(PosFrom("a", "", 1), 0u);
  EXPECT_EQ(PosFrom("cbx", "abcb", 1), 0u);  // never compares past the end
  EXPECT_EQ(PosFrom("B", "abcb", 1), 0u);    // case-sensitive
  EXPECT_EQ(PosFrom(SJ("語"), SJ("日本語"), 1), 5u);
}

TEST(SjisSearch, ReplaceTextTerminatesAndSkipsReplacement) {
  EXPECT_EQ(ReplaceText("aaa", "a", "aa", true), "aaaaaa");
  EXPECT_EQ(ReplaceText("aaa", "a", "b", false), "baa");
  EXPECT_EQ(ReplaceText("abc", "x", "y", true), "abc");
  EXPECT_EQ(ReplaceText("abc", "", "y", true), "abc");
  EXPECT_EQ(ReplaceText("a,b,,c", ",", "", true), "abc");
  EXPECT_EQ(ReplaceText(kHyou + "\\", "\\", "/", true), kHyou + "/");
  EXPECT_EQ(ReplaceText(SJ("赤と赤"), SJ("赤"), SJ("青"), true), SJ("青と青"));
}

TEST(SjisSearch, CutAtSplitsHeadAndRest) {
  std::string t = "key=value=x";
  EXPECT_EQ(CutAt("=", t), "key");
  EXPECT_EQ(t, "value=x");
  std::string u = "none";
  EXPECT_EQ(CutAt("=", u), "none");
  EXPECT_EQ(u, "");
  std::string w = kHyou + "\\rest";
  EXPECT_EQ(CutAt("\\", w), kHyou);
  EXPECT_EQ(w, "rest");
}

TEST(SjisSearch, CharPosCountsCharacters) {
  std::string t = SJ("あいう") + "x" + SJ("え");
  EXPECT_EQ(CharPos("x", t), 4u);
  EXPECT_EQ(CharPos(SJ("え"), t), 5u);
  EXPECT_EQ(CharPos("\\", kHyou + "\\"), 2u);
  EXPECT_EQ(CharPos("z", t), 0u);
  EXPECT_EQ(CharPos("", t), 0u);
  EXPECT_EQ(CharPos("abc", "ab"), 0u);
  EXPECT_EQ(CharPos("\x95", kHyou), 0u);  // half of a character is no match
}

TEST(SjisSplit, SplitNextWalksPieces) {
  std::string t = "a,," + kHyou + ",b";
  size_t cursor = 0;
  EXPECT_EQ(SplitNext(",", t, cursor), "a");
  EXPECT_EQ(SplitNext(",", t, cursor), "");
  EXPECT_EQ(SplitNext(",", t, cursor), kHyou);
  EXPECT_EQ(SplitNext(",", t, cursor), "b");
  EXPECT_EQ(cursor, t.size());
  EXPECT_EQ(SplitNext(",", t, cursor), "");
  EXPECT_EQ(cursor, t.size());
  // The trail byte of 表 is not taken for the separator "\".
  cursor = 0;
  EXPECT_EQ(SplitNext("\\", kHyou + "\\x", cursor), kHyou);
  // An empty separator matches at once.
  cursor = 1;
  EXPECT_EQ(SplitNext("", "abc", cursor), "");
  EXPECT_EQ(cursor, 1u);
  // The walk stops at NUL.
  cursor = 0;
  EXPECT_EQ(SplitNext(",", std::string("ab\0,c", 5), cursor), "ab");
  EXPECT_EQ(cursor, 2u);
}

TEST(SjisSplit, SplitNextEscapedKeepsEscapes) {
  size_t cursor = 0;
  std::string t = "a\\,b,c";
  EXPECT_EQ(SplitNextEscaped(",", t, cursor, '\\'), "a\\,b");
  EXPECT_EQ(SplitNextEscaped(",", t, cursor, '\\'), "c");
  cursor = 0;
  EXPECT_EQ(SplitNextEscaped(",", "x\\" + SJ("あ") + ",y", cursor, '\\'), "x\\" + SJ("あ"));
  cursor = 0;
  EXPECT_EQ(SplitNextEscaped(",", "ab\\", cursor, '\\'), "ab\\");  // escape as last byte
}

TEST(SjisTrim, TrimWideAndPlainTrim) {
  std::string fw = SJ("　");
  EXPECT_EQ(TrimWide(fw + " \t" + fw + "a" + fw + "b" + fw + "\r\n" + fw), "a" + fw + "b");
  EXPECT_EQ(TrimWide(fw + fw), "");
  // "＝@" is 0x81 0x81 0x40: its last two bytes look like a full-width space
  // only when read backwards.
  EXPECT_EQ(TrimWide("x" + SJ("＝") + "@"), "x" + SJ("＝") + "@");
  EXPECT_EQ(Trim("\t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a \x01"), "  a");
  EXPECT_EQ(Trim(" \x01 "), "");
}

TEST(SjisClass, HiraganaKatakanaTests) {
  EXPECT_FALSE(IsHiragana(SJ("ぁ")));
  EXPECT_TRUE(IsHiragana(SJ("あいう")));
  EXPECT_TRUE(IsHiragana(SJ("ん")));
  EXPECT_FALSE(IsHiragana(SJ("ア")));
  EXPECT_FALSE(IsHiragana("a"));
  EXPECT_TRUE(IsKatakana(SJ("ヶ")));
  EXPECT_TRUE(IsKatakana(SJ("ァ")));
  EXPECT_FALSE(IsKatakana(SJ("あ")));
  EXPECT_FALSE(IsKatakana("\xB1"));  // half-width katakana is not counted
}

TEST(SjisClass, CharCodeRoundTrip) {
  EXPECT_EQ(CharCode(SJ("あ")), 0x82A0u);
  EXPECT_EQ(CharCode("A"), 65u);
  EXPECT_EQ(CharCode("\xB1"), 0xB1u);
  EXPECT_EQ(CharCode(""), 0u);
  EXPECT_EQ(CodeChar(33440), SJ("あ"));
  EXPECT_EQ(CodeChar(65), "A");
  EXPECT_EQ(CodeChar(0), std::string(1, '\0'));
}

TEST(SjisCut, CutBytesSafeNeverSplitsACharacter) {
  std::string t = "a" + SJ("あい");
  EXPECT_EQ(CutBytesSafe(t, 2), "a");
  EXPECT_EQ(CutBytesSafe(t, 3), "a" + SJ("あ"));
  EXPECT_EQ(CutBytesSafe(t, 4), "a" + SJ("あ"));
  EXPECT_EQ(CutBytesSafe(t, 99), t);
  EXPECT_EQ(CutBytesSafe(t, 0), "");
}

TEST(SjisCut, AsciiCaseLeavesTrailBytes) {
  std::string so_a = "\x83\x41";  // ア: trail byte 'A'
  EXPECT_EQ(AsciiLower("AbC" + so_a + "Z"), "abc" + so_a + "z");
  std::string mi_a = "\x82\x61";  // the trail byte is 'a'
  EXPECT_EQ(AsciiUpper("aB" + mi_a), "AB" + mi_a);
}

TEST(Encoding, RoundTripAndVariants) {
  std::string sjis = SJ("日本語ｶﾀｶﾅ");
  EXPECT_EQ(sjis, "\x93\xFA\x96\x7B\x8C\xEA\xB6\xC0\xB6\xC5");
  EXPECT_EQ(SjisToUtf8(sjis), "日本語ｶﾀｶﾅ");
  // JIS-style and Microsoft-style code points give the bytes of Windows.
  EXPECT_EQ(Utf8ToSjis("\u301C"), "\x81\x60");
  EXPECT_EQ(Utf8ToSjis("\uFF5E"), "\x81\x60");
  EXPECT_EQ(Utf8ToSjis("\u2212"), "\x81\x7C");
  EXPECT_EQ(Utf8ToSjis("\uFF0D"), "\x81\x7C");
  EXPECT_EQ(Utf8ToSjis("\uFFE5"), "\x81\x8F");
  EXPECT_EQ(Utf8ToSjis("\u2016"), "\x81\x61");
  EXPECT_EQ(Utf8ToSjis("\u00A2\u00A3\u00AC"), "\x81\x91\x81\x92\x81\xCA");
  EXPECT_EQ(Utf8ToSjis("\u2460"), "\x87\x40");  // ① of the extension rows
}

TEST(Encoding, ReplacesWhatCannotBeConverted) {
  EXPECT_EQ(Utf8ToSjis("a\u20ACb"), "a?b");  // the euro sign has no CP932 code
  EXPECT_EQ(Utf8ToSjis("a\xFF"
                       "b"),
            "a?b");                                  // not UTF-8
  EXPECT_EQ(Utf8ToSjis("a\xE3\x81"), "a?");          // cut off at the end
  EXPECT_EQ(Utf8ToSjis("\xF0\x9F\x98\x80x"), "?x");  // one "?" for one character
  EXPECT_EQ(SjisToUtf8("a\x80"
                       "b"),
            "a\uFFFD"
            "b");
  EXPECT_EQ(SjisToUtf8("a\x81"), "a\uFFFD");
  EXPECT_EQ(SjisToUtf8("\x81\x20x"), "\uFFFD x");  // the bad trail byte is read again
  EXPECT_EQ(SjisToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  std::string big(100000, '\xB1');  // output three times the input
  EXPECT_EQ(SjisToUtf8(big).size(), 300000u);
}

TEST(Encoding, LooksLikeUtf8) {
  EXPECT_TRUE(LooksLikeUtf8("表示"));
  EXPECT_FALSE(LooksLikeUtf8("plain ascii"));
  EXPECT_FALSE(LooksLikeUtf8(SJ("表示")));
  EXPECT_FALSE(LooksLikeUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(LooksLikeUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(LooksLikeUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(LooksLikeUtf8("\xE3\x81"));          // cut off
}

}  // namespace
}  // namespace sorane
