// Text helpers of the string commands: double-byte safety of every cut, line
// lists, wrapping with line-start rules, paragraphs, tags, sorting, size caps
// and the format directives.
#include <gtest/gtest.h>

#include "library/output/output.h"
#include "library/strings/strings_format.h"
#include "library/strings/strings_util.h"
#include "text/encoding.h"

namespace sorane {
namespace {

// CP932 text from a UTF-8 literal, and back for readable comparisons.
std::string J(const char* utf8) {
  return Utf8ToSjis(utf8);
}
std::string U(const std::string& sjis) {
  return SjisToUtf8(sjis);
}

// "表" and "ソ" end in 0x5C ("\"), "ー" and "ポ" in other ASCII-range trail bytes.
const std::string kHyo = "\x95\x5C";

TEST(StringsCut, CharacterCutsNeverSplit) {
  std::string t = J("漢字abc");
  EXPECT_EQ(U(LeftChars(t, 1)), "漢");
  EXPECT_EQ(U(LeftChars(t, 3)), "漢字a");
  EXPECT_EQ(LeftChars(t, 0), "");
  EXPECT_EQ(U(RightChars(t, 4)), "字abc");
  EXPECT_EQ(U(RightChars(J("abc"), 5)), "abc");
  EXPECT_EQ(RightChars(t, -1), "");
  EXPECT_EQ(U(DropLeftChars(t, 1)), "字abc");
  EXPECT_EQ(U(DropRightChars(t, 4)), "漢");
  EXPECT_EQ(U(DropLeftChars(t, -3)), "漢字abc");
  EXPECT_EQ(U(DropRightChars(t, 99)), "");
  // Extreme counts neither overflow nor misbehave.
  EXPECT_EQ(U(RightChars(t, INT64_MAX)), "漢字abc");
  EXPECT_EQ(U(DropLeftChars(t, INT64_MIN)), "漢字abc");
}

TEST(StringsCut, MidBytesTakesOnlyWholeCharacters) {
  std::string t = J("aあいb");  // a | 82 A0 | 82 A2 | b
  EXPECT_EQ(U(MidBytes(t, 1, 3)), "aあ");
  EXPECT_EQ(U(MidBytes(t, 1, 2)), "a");   // would end on a lead byte
  EXPECT_EQ(U(MidBytes(t, 3, 3)), "い");  // starts on a trail byte
  EXPECT_EQ(U(MidBytes(t, 2, 4)), "あい");
  EXPECT_EQ(U(MidBytes(t, 0, 1)), "a");  // below 1 counts as 1
  EXPECT_EQ(U(MidBytes(t, -5, 100)), "aあいb");
  EXPECT_EQ(MidBytes(t, 3, 1), "");
  EXPECT_EQ(MidBytes(t, 2, -1), "");
  EXPECT_EQ(MidBytes(t, 7, 1), "");
  EXPECT_EQ(U(MidBytes(t, 6, INT64_MAX)), "b");
}

TEST(StringsCut, SearchesMatchOnlyWholeCharacters) {
  // The backslash is the trail byte of 表: it must not be found or counted.
  EXPECT_EQ(CountOccurrences(kHyo + kHyo, "\\"), 0u);
  EXPECT_EQ(CountOccurrences(kHyo + "\\" + kHyo, "\\"), 1u);
  // A needle that is a lone lead byte does not take half of a character.
  EXPECT_EQ(FindAtBoundary(J("あ"), "\x82", 0), std::string::npos);
  EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2u);  // non-overlapping
  EXPECT_EQ(CountOccurrences("abc", ""), 0u);
  EXPECT_EQ(CountOccurrences(J("猫と猫と犬"), J("猫")), 2u);
}

TEST(StringsCut, RangeCut) {
  RangeCut r = CutRange(J("前[中身]後"), "[", "]");
  ASSERT_TRUE(r.found);
  EXPECT_EQ(U(r.piece), "[中身]");
  EXPECT_EQ(U(r.rest), "前後");
  // Identical markers end the range at once.
  r = CutRange("a|b|c", "|", "|");
  EXPECT_EQ(r.piece, "|");
  EXPECT_EQ(r.rest, "ab|c");
  // A missing end marker takes the rest of the text.
  r = CutRange("ab<cd", "<", ">");
  EXPECT_EQ(r.piece, "<cd");
  EXPECT_EQ(r.rest, "ab");
  EXPECT_FALSE(CutRange("abc", "x", "y").found);
  // Markers inside double-byte characters are not markers.
  r = CutRange(kHyo + "\\x\\", "\\", "\\");
  EXPECT_EQ(r.piece, "\\");
  EXPECT_EQ(r.rest, kHyo + "x\\");
}

TEST(StringsCut, RepeatAndPadStayWithinTheCap) {
  EXPECT_EQ(*Repeat("ab", 3), "ababab");
  EXPECT_EQ(*Repeat("ab", 0), "");
  EXPECT_EQ(*Repeat("ab", -2), "");
  EXPECT_FALSE(Repeat("ab", 2000000000).has_value());
  EXPECT_FALSE(Repeat("x", INT64_MAX).has_value());
  EXPECT_EQ(*PadLeft("42", 5, '0'), "00042");
  EXPECT_EQ(*PadLeft("abcdef", 3, ' '), "abcdef");  // never cut
  EXPECT_EQ(U(*PadLeft(J("あ"), 4, ' ')), "  あ");  // two columns
  EXPECT_EQ(*PadLeft("x", -3, ' '), "x");
  EXPECT_FALSE(PadLeft("x", 1LL << 40, ' ').has_value());
}

TEST(StringsCut, IntegerText) {
  EXPECT_EQ(IntegerText("12", 0), 12);
  EXPECT_EQ(IntegerText(" -7 ", 0), -7);
  EXPECT_EQ(IntegerText("$FF", 0), 255);
  EXPECT_EQ(IntegerText("$FFFFFFFF", 0), -1);
  EXPECT_EQ(IntegerText("1.5", -1), -1);
  EXPECT_EQ(IntegerText(J("３"), 0), 0);  // full-width digits are not accepted
  EXPECT_EQ(IntegerText("3x", 9), 9);
  EXPECT_EQ(IntegerText("", -1), -1);
  EXPECT_EQ(IntegerText("99999999999", 5), 5);
}

TEST(StringsLines, SplitAndJoin) {
  auto lines = SplitLines("a\r\nb\rc\nd\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "d");
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("\r\n\r\n").size(), 2u);
  EXPECT_EQ(JoinLines(lines), "a\r\nb\r\nc\r\nd\r\n");
}

TEST(StringsLines, InsertAndDelete) {
  EXPECT_EQ(*InsertLine("a\r\nb", 1, "x"), "a\r\nx\r\nb\r\n");
  EXPECT_EQ(*InsertLine("a\r\nb", 5, "x"), "a\r\nb\r\n\r\n\r\n\r\nx\r\n");
  EXPECT_EQ(*InsertLine("", 0, "x"), "x\r\n");
  EXPECT_FALSE(InsertLine("a", INT64_MAX, "x").has_value());
  EXPECT_EQ(*DeleteLine("a\nb\nc", 1), "a\r\nc\r\n");
  EXPECT_FALSE(DeleteLine("a\nb", 2).has_value());
  EXPECT_FALSE(DeleteLine("a\nb", -1).has_value());
}

TEST(StringsLines, Paragraphs) {
  EXPECT_EQ(Paragraph("a\r\n\r\nb", 2), "b");
  EXPECT_EQ(Paragraph("a\r\n\r\nb", 1), "a\r\n\r\n");
  EXPECT_EQ(Paragraph("a\r\nb\r\n\r\n\r\nc", 1), "a\r\nb\r\n\r\n\r\n");
  EXPECT_EQ(Paragraph("a\r\n\r\nb", 0), "");
  EXPECT_EQ(Paragraph("a\r\n\r\nb", 3), "");
  EXPECT_EQ(Paragraph("a\n\nb", 1), "a\n\nb");  // LF alone: one paragraph
  EXPECT_EQ(U(Paragraph(J("表\r\r表"), 2)), "表");
}

TEST(StringsLines, Sorting) {
  EXPECT_EQ(SortLines("b\r\na\r\nA"), "A\r\na\r\nb\r\n");
  EXPECT_EQ(SortLines("_\nb\na"), "_\r\na\r\nb\r\n");
  EXPECT_EQ(U(SortLines(J("い\nあ\nＢ\nａ"))), U(J("ａ\r\nＢ\r\nあ\r\nい\r\n")));
  EXPECT_EQ(SortLinesByNumber("10\n9\n-1"), "-1\r\n9\r\n10\r\n");
  EXPECT_EQ(SortLinesByNumber("1.7\nx\n1.5"), "x\r\n1.5\r\n1.7\r\n");
  EXPECT_EQ(SortLines(""), "");
}

TEST(StringsMarkup, StripTags) {
  EXPECT_EQ(StripTags("  <p>Hello <b>world</b></p> \r\n"), "Hello world");
  EXPECT_EQ(StripTags("a > b <unclosed"), "a  b ");
  EXPECT_EQ(U(StripTags(J("<a href=\"x\">表示</a>"))), "表示");
}

TEST(StringsMarkup, ExtractTags) {
  std::string html = "<p>one</p><B>two</B><br><p class=x>three</p>";
  EXPECT_EQ(ExtractTags(html, "<p>"), "<p>one</p>\r\n<p class=x>three</p>\r\n");
  EXPECT_EQ(ExtractTags(html, "b"), "<B>two</B>\r\n<br>\r\n");  // prefix match
  // Only the all-lower and all-upper forms of the name match: a mixed-case tag
  // is skipped, whichever case the name is given in.
  EXPECT_EQ(ExtractTags("<Li>a</Li><LI>b</li><li>c</LI>", "li"), "<LI>b</li>\r\n<li>c</LI>\r\n");
  EXPECT_EQ(ExtractTags("<Li>a</Li>", "Li"), "");
  EXPECT_EQ(ExtractTags("<img src=a><img src=b>", "img"), "<img src=a>\r\n<img src=b>\r\n");
  EXPECT_EQ(ExtractTags("<p>unclosed", "p"), "<p>\r\n");  // the opening tag alone
  EXPECT_EQ(ExtractTags("<p", "p"), "");
  EXPECT_EQ(U(ExtractTags(J("<p>表</p>"), "p")), "<p>表</p>\r\n");
}

class WrapTest : public ::testing::Test {
 protected:
  std::string forbidden = J("、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ");
  std::string Wrap(const char* utf8, long long width, long long tab = 8) {
    return U(WrapLines(J(utf8), width, tab, forbidden));
  }
};

TEST_F(WrapTest, BreaksAtWidthWithoutSplitting) {
  EXPECT_EQ(Wrap("あいう。", 4), "あい\r\nう。");
  EXPECT_EQ(Wrap("abcdef", 4), "abcd\r\nef");
  EXPECT_EQ(Wrap("aあい", 4), "aあ\r\nい");  // い does not fit in the 1 byte left
  EXPECT_EQ(Wrap("abc", 0), "abc");
  // A character wider than the line gets a line of its own, no empty line first.
  EXPECT_EQ(Wrap("あい", 1), "あ\r\nい");
}

TEST_F(WrapTest, LineStartRules) {
  EXPECT_EQ(Wrap("あい。う", 4), "あい。\r\nう");
  EXPECT_EQ(Wrap("ab\r\n.cd", 8), "ab.\r\ncd");  // pulled up across an input line end
  forbidden.clear();
  EXPECT_EQ(Wrap("あい。う", 4), "あい\r\n。う");
}

TEST_F(WrapTest, LineEndsAndTabs) {
  EXPECT_EQ(Wrap("ab\n\rcd\r\rx", 8), "ab\r\ncd\r\nx");
  EXPECT_EQ(Wrap("abcd\r\nef", 4), "abcd\r\n\r\nef");  // full line, then its line end
  EXPECT_EQ(Wrap("a\tb", 4, 2), "a\tb");
  EXPECT_EQ(Wrap("a\tbc", 4, 2), "a\tb\r\nc");
  // Absurd tab widths end the line like any tab wider than it, without overflow.
  EXPECT_EQ(Wrap("a\t\tb\t", 4, LLONG_MAX), "a\t\r\n\t\r\nb\t");
  EXPECT_EQ(Wrap("a\tb", 4, LLONG_MIN), "a\tb");
  // 表示 expands tabs only up to the widest line it prints.
  std::vector<std::string> lines = LayoutPrintText("a\tb", INT_MAX);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "a" + std::string(4095, ' ') + "b");
}

