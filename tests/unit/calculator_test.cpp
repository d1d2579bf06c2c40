// Expressions: the calculator's precedence and operators, the comparison rule,
// the error messages, and the value evaluator's terms: literals and their
// expansion, numbers, words, member access and cell access.
#include <gtest/gtest.h>

#include <string>

#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class ExprTest : public ::testing::Test {
 protected:
  TestHost host;
  Interpreter in{host};

  void SetUp() override {
    in.S.SourceName = "main.srn";
    in.S.Fast.Sore = in.S.Words.AddVariable(Utf8ToSjis("それ"), "", "", -1);
  }

  THashNode* Var(const char* name, const std::string& value, const char* mark) {
    return in.S.Words.AddVariable(Utf8ToSjis(name), Utf8ToSjis(value), mark, 0);
  }
  THashNode* Hash(const char* name) {
    auto h = std::make_unique<THashNode>(Utf8ToSjis(name), kWordHash);
    h->Elements = std::make_unique<THash>();
    return in.S.Words.Add(std::move(h));
  }

  // Texts are written as the preprocessor leaves them, except that 「」 stand for
  // double quotes and 、 for the comma, to keep the cases readable.
  static std::string Program(const char* utf8) {
    std::string s = utf8;
    for (const char* from : {"「", "」", "、"}) {
      std::string to = std::string(from) == "、" ? "," : "\"";
      for (size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, 3, to);
    }
    return Utf8ToSjis(s);
  }
  std::string Calc(const char* utf8) { return SjisToUtf8(in.Calculate(Program(utf8))); }
  std::string Eval(const char* utf8) { return SjisToUtf8(in.Evaluate(Program(utf8))); }
  std::string Expand(const char* utf8) { return SjisToUtf8(in.ExpandLiteral(Program(utf8))); }
  const std::string& Type() const { return in.S.SoreType; }

  // The message of the error the expression raises (UTF-8), or "" when none.
  std::string CalcError(const char* utf8) {
    return ErrorOf([&] { Calc(utf8); });
  }
  std::string EvalError(const char* utf8) {
    return ErrorOf([&] { Eval(utf8); });
  }
  template <class F>
  std::string ErrorOf(F f) {
    try {
      f();
    } catch (const ESorane& e) {
      return SjisToUtf8(e.Message());
    }
    return "";
  }
};

// ---------------------------------------------------------------- calculator

TEST_F(ExprTest, PrecedenceAndAssociativity) {
  EXPECT_EQ(Calc("3+4*2"), "11");
  EXPECT_EQ(Calc("(3+4)*2"), "14");
  EXPECT_EQ(Calc("1+2*3-4/2"), "5");
  EXPECT_EQ(Calc("2-3-4"), "-5");
  EXPECT_EQ(Calc("2^3^2"), "64");  // one level, left to right
  EXPECT_EQ(Calc("1+1=2"), "1");   // comparison below arithmetic
  EXPECT_EQ(Calc("1=1&&2=2"), "1");
  EXPECT_EQ(Calc("1||0&&0"), "0");  // && and || share a level, left to right
  EXPECT_EQ(Type(), "e");
}

TEST_F(ExprTest, ArithmeticEdges) {
  EXPECT_EQ(Calc("2^0"), "1");
  EXPECT_EQ(Calc("0^0"), "1");
  EXPECT_EQ(Calc("7%3"), "1");
  EXPECT_EQ(Calc("-7%3"), "-1");
  EXPECT_EQ(Calc("7.9%3"), "1");
  EXPECT_EQ(Calc("7/0"), "0");
  EXPECT_EQ(Calc("7%0"), "0");
  EXPECT_EQ(Calc("1/3"), "0.333333333333333");
  EXPECT_EQ(Calc("10^20"), "1E20");
  // Integers out of range saturate instead of overflowing.
  EXPECT_EQ(Calc("1.0E30%7"), "0");  // 9223372036854775807 % 7
  EXPECT_EQ(Calc("-1.0E30%-1"), "0");
  EXPECT_EQ(Calc("「abc」+1"), "1");
}

