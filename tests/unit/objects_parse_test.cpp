// Colour, coordinate and font texts, and the helpers of the standard dialogs.
#include <gtest/gtest.h>

#include "library/dialogs/dialogs_util.h"
#include "library/objects/parse.h"
#include "text/encoding.h"

namespace sorane {
namespace {

TEST(ObjectTexts, ColorTexts) {
  EXPECT_EQ(ParseColor("#FF0000"), 255u);
  EXPECT_EQ(ParseColor("#00FF00"), 65280u);
  EXPECT_EQ(ParseColor("#0000ff"), 0xFF0000u);
  EXPECT_EQ(ParseColor("#993300"), 0x3399u);
  EXPECT_EQ(ParseColor("123"), 123u);
  EXPECT_EQ(ParseColor("$FF"), 255u);
  // System colours pass unchanged and are recognised as such.
  EXPECT_EQ(ParseColor("$8000000F"), 0x8000000Fu);
  EXPECT_TRUE(IsSystemColor(ParseColor("$8000000F")));
  EXPECT_FALSE(IsSystemColor(ParseColor("#FFFFFF")));
  // Bad texts give black; a bad pair only zeroes that component.
  EXPECT_EQ(ParseColor("abc"), 0u);
  EXPECT_EQ(ParseColor(""), 0u);
  EXPECT_EQ(ParseColor("$"), 0u);
  EXPECT_EQ(ParseColor("$12345678901"), 0u);
  EXPECT_EQ(ParseColor("#GG00FF"), 0xFF0000u);
  EXPECT_EQ(ParseColor("#FF"), 255u);  // short texts: missing pairs are 0
}

TEST(ObjectTexts, CoordinateItems) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCoordinateItems("(1,2)"), (V{"1", "2"}));
  EXPECT_EQ(SplitCoordinateItems("`(10, 20)`"), (V{"10", "20"}));
  EXPECT_EQ(SplitCoordinateItems("((3,4))"), (V{"3", "4"}));
  EXPECT_EQ(SplitCoordinateItems("(1,2,3)"), (V{"1", "2", "3"}));
  // Commas inside nested parentheses and quotes belong to their item.
  EXPECT_EQ(SplitCoordinateItems("(MAX(1,2),\"a,b\")"), (V{"MAX(1,2)", "\"a,b\""}));
  // Something after the closing parenthesis keeps the whole text.
  EXPECT_EQ(SplitCoordinateItems("(1)+2,3"), (V{"(1)+2", "3"}));
  EXPECT_TRUE(SplitCoordinateItems("()").empty());
  EXPECT_TRUE(SplitCoordinateItems("").empty());
}

TEST(ObjectTexts, FontTexts) {
  std::vector<std::string> families{"Noto Sans CJK JP", SJ("ＭＳ 明朝"), "DejaVu Sans"};
  ParsedFont f = ParseFontText(SJ("ｎｏｔｏ　ｓａｎｓ ＣＪＫ JP|太字傾斜|14"), families);
  EXPECT_EQ(f.face, "Noto Sans CJK JP");  // folded: width, case, full-width spaces
  EXPECT_TRUE(f.bold);
  EXPECT_TRUE(f.italic);
  EXPECT_FALSE(f.underline);
  EXPECT_EQ(f.size, 14);

  f = ParseFontText(SJ("ＭＳ 明朝｜アンダーライン｜9.7"), families);
  EXPECT_EQ(f.face, SJ("ＭＳ 明朝"));
  EXPECT_TRUE(f.underline);
  EXPECT_EQ(f.size, 9);

  f = ParseFontText(SJ("ﾎﾞｰﾙﾄﾞ"), families);  // a face part only; not installed
  EXPECT_EQ(f.face, SJ("ＭＳ ゴシック"));
  EXPECT_FALSE(f.bold);
  EXPECT_EQ(f.size, 0);

  f = ParseFontText(SJ("DejaVu Sans|ﾎﾞｰﾙﾄﾞ 下線|"), families);  // half-width style words
  EXPECT_TRUE(f.bold);
  EXPECT_TRUE(f.underline);
  EXPECT_EQ(f.size, 0);

  f = ParseFontText("||-3", families);
  EXPECT_EQ(f.face, SJ("ＭＳ ゴシック"));
  EXPECT_EQ(f.size, 0);
}

TEST(ObjectTexts, FontTextFormatRoundTrips) {
  EXPECT_EQ(FormatFontText("face", false, false, false, 12), "face||12");
  EXPECT_EQ(FormatFontText("face", true, true, false, 12), "face|" + SJ("太字傾斜") + "|12");
  EXPECT_EQ(FormatFontText("face", false, false, true, 0), "face|" + SJ("下線"));
  EXPECT_EQ(FormatFontText("face", false, false, false, 0), "face");
  ParsedFont f = ParseFontText(FormatFontText("face", true, false, true, 10), {"face"});
  EXPECT_TRUE(f.bold && f.underline && !f.italic);
  EXPECT_EQ(f.size, 10);
}

TEST(DialogHelpers, ChoicesAndFilters) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitChoices(SJ("赤｜青|黄")), (V{SJ("赤"), SJ("青"), SJ("黄")}));
  EXPECT_EQ(SplitChoices("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(SplitChoices("a\n\nb"), (V{"a", "", "b"}));
  // The trail byte of "ポ" is "|": it must not split the character.
  EXPECT_EQ(SplitChoices(SJ("ポ|ト")), (V{SJ("ポ"), SJ("ト")}));

  EXPECT_EQ(FileFilterFor("txt"), SJ("txt 形式(*.txt)|*.txt|全て(*.*)|*.*"));
  EXPECT_EQ(FileFilterFor(".csv"), SJ("csv 形式(*.csv)|*.csv|全て(*.*)|*.*"));
  EXPECT_EQ(FileFilterFor("Pictures|*.png"), "Pictures|*.png");
  EXPECT_EQ(DefaultExtension(FileFilterFor("txt")), "txt");
  EXPECT_EQ(DefaultExtension("All|*.*"), "*");
  EXPECT_EQ(DefaultExtension("none"), "");

  EXPECT_STREQ(AnswerType("12"), "e");
  EXPECT_STREQ(AnswerType("$1F"), "e");
  EXPECT_STREQ(AnswerType("abc"), "s");
  EXPECT_EQ(AnswerType(""), nullptr);
}

}  // namespace
}  // namespace sorane
