// A label called in an expression (名前(…)) gets its arguments bound to its
// template as a command's are: in the call form each item loses the particle
// of its slot, and a missing first argument is それ. A call whose binding
// changes nothing takes its items as pushed; the values 引数取得 gives must be
// the same either way, with caches and without.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cache_outcome.h"

namespace sorane {
namespace {

TEST(CallProtocolTest, ArgumentsLoseOnlyTheParticleOfTheirSlot) {
  Outcome o = Both(
      "「F」を、「?x」で、関数定義\n"
      "「K」を、「?の」で、関数定義\n"
      "「G」を、「?と,?を」で、関数定義\n"
      "「H」を、「?,?」で、関数定義\n"
      "「P」を、「? x ,?」で、関数定義\n"
      "Aは、「エー」\n"
      "F(ax)を、表示\n"      // an ASCII particle ends the item: it goes
      "K(Aの)を、表示\n"     // a Japanese one too
      "K(12)を、表示\n"      // numbers and words as written
      "K(1+2)を、表示\n"     // a value
      "K(A)を、表示\n"       // the word's value
      "K(3x)を、表示\n"      // a number followed by letters reads as the number
      "K(「う」)を、表示\n"  // a literal
      "G(1,2)を、表示\n"     // one item per slot, in order
      "それは、「前」\n"
      "G(5)を、表示\n"  // one short: それ comes first
      "H(1,2)を、表示\n"
      "P(ax,8)を、表示\n"  // a slot whose piece has blanks inside keeps them
      "戻る\n"
      "*F\n引数取得\n戻る\n"
      "*K\n引数取得\n戻る\n"
      "*G\n引数取得\n戻る\n"
      "*H\n引数取得\n戻る\n"
      "*P\n引数取得\n戻る\n",
      {});
  EXPECT_EQ(o.log, "");
  const std::vector<std::string> expected = {"a", "エー", "12", "3", "エー", "3",  "う", "1",
                                             "2", "前",   "5",  "1", "2",    "ax", "8"};
  EXPECT_EQ(o.lines, expected);
}

TEST(CallProtocolTest, ARedefinedTemplateBindsByItsNewParticles) {
  // The templates are the same length: only their text tells them apart.
  Outcome o = Both(
      "「K」を、「?x」で、関数定義\n"
      "2回(\n"
      "  K(ax)を、表示\n"
      ")\n"
      "「K」を、「?y」で、関数定義\n"
      "2回(\n"
      "  K(ax)を、表示\n"
      ")\n"
      "「K」を、「?x,?」で、関数定義\n"
      "K(ax,bx)を、表示\n"
      "戻る\n"
      "*K\n引数取得\n戻る\n",
      {});
  EXPECT_EQ(o.log, "");
  const std::vector<std::string> expected = {"a", "a", "ax", "ax", "a", "bx"};
  EXPECT_EQ(o.lines, expected);
}

TEST(CallProtocolTest, NumbersAreTheirOwnValuesAndOtherArgumentsAreRead) {
  Outcome o = Both(
      "「K」を、「?の」で、関数定義\n"
      "「G」を、「?と,?を」で、関数定義\n"
      "Bは、「1E5」\n"
      "Cは、-2\n"
      "K(-3)を、表示\n"
      "K( 4 )を、表示\n"
      "K(K(5))を、表示\n"
      "K(B)を、表示\n"  // a text that is no number as it reads
      "K(C*1.5)を、表示\n"
      "G(C,B)を、表示\n"
      "G(0.5,「x」)を、表示\n"
      "戻る\n"
      "*K\n引数取得\n戻る\n"
      "*G\n引数取得\n戻る\n",
      {});
  EXPECT_EQ(o.log, "");
  const std::vector<std::string> expected = {"-3", "4", "5", "1E5", "-3", "-2", "1E5", "0.5", "x"};
  EXPECT_EQ(o.lines, expected);
}

TEST(CallProtocolTest, ArgumentsBeyondTheSlotsAreTheLastItems) {
  // More items than slots: the last ones are the arguments, evaluated in
  // slot order; the first stays on the statement's stack.
  Outcome o = Both(
      "「K」を、「?の」で、関数定義\n"
      "「G」を、「?と,?を」で、関数定義\n"
      "Cは、2\n"
      "K(C,C*2)を、表示\n"
      "G(C+1,「x」,C*2)を、表示\n"
      "戻る\n"
      "*K\n引数取得\n戻る\n"
      "*G\n引数取得\n戻る\n",
      {});
  EXPECT_EQ(o.lines, (std::vector<std::string>{"4", "x", "4"}));
}

TEST(CallProtocolTest, ComputedNumbersAreWrittenAsTheFormatWritesThem) {
  // Each call runs twice: the second reads its argument's compiled form,
  // whose number result is written without being read back.
  Outcome o = Both(
      "「K」を、「?の」で、関数定義\n"
      "Cは、-2\n"
      "2回(\n"
      "  K(C/3)を、表示\n"
      "  K(C*1000000000*1000000000)を、表示\n"
      "  K(C*100000000000000)を、表示\n"
      "  K(C*1000000000000000)を、表示\n"
      "  K(C&「a」)を、表示\n"
      "  K(C+1)を、表示\n"
      ")\n"
      "戻る\n"
      "*K\n引数取得\n戻る\n",
      {});
  EXPECT_EQ(o.log, "");
  const std::vector<std::string> once = {
      "-0.666666666666667", "-2E18", "-200000000000000", "-2E15", "-2a", "-1"};
  std::vector<std::string> expected = once;
  expected.insert(expected.end(), once.begin(), once.end());
  EXPECT_EQ(o.lines, expected);
}

TEST(CallProtocolTest, RecursiveCallsOfNumbersKeepTheirArguments) {
  // Each level reads its own argument after the calls below it returned.
  Outcome o = Both(
      "「和」を、「?の」で、関数定義\n"
      "深さは、0\n"
      "Rは、和(10)\n"
      "Rを、表示\n"
      "戻る\n"
      "*和\n"
      "深さは、深さ+1\n"
      "Nの、(深さ)は、引数取得\n"
      "もし、Nの(深さ)<1ならば\n"
      "  それは、0\n"
      "違えば\n"
      "  (Sの、(深さ)は、和(Nの(深さ)-1)\n"
      "   それは、Sの(深さ)+Nの(深さ))\n"
      "深さは、深さ-1\n"
      "戻る\n",
      {"R"});
  EXPECT_EQ(o.log, "");
  EXPECT_EQ(o.lines, std::vector<std::string>{"55"});
}

TEST(CallProtocolTest, ARecursiveCallFillingTheExpressionTablesKeepsItsArguments) {
  // The deepest level compiles more texts than the tables hold while the
  // calls above it are still reading their arguments' record.
  Outcome o = Both(
      "「R」を、「?の」で、関数定義\n"
      "深さは、0\n"
      "Sは、R(2)\n"
      "戻る\n"
      "*R\n"
      "深さは、深さ+1\n"
      "Nの、(深さ)は、引数取得\n"
      "もし、Nの(深さ)<1ならば\n"
      "  (Iは、0\n"
      "   9000回(\n"
      "     Iは、I+1\n"
      "     (「Xは、I+」&I)を、そらねする\n"
      "   )\n"
      "   それは、0)\n"
      "違えば\n"
      "  (Sの、(深さ)は、R(Nの(深さ)-1)\n"
      "   それは、Sの(深さ)+Nの(深さ))\n"
      "深さは、深さ-1\n"
      "戻る\n",
      {"S", "X"});
  EXPECT_EQ(o.log, "");
  EXPECT_EQ(o.values, (std::vector<std::string>{"3", "18000"}));
}

TEST(CallProtocolTest, ArgumentsReadAsAValueLeaveSoreAsItWas) {
  // 引数取得 read as a value gives what it leaves in それ run as a statement,
  // typed as a text, and takes the arguments; それ keeps its value (a number
  // stored as one included) and its type mark.
  std::vector<std::string> marks;
  Outcome o = Both(
      "「K」を、「?の」で、関数定義\n"
      "「S」を、「?の」で、関数定義\n"
      "「G」を、「?と,?を」で、関数定義\n"
      "Xは、0\n"
      "Yは、0\n"
      "Zは、0\n"
      "K(「 a 」)を、表示\n"
      "K(7)を、表示\n"
      "S(7)を、表示\n"
      "G(1,2)を、表示\n"
      "戻る\n"
      "*K\n"
      "それは、3*4\n"
      "Xは、引数取得\n"
      "Yは、引数取得\n"
      "(それ+1)を、表示\n"
      "「[」&Y&「]」を、表示\n"
      "それは、X\n"
      "戻る\n"
      "*S\n"
      "引数取得\n"
      "Zは、それ\n"
      "戻る\n"
      "*G\n"
      "それは、「前」\n"
      "Xは、引数取得\n"
      "それを、表示\n"
      "それは、文字数(X)\n"
      "戻る\n",
      {"X", "Z"},
      [&](Interpreter& in) { marks.push_back(in.S.Words.FindExact(Utf8ToSjis("X"))->TypeMark); });
  EXPECT_EQ(o.log, "");
  const std::vector<std::string> expected = {"13", "[]", "a", "13", "[]", "7", "7", "前", "4"};
  EXPECT_EQ(o.lines, expected);
  EXPECT_EQ(o.values, (std::vector<std::string>{"1\r\n2", "7"}));
  EXPECT_EQ(marks, (std::vector<std::string>{"s", "s"}));  // (with caches and without)
}

TEST(CallProtocolTest, ACallGivesSoreBackAsTheCallerHadIt) {
  // それ empty (as it starts, typed with its description), a number stored
  // as one and a text come back, with their type marks, from a label that
  // sets それ to a number.
  auto script = [](const char* body) {
    return std::string("「K」を、「?の」で、関数定義\n") + body +
           "戻る\n"
           "*K\n"
           "それは、引数取得*100\n"
           "戻る\n";
  };
  std::vector<std::string> sore;
  auto read_sore = [&](Interpreter& in) {
    sore.push_back(SjisToUtf8(in.S.Fast.Sore->Value()));
    sore.push_back(SjisToUtf8(in.S.Fast.Sore->TypeMark));
  };
  Outcome first = Both(script("Aは、K(1)\nBは、それ\n").c_str(), {"A", "B"}, read_sore);
  EXPECT_EQ(first.log, "");
  EXPECT_EQ(first.values, (std::vector<std::string>{"100", ""}));
  Outcome second = Both(script("それは、3*4\n"
                               "Aは、K(2)+それ\n"
                               "Bは、それ+1\n"
                               "それは、「前」\n"
                               "Cは、K(3)&それ\n")
                            .c_str(),
                        {"A", "B", "C"}, read_sore);
  EXPECT_EQ(second.log, "");
  EXPECT_EQ(second.values, (std::vector<std::string>{"212", "13", "300前"}));
  // (Each script ran with caches and without.)
  const std::vector<std::string> expected = {
      "", "命令の返却値として利用", "", "命令の返却値として利用", "前", "s", "前", "s"};
  EXPECT_EQ(sore, expected);
}

TEST(CallProtocolTest, ErrorsAfterACallReportTheCallersLines) {
  // The label's 戻る ends its run on the line after which the caller goes
  // on: an error in the calling statement after the call, in the next
  // statement, and in the next pass of a loop reports the caller's line.
  Outcome o = Both(
      "「F」を、「?の」で、関数定義\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  Xは、F(I)+1\n"
      "  無い命令\n"
      ")\n"
      "F(3)を、無い動詞\n"
      "Yは、F(4)\n"
      "もう一つ無い命令\n"
      "戻る\n"
      "*F\n"
      "引数取得\n"
      "戻る\n"
      "\n",
      {"X", "Y"});
  EXPECT_EQ(o.values, (std::vector<std::string>{"3", "4"}));
  size_t fourth = 0;
  for (size_t at = o.log.find("(4行目)"); at != std::string::npos;
       at = o.log.find("(4行目)", at + 1))
    ++fourth;
  EXPECT_EQ(fourth, 2u) << o.log;
  EXPECT_NE(o.log.find("(6行目)"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("(8行目)"), std::string::npos) << o.log;
  EXPECT_EQ(o.log.find("(11行目)"), std::string::npos) << o.log;
  EXPECT_EQ(o.log.find("(12行目)"), std::string::npos) << o.log;
}

}  // namespace
}  // namespace sorane