TEST_F(ExprTest, SignsWhereAnOperandIsExpected) {
  Var("A", "4", "e");
  EXPECT_EQ(Calc("-3*2"), "-6");
  EXPECT_EQ(Calc("2*-3"), "-6");
  EXPECT_EQ(Calc("3--2"), "5");
  EXPECT_EQ(Calc("-(1+2)"), "-3");
  EXPECT_EQ(Calc("-A+1"), "-3");
  EXPECT_EQ(Calc("+5"), "5");
  EXPECT_EQ(Calc("2*+$10"), "32");
}

TEST_F(ExprTest, TwoCharacterOperators) {
  const char* const kTrue[] = {"2<=2", "1=<2", "3>=2", "3=>3", "1<>2", "1><2", "1==1"};
  const char* const kFalse[] = {"3<=2", "2=<1", "2>=3", "2=>3", "1<>1", "1><1", "1==2"};
  for (const char* e : kTrue) EXPECT_EQ(Calc(e), "1") << e;
  for (const char* e : kFalse) EXPECT_EQ(Calc(e), "0") << e;
}

TEST_F(ExprTest, ComparisonIsNumericOnlyWhenTheRightOperandIsANumber) {
  EXPECT_EQ(Calc("「10」=10"), "1");
  EXPECT_EQ(Calc("10=「10.0」"), "0");
  EXPECT_EQ(Calc("「abc」<「abd」"), "1");
  EXPECT_EQ(Calc("10>「9」"), "0");      // "10" sorts before "9"
  EXPECT_EQ(Calc("「あ」>「z」"), "1");  // bytes compare unsigned
  EXPECT_EQ(Calc("(「a」&「b」)=「ab」"), "1");
  EXPECT_EQ(Calc("(1+1)=「2」"), "1");
}

TEST_F(ExprTest, ChainsAndLogic) {
  EXPECT_EQ(Calc("1<2<3"), "1");
  EXPECT_EQ(Calc("3>2>1"), "0");  // (3>2) is 1, and 1>1 is false
  EXPECT_EQ(Calc("-1&&1"), "0");
  EXPECT_EQ(Calc("0||2"), "1");
  EXPECT_EQ(Calc("-1||0"), "0");
}

TEST_F(ExprTest, ConcatenationGivesText) {
  EXPECT_EQ(Calc("「a」&「b」"), "ab");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Calc("1+2&3"), "33");
  EXPECT_EQ(Calc("007&1"), "0071");  // a number keeps its text as written
  EXPECT_EQ(Calc("007"), "7");
  EXPECT_EQ(Type(), "e");
  // A missing operand is the empty text.
  EXPECT_EQ(Calc("5+"), "5");
  EXPECT_EQ(Calc(""), "");
  EXPECT_EQ(Type(), "s");
}

TEST_F(ExprTest, ErrorsAreOneCalculationErrorWithTheExpression) {
  std::string e = CalcError("5+*2");
  EXPECT_EQ(e, "[エラー] main.srn(0行目): 計算式に誤りがあります。演算子「*」の位置が不正。5+*2");
  // The log holds that one line, not the inner message as well.
  EXPECT_EQ(SjisToUtf8(in.ErrorLog), e + "\r\n");

  EXPECT_EQ(CalcError("5 | 2"),
            "[エラー] main.srn(0行目): 計算式に誤りがあります。計算結果が不正5 | 2");
  EXPECT_EQ(CalcError("1<<2"),
            "[エラー] main.srn(0行目): 計算式に誤りがあります。計算結果が不正1<<2");
  EXPECT_EQ(CalcError("(1+2"),
            "[エラー] main.srn(0行目): 計算式に誤りがあります。\")\"が対応していません。(1+2");
  EXPECT_EQ(CalcError("7%0.5"),
            "[エラー] main.srn(0行目): 計算式に誤りがあります。整数を0で割ろうとしました。7%0.5");
  EXPECT_NE(CalcError("(0-8)^0.5").find("プログラムで不正な操作がありました。"), std::string::npos);
}

TEST_F(ExprTest, NestedCalculationErrorsAreNotWrappedTwice) {
  // The literal's embedded expression fails inside an outer calculation.
  std::string e = CalcError("1+\"{2+*}\"");
  EXPECT_EQ(e, "[エラー] main.srn(0行目): 計算式に誤りがあります。演算子「*」の位置が不正。2+*");
}

