// Preprocessing: normalisation, comments, literals, line marks, the unbalanced
// text errors and the label scan.
#include <gtest/gtest.h>

#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class PreprocessTest : public ::testing::Test {
 protected:
  TestHost host;
  Interpreter in{host};
  void SetUp() override { in.S.SourceName = "main.srn"; }

  std::string Pre(const char* utf8) { return SjisToUtf8(in.Preprocess(Utf8ToSjis(utf8))); }

  // The error message raised for the text (UTF-8), or "" when none.
  std::string ErrorOf(const char* utf8) {
    try {
      in.Preprocess(Utf8ToSjis(utf8));
    } catch (const ESorane& e) {
      return SjisToUtf8(e.Message());
    }
    return "";
  }
};

TEST_F(PreprocessTest, NormalisesOutsideLiteralsOnly) {
  EXPECT_EQ(Pre("ＡＢＣ＝１２３"), "ABC=123");
  EXPECT_EQ(Pre("「ＡＢＣ＝１２３」"), "\"ＡＢＣ＝１２３\"");
  EXPECT_EQ(Pre("「A」と「B」、表示。"), "\"A\"と\"B\",表示;");
  EXPECT_EQ(Pre("Ａ≠Ｂ"), "A<>B");
  // Corner brackets do not nest: the inner 「 ends the first literal.
  EXPECT_EQ(Pre("「a「b」c」"), "\"a\"b\"c\"");
  // 『』 inside 「」 stays as written, and the other way round.
  EXPECT_EQ(Pre("「a『b』c」"), "\"a『b』c\"");
  EXPECT_EQ(Pre("『a「b」c』"), "`a「b」c`");
}

TEST_F(PreprocessTest, Comments) {
  EXPECT_EQ(Pre("x=1 ' note"), "x=1 ");
  EXPECT_EQ(Pre("x=1 // note"), "x=1 ");
  EXPECT_EQ(Pre("x=1 ※ note"), "x=1 ");
  EXPECT_EQ(Pre("a/b"), "a/b");
  EXPECT_EQ(Pre("「'」と// c"), "\"'\"と");
  // A block comment keeps the line structure and its marks.
  EXPECT_EQ(Pre("a{x\r\ny\r\nz}b\r\nc\r\n"), "a\r\n1:\r\n2:b\r\n3:c\r\n4:");
}

TEST_F(PreprocessTest, LineMarks) {
  EXPECT_EQ(Pre("l1\r\nl2\r\nl3\r\n"), "l1\r\n1:l2\r\n2:l3\r\n3:");
  // Inside a literal a line break is kept without a mark.
  EXPECT_EQ(Pre("「a\r\nb」\r\n"), "\"a\r\nb\"\r\n2:");
}

TEST_F(PreprocessTest, EscapesAndBackquotes) {
  EXPECT_EQ(Pre("\"a\\\"b\""), "\"a\\\"b\"");
  EXPECT_EQ(Pre("「a￥nb」"), "\"a\\nb\"");
  EXPECT_EQ(Pre("`a``b`"), "`a``b`");
  EXPECT_EQ(Pre("『』"), "``");
}

TEST_F(PreprocessTest, UnbalancedTextErrors) {
  EXPECT_EQ(ErrorOf("a\r\n{b0123456789012345678901234\r\n"),
            "[エラー] main.srn(2行目): { }が対応していません。『b0123456789012345678』の近く");
  EXPECT_EQ(ErrorOf("x\r\ny\r\n「abc\r\n"),
            "[エラー] main.srn(3行目): 「」または\"\"が対応していません。『abc\r\n』の近く");
  EXPECT_EQ(ErrorOf("`abc"),
            "[エラー] main.srn(1行目): 『』または''''が対応していません。『abc』の近く");
  // The 20 bytes are cut on a character boundary.
  std::string msg = ErrorOf("{あいうえおかきくけこさ");
  EXPECT_NE(msg.find("『あいうえおかきくけこ』"), std::string::npos) << msg;
  msg = ErrorOf("{aあいうえおかきくけこさ");
  EXPECT_NE(msg.find("『aあいうえおかきくけ』"), std::string::npos) << msg;
}

class LabelTest : public PreprocessTest {
 protected:
  void Scan(const char* utf8) {
    auto text = in.StoreSource(in.Preprocess(Utf8ToSjis(utf8)));
    in.ScanLabels(text, "main.srn");
  }
  bool Has(const char* name) { return in.S.Words.FindExact(Utf8ToSjis(name)) != nullptr; }
};

TEST_F(LabelTest, LabelLines) {
  Scan("*始め\r\n  *字下げ\r\n*後ろに空白 \r\n**注記\r\n「*文字列」\r\na*b\r\n");
  EXPECT_TRUE(Has("始め"));
  EXPECT_TRUE(Has("字下げ"));
  EXPECT_FALSE(Has("後ろに空白"));
  EXPECT_FALSE(Has("注記"));
  EXPECT_FALSE(Has("*注記"));
  EXPECT_FALSE(Has("文字列"));
  EXPECT_FALSE(Has("b"));
  THashNode* label = in.S.Words.FindExact(Utf8ToSjis("始め"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Kind, kWordLabel);
  EXPECT_EQ(label->More().Owner, "main.srn");
  EXPECT_EQ(std::string(label->More().RefPos, 2), "\r\n");

  // A "*" that ends the text names nothing, and the scan stops at the end.
  Scan("x\r\n*");
  Scan("*");
}

TEST_F(LabelTest, DuplicateLabelFails) {
  try {
    Scan("*同じ\r\nx\r\n*同じ\r\n");
    FAIL() << "no error";
  } catch (const ESorane& e) {
    EXPECT_EQ(SjisToUtf8(e.Message()),
              "[エラー] main.srn(3行目): "
              "ラベル\"同じ\"の定義に失敗しました。既に単語として使われています。");
  }
}

TEST_F(PreprocessTest, LiteralAndGroupReaders) {
  std::string text = Utf8ToSjis("\"a\\\"b\"rest");
  const char* p = text.c_str();
  EXPECT_EQ(in.ReadLiteral(p), Utf8ToSjis("\"a\\\"b\""));
  EXPECT_STREQ(p, "rest");
  text = "(a(b)\")\"c)d";
  p = text.c_str();
  EXPECT_EQ(in.ReadGroup(p), "a(b)\")\"c");
  EXPECT_STREQ(p, "d");
  text = "(abc";
  p = text.c_str();
  try {
    in.ReadGroup(p);
    FAIL();
  } catch (const ESorane& e) {
    EXPECT_NE(SjisToUtf8(e.Message()).find("\")\"が対応していません。"), std::string::npos);
  }
  // A trail byte equal to "`" or "(" never ends or opens anything.
  text = Utf8ToSjis("`ア`");  // ア is 0x83 0x41; ー-like trail bytes are covered by the walk
  p = text.c_str();
  EXPECT_EQ(in.ReadLiteral(p), text);
}

}  // namespace
}  // namespace sorane
