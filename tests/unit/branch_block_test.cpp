// The blocks a もし record runs from the copies it keeps for each block, and
// the stack budget of expressions started at changing depths: each script runs
// with its caches and without them, with the same lines, errors and values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cache_outcome.h"

namespace sorane {
namespace {

TEST(BranchBlockTest, BlocksKeptByABranchRecordFailOnTheirOwnLinesAtALaterPass) {
  // The label's blocks are copied out of the program text: from the second
  // pass of each the statement's record runs it from the copy it keeps. The
  // group fails on its last line at its fifth pass, the one-line block at its
  // second; the run goes on after each error.
  Outcome o = Both(
      "「試す」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Iを、1から、8まで、繰り返す(\n"
      "  Xは、試す(I)\n"
      ")\n"
      "戻る\n"
      "*試す\n"
      "Nは、引数取得\n"
      "もし、N%3>0ならば\n"
      "  (結果は、結果&「T」\n"
      "   もし、N=7ならば、未定義の命令です)\n"
      "違えば\n"
      "  結果は、結果&「F」&((4-N)^0.5)\n"
      "結果は、結果&「,」\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "T,T,F1,T,T,,T,T,") << o.log;
  const size_t group = o.log.find("main.srn(11行目)");
  const size_t line = o.log.find("main.srn(13行目)");
  ASSERT_NE(group, std::string::npos) << o.log;
  ASSERT_NE(line, std::string::npos) << o.log;
  EXPECT_LT(line, group) << o.log;
}

TEST(BranchBlockTest, TheSameBlocksAtTwoPlacesOfOneTextKeepTheirLines) {
  // Two labels with the same もし statement: each record keeps its own
  // copies, whose line marks are those of its own lines.
  Outcome o = Both(
      "「甲」を、「?の」で、関数定義\n"
      "「乙」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  Xは、甲(I)\n"
      "  Xは、乙(I)\n"
      ")\n"
      "戻る\n"
      "*甲\n"
      "Nは、引数取得\n"
      "もし、N<4ならば、結果は、結果&N\n"
      "違えば\n"
      "  (結果は、結果&「e」\n"
      "   未定義の命令です)\n"
      "戻る\n"
      "*乙\n"
      "Nは、引数取得\n"
      "もし、N<4ならば、結果は、結果&N\n"
      "違えば\n"
      "  (結果は、結果&「e」\n"
      "   未定義の命令です)\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "112233ee") << o.log;
  EXPECT_NE(o.log.find("main.srn(14行目)"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("main.srn(21行目)"), std::string::npos) << o.log;
}

TEST(BranchBlockTest, GroupsOfALoopsCopyFoundInTurn) {
  // The loop's copy holds groups spanning lines (run in place) and groups on
  // one line (copied), one with a "(" in a literal: each pass enters them in
  // turn, and each is found as the group it is.
  Outcome o = Both(
      "結果は、「」\n"
      "4回(\n"
      "  もし、回数%2=1ならば\n"
      "    (結果は、結果&「(」\n"
      "     結果は、結果&回数)\n"
      "  違えば、(結果は、結果&「[」。結果は、結果&回数)\n"
      "  もし、回数<3ならば、(結果は、結果&「<」)\n"
      "  違えば\n"
      "    (結果は、結果&「>」\n"
      "     もし、回数=4ならば\n"
      "       (結果は、結果&「!」\n"
      "        結果は、結果&「;」))\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "(1<[2<(3>[4>!;") << o.log;
}

TEST(BranchBlockTest, DeepNestingFailsWhereverTheOutermostExpressionStarts) {
  // Conditions and values start their expressions at different depths of the
  // stack in turn; a nesting too deep fails from either, and the expressions
  // after it work.
  const std::string deep = std::string(12000, '(') + "1" + std::string(12000, ')');
  const std::string script =
      "結果は、「」\n"
      "3回(\n"
      "  Xは、回数+1\n"
      "  もし、回数<3ならば、結果は、結果&X\n"
      "  もし、回数=2ならば、Yは、" +
      deep +
      "\n"
      "  もし、" +
      deep +
      "=1ならば、結果は、結果&「d」\n"
      "  結果は、結果&((回数))\n"
      ")\n";
  Outcome o = Both(script.c_str(), {"結果"});
  EXPECT_EQ(o.values[0], "21323") << o.log;
  size_t at = 0, errors = 0;
  while ((at = o.log.find("深すぎます", at)) != std::string::npos) ++errors, ++at;
  EXPECT_EQ(errors, 4u) << o.log;
}

}  // namespace
}  // namespace sorane