TEST_F(ExprTest, DeepNestingEndsWithAnError) {
  std::string deep(12000, '(');
  deep += "1" + std::string(12000, ')');
  EXPECT_NE(CalcError(deep.c_str()).find("深すぎます"), std::string::npos);
  std::string minus(200000, '-');
  minus += "1";
  EXPECT_NE(EvalError(minus.c_str()).find("深すぎます"), std::string::npos);
  // The guard is released: ordinary expressions work afterwards.
  EXPECT_EQ(Calc("((1+2))*3"), "9");
}

// ---------------------------------------------------------------- evaluator

TEST_F(ExprTest, LiteralsNumbersAndWords) {
  EXPECT_EQ(Eval(""), "");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Eval("\"abc\""), "abc");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Eval("007"), "007");
  EXPECT_EQ(Type(), "e");
  EXPECT_EQ(Eval("1.5e3"), "1.5e3");
  EXPECT_EQ(Eval("1e3"), "1");  // the number 1, then the word e3, which ends it
  EXPECT_EQ(Eval("1.0e3+0"), "1000");
  EXPECT_EQ(Eval("$FF"), "255");
  EXPECT_EQ(Eval("$FFFFFFFF"), "-1");
  EXPECT_EQ(Eval("$1FFFFFFFF"), "0");
  EXPECT_EQ(Eval("$"), "0");
  EXPECT_EQ(Eval("未定義の語"), "未定義の語");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Eval("-5"), "-5");
  EXPECT_EQ(Eval("A,B"), "A");  // anything but & or an operator ends it
}

TEST_F(ExprTest, VariablesAndOperators) {
  Var("A", "5", "e");
  Var("S", "abc", "s");
  Var("U", "3", "回数の説明");
  Var("Big", "1E20", "e");
  EXPECT_EQ(Eval("A"), "5");
  EXPECT_EQ(Type(), "e");
  EXPECT_EQ(Eval("A+1"), "6");
  EXPECT_EQ(Eval("A*A-A"), "20");
  EXPECT_EQ(Eval("S=「abc」"), "1");
  EXPECT_EQ(Eval("U*2"), "6");
  // The first operand goes to the calculator as a value: 1E20 is not re-read as
  // the number 1 followed by a word.
  EXPECT_EQ(Eval("Big+1"), "1E20");
  EXPECT_EQ(Eval("(A)+1"), "6");
}

TEST_F(ExprTest, AmpersandJoinsTexts) {
  Var("B", "b", "s");
  EXPECT_EQ(Eval("\"a\"&B&1"), "ab1");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Eval("1&2"), "12");
  EXPECT_EQ(Type(), "s");
  // A line break after "&" continues the expression; its line mark is read.
  EXPECT_EQ(Eval("\"a\"&\r\n2:\"b\""), "ab");
  EXPECT_EQ(in.S.LineNo, 2);
  // An operator after a joined text calculates with that text quoted.
  EXPECT_EQ(Eval("\"a\"&\"b\"=\"ab\""), "1");
}

TEST_F(ExprTest, LiteralExpansion) {
  Var("A", "2", "e");
  EXPECT_EQ(Eval("\"合計は{A+1}円\\n\""), "合計は3円\r\n");
  EXPECT_EQ(Eval("\"a\\tb\""), "a\tb");
  EXPECT_EQ(Eval("\"a\\\"b\""), "a\"b");
  EXPECT_EQ(Eval("\"\\{A}\""), "{A}");
  EXPECT_EQ(Eval("\"a￥ｎb￥ｔc\""), "a\r\nb\tc");
  EXPECT_EQ(Eval("\"｛A＊３｝\""), "6");  // full-width braces; content made single-byte
  EXPECT_EQ(Eval("\"{Ａ＋１}\""), "3");
  EXPECT_EQ(Eval("\"x{A\""), "x2");              // an unclosed brace runs to the end of the literal
  EXPECT_EQ(Eval("`a``b\\n{A}`"), "a`b\\n{A}");  // backquotes take the text as written
  EXPECT_EQ(Expand("\"a\" & `b` & A"), "ab2");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(ErrorOf([&] { Expand("\"abc"); }),
            "[エラー] main.srn(0行目): 文字列\"abc\"の最後に」がありません。");
}