TEST(StringsFormat, Directives) {
  auto F = [](const char* pattern, const char* value) {
    std::optional<std::string> r = FormatByPattern(pattern, value);
    return r ? *r : std::string("<error>");
  };
  EXPECT_EQ(F("%.2f", "3.14159"), "3.14");
  EXPECT_EQ(F("%.3d", "7"), "007");
  EXPECT_EQ(F("%3d", "7"), "  7");
  EXPECT_EQ(F("%-4d|", "7"), "7   |");
  EXPECT_EQ(F("%.3d", "-7"), "-007");
  EXPECT_EQ(F("%x", "255"), "FF");
  EXPECT_EQ(F("%.4x", "255"), "00FF");
  EXPECT_EQ(F("%d", "12.9"), "12");
  EXPECT_EQ(F("%n", "1234567.891"), "1,234,567.89");
  EXPECT_EQ(F("%.0n", "-1234"), "-1,234");
  EXPECT_EQ(F("%m", "1234.5"), "\\1,235");  // rounded
  EXPECT_EQ(F("%m", "-50"), "-\\50");
  EXPECT_EQ(F("%.1f", "0.25"), "0.3");  // exact halves round away from zero
  EXPECT_EQ(F("%e", "1234.5"), "1.23450000000000E+003");
  EXPECT_EQ(F("%.3e", "-0.000123"), "-1.23E-004");
  EXPECT_EQ(F("%g", "0.5"), "0.5");
  EXPECT_EQ(F("%g", "1.0e20"), "1E20");
  EXPECT_EQ(F("%g", "0.00001"), "0.00001");
  EXPECT_EQ(F("%g", "0.000001"), "1E-6");
  EXPECT_EQ(F("%.2f", "-0.001"), "0.00");
  EXPECT_EQ(F("%5s|", "ab"), "   ab|");
  EXPECT_EQ(F("%-5s|", "ab"), "ab   |");
  EXPECT_EQ(U(*FormatByPattern("%.3s", J("あいう"))), "あ");  // never half a character
  EXPECT_EQ(F("100%%", "1"), "100%");
}

TEST(StringsFormat, TypeComesFromEachDirective) {
  auto F = [](const char* pattern, const char* value) {
    std::optional<std::string> r = FormatByPattern(pattern, value);
    return r ? *r : std::string("<error>");
  };
  // Letters outside the directives do not change how the value is read.
  EXPECT_EQ(F("%d min", "90"), "90 min");
  EXPECT_EQ(F("%s of the day", "12.5"), "12.5 of the day");
  EXPECT_EQ(F("%.1f from %d", "2.75"), "<error>");  // a second value does not exist
  EXPECT_EQ(F("%0:.1f ~ %0:d", "2.75"), "2.8 ~ 2");
  EXPECT_EQ(F("%x", "abc"), "0");  // not a number reads as 0
}

TEST(StringsFormat, MalformedPatterns) {
  EXPECT_FALSE(FormatByPattern("%d %d", "1").has_value());
  EXPECT_FALSE(FormatByPattern("%1:d", "1").has_value());
  EXPECT_FALSE(FormatByPattern("%q", "1").has_value());
  EXPECT_FALSE(FormatByPattern("%", "1").has_value());
  EXPECT_FALSE(FormatByPattern("%*d", "1").has_value());
  EXPECT_FALSE(FormatByPattern("%999999999999d", "1").has_value());
  EXPECT_EQ(*FormatByPattern("plain", "1"), "plain");
}

}  // namespace
}  // namespace sorane