TEST_F(ExprTest, MemberAccessOnHashes) {
  THashNode* h = Hash("H");
  h->Elements->AddVariable("X", "3", "e", 0);
  h->Elements->AddVariable(Utf8ToSjis("名前"), "abc", "s", 0);
  Var("K", "X", "s");
  EXPECT_EQ(Eval("Hの X"), "3");
  EXPECT_EQ(Type(), "e");
  EXPECT_EQ(Eval("Hの、名前"), "abc");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Eval("Hの K"), "3");  // no element K: the key is K's value
  EXPECT_EQ(Eval("Hの (X)"), "3");
  EXPECT_EQ(Eval("Hの Y"), "");
  EXPECT_EQ(Type(), "s");
  EXPECT_EQ(Eval("Hの X+1"), "4");
  // The hash itself reads as its pair lines.
  Hash("E")->Elements->AddVariable("a", "1", "s", 0);
  EXPECT_EQ(Eval("E"), "a=1");
  EXPECT_EQ(Type(), "hs");
  // A variable naming the hash stands for it.
  Var("R", "H", "s");
  EXPECT_EQ(Eval("Rの X"), "3");
}

TEST_F(ExprTest, MemberAccessOnPairLines) {
  Var("P", "a=1\r\nb = x=y\r\nc", "s");
  Var("Key", "a", "s");
  EXPECT_EQ(Eval("Pの a"), "1");
  EXPECT_EQ(Eval("Pの b"), " x=y");
  EXPECT_EQ(Eval("Pの c"), "");
  EXPECT_EQ(Eval("Pの Key"), "1");
  EXPECT_EQ(Eval("Pの z"), "");
}

TEST_F(ExprTest, MemberAccessErrors) {
  auto cmd = std::make_unique<THashNode>("C", kWordCommand);
  in.S.Words.Add(std::move(cmd));
  EXPECT_EQ(EvalError("Cの X"),
            "[エラー] main.srn(0行目): オブジェクト\"C\"から、直接値を得ることは出来ません。");
  auto bare = std::make_unique<THashNode>("N", kWordHash);
  in.S.Words.Add(std::move(bare));
  EXPECT_NE(EvalError("Nの X").find("作成されていないハッシュ\"N\""), std::string::npos);
}

TEST_F(ExprTest, ObjectPropertiesAndDllFunctionsAreBrokenLinksWithoutTheirLayer) {
  auto obj = std::make_unique<THashNode>("Obj", kWordObject);
  obj->ValueToWrite() = "last";
  in.S.Words.Add(std::move(obj));
  auto dll = std::make_unique<THashNode>("Fn", kWordDll);
  in.S.Words.Add(std::move(dll));
  EXPECT_EQ(Eval("Obj"), "last");  // an object word read as a value: its value text
  EXPECT_NE(EvalError("Objの X").find("リンク切れ"), std::string::npos);
  EXPECT_NE(EvalError("Fn").find("\"Fn\":そらね命令のリンク切れ"), std::string::npos);
}

TEST_F(ExprTest, CellAccess) {
  Var("T", "a,b,c\r\n1,2,3\r\n\"x,y\"\r\n\"p,q\",r\r\n", "s");
  Var("I", "1", "e");
  Var("J", "2", "e");
  EXPECT_EQ(Eval("T#1"), "1,2,3");
  EXPECT_EQ(Eval("T#0#1"), "1");  // column 0 of row 1
  EXPECT_EQ(Eval("T#2#0"), "c");
  EXPECT_EQ(Eval("T#I#J"), "");  // row 2 has one cell
  EXPECT_EQ(Eval("T#J#I"), "3");
  EXPECT_EQ(Eval("T#(J-2)#(I)"), "1");
  EXPECT_EQ(Eval("T#2"), "x,y");         // a one-cell row is that cell, unquoted
  EXPECT_EQ(Eval("T#3"), "\"p,q\",r,");  // the line as the table is written
  EXPECT_EQ(Eval("T#9"), "");
  EXPECT_EQ(Eval("T#(0-1)"), "");
  EXPECT_EQ(Eval("T#1.5"), "");  // not an integer: outside the table
  EXPECT_EQ(Eval("T#9#0"), "");
  EXPECT_EQ(Type(), "s");  // the variable's own type mark
  EXPECT_EQ(Eval("T#0#1+T#1#1"), "3");
}

}  // namespace
}  // namespace sorane
