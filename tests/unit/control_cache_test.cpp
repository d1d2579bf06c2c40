// もし statements read once (branch records) against runs without caches: each
// script runs with its caches and without them, and both must print the same
// lines, log the same errors (with the same line numbers) and leave the same
// variables, whatever changes between two runs of the same statement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cache_outcome.h"
#include "runtime/statement_cache.h"

namespace sorane {
namespace {

TEST(ControlCacheTest, BranchesTakenAtEveryPassWithTheirLines) {
  // A condition that goes on at the next line, blocks on lines of their own and
  // a group spanning lines: each pass takes its branch, and the statement after
  // the もし reports its own line.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  もし、I<3\n"
      "  ならば\n"
      "    結果は、結果&「T」\n"
      "  違えば\n"
      "    (結果は、結果&「F」\n"
      "     結果は、結果&I)\n"
      "  もし、I=2ならば、結果は、結果&「二」\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "TT二F3F4") << o.log;
}

TEST(ControlCacheTest, ABranchRunInPlaceInALoopIsRunFromItsRecordAtTheNextPasses) {
  // The loop's block is a copy; the group chosen at the first pass runs in
  // place in it, its ")" sealed meanwhile. The record keeps the text as read,
  // so every later pass runs the statement from it, whichever block it takes.
  uint64_t found = 0;
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  もし、I<3ならば\n"
      "    (結果は、結果&「T」\n"
      "     結果は、結果&I)\n"
      "  違えば\n"
      "    (結果は、結果&「F」\n"
      "     結果は、結果&I)\n"
      ")\n",
      {"結果"}, [&](Interpreter& in) {
        if (in.Statements) found = in.Statements->BranchesFound();
      });
  EXPECT_EQ(o.values[0], "T1T2F3F4F5F6") << o.log;
  EXPECT_EQ(found, 5u);
}

TEST(ControlCacheTest, ConditionsWhoseNumbersAreNotWholeAtEveryPass) {
  // A condition holds when its value reads as 1: a whole number only when it
  // is 1, any other number when it is written "1" (within the digits the
  // format writes). From the second line on the もし runs from its record.
  Outcome o = Both(
      "結果は、「」\n"
      "値は、「1\n0.5\n2\n1.0000000000000001\n0.99999999999999999\n-1\n1.5」\n"
      "値を、反復(\n"
      "  もし、それ*1ならば\n"
      "    結果は、結果&「T」\n"
      "  違えば\n"
      "    結果は、結果&「F」)\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "TFFTTFF") << o.log;
}

TEST(ControlCacheTest, LoopStatementsInALoopAreRunFromTheirRecords) {
  // 繰り返す and 反復 run their statement as soon as the verb is read; from
  // the second pass on each such statement runs from its record (the items as
  // written: the bound N and the list are read anew), a block on the next
  // line and a literal item included.
  uint64_t found = 0;
  Outcome o = Both(
      "結果は、「」\n"
      "Nは、2\n"
      "名簿は、「x\ny」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Jを、1から、Nまで、繰り返す(結果は、結果&J)\n"
      "  名簿を、反復(結果は、結果&それ)\n"
      "  「p」を、反復\n"
      "    (結果は、結果&それ&回数)\n"
      "  結果は、結果&「/」\n"
      "  もし、I=1ならば、Nは、3\n"
      "  もし、I=2ならば、名簿は、「z」\n"
      ")\n",
      {"結果"}, [&](Interpreter& in) {
        if (in.Statements) found = in.Statements->TokensFound();
      });
  EXPECT_EQ(o.values[0], "12xyp1/123xyp1/123zp1/") << o.log;
  EXPECT_EQ(found, 6u);
}

TEST(ControlCacheTest, ALoopConditionCalculatedAtEveryPass) {
  // ループ's condition kept compiled by its record: a number, a comparison
  // with a fraction, a text that reads as a number, and a call.
  Outcome o = Both(
      "「半分」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Kは、3\n"
      "(K)で、ループ(結果は、結果&K;Kは、K-1)\n"
      "Kは、0\n"
      "(K<2.5)で、ループ(結果は、結果&「<」&K;Kは、K+0.5)\n"
      "Tは、「2」\n"
      "(T)で、ループ(結果は、結果&「t」&T;Tは、「0」)\n"
      "Kは、7\n"
      "(半分(K)>1)で、ループ(結果は、結果&「h」&K;Kは、K-2)\n"
      "終わる\n"
      "*半分\n"
      "それは、引数取得/2\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "321<0<0.5<1<1.5<2t2h7h5h3") << o.log;
}

TEST(ControlCacheTest, ACallInsideALiteralItemThatEndsTheRun) {
  // 終わる() or 続ける() inside a literal item ends the run where it is called:
  // reading the statement stops there (it once read on from no position).
  const char* statements[] = {
      "「a{終わる()}b」を、表示",        "「x」&「a{終わる()}b」を、表示",
      "Xの、「{終わる()}」は、1",        "「{終わる()}」回(「z」を、表示)",
      "「a」と、「{続ける()}」を、連結", "Xは、1;X#「{終わる()}」は、2",
  };
  for (const char* statement : statements) {
    std::string script = std::string("「前」を、表示\n") + statement + "\n「後」を、表示\n";
    Outcome o = Both(script.c_str(), {});
    EXPECT_EQ(o.lines, std::vector<std::string>{"前"}) << statement << "\n" << o.log;
  }
}

TEST(ControlCacheTest, AConditionFormWhoseCalculationEndsTheRun) {
  // 『X?』 whose calculation runs a command that ends the run: the branches
  // after it are not read (they were once read from no position, a crash).
  const char* statements[] = {"戻?", "戻る?", "終わる?", "Hの、戻?"};
  for (const char* statement : statements) {
    std::string script = std::string("「前」を、表示\n") + statement +
                         "\n「後」を、表示\n"
                         "戻る\n";
    Outcome o = Both(script.c_str(), {});
    EXPECT_EQ(o.lines, std::vector<std::string>{"前"}) << statement << "\n" << o.log;
  }
}

TEST(ControlCacheTest, LoopBoundsWrittenInEveryForm) {
  // 繰り返す's bounds: digits, a fraction, a negative number, a variable, a
  // text of digits, an expression, and a text that is no number (an error).
  Outcome o = Both(
      "結果は、「」\n"
      "Nは、3\n"
      "Tは、「2」\n"
      "Jを、1から、2.7まで、繰り返す(結果は、結果&J)\n"
      "Jを、-2から、0まで、繰り返す(結果は、結果&J)\n"
      "Jを、Tから、Nまで、繰り返す(結果は、結果&J)\n"
      "Jを、「1」から、(N-1)まで、繰り返す(結果は、結果&J)\n"
      "Jを、1から、「x」まで、繰り返す(結果は、結果&J)\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "12-2-102312") << o.log;
  EXPECT_NE(o.log.find("数値を指定してください"), std::string::npos) << o.log;
}

TEST(ControlCacheTest, AnIfStatementWhoseWordIsRenamedInTheLoop) {
  // From the second pass on a もし statement runs from its record while もし
  // names the command; the word is reserved, so renaming it fails and every
  // pass runs the command.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  もし、I<9ならば、結果は、結果&「T」\n"
      "  もし、I=2ならば、「もし」を、「若し」に、名義変更\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "TTTT") << o.log;
  EXPECT_NE(o.log.find("予約語"), std::string::npos) << o.log;
}

TEST(ControlCacheTest, ErrorsInTheConditionAndInEitherBlockKeepTheirLines) {
  // The chosen block fails on its own line (the then-block at the first pass,
  // the else-block at the second); the condition fails from the third pass on.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  Yは、2-I\n"
      "  もし、Y^0.5>0.5ならば\n"
      "    (結果は、結果&「T」\n"
      "     未定義の命令です)\n"
      "  違えば\n"
      "    結果は、結果&「F」&((0-1)^0.5)\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "T") << o.log;
  EXPECT_NE(o.log.find("main.srn(6行目)"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("main.srn(8行目)"), std::string::npos) << o.log;
  size_t condition = o.log.find("main.srn(4行目)");
  ASSERT_NE(condition, std::string::npos) << o.log;
  EXPECT_NE(o.log.find("main.srn(4行目)", condition + 1), std::string::npos) << o.log;
}

TEST(ControlCacheTest, AStatementAfterTheLastBlockOnItsLine) {
  // Whichever block runs, the statement after the else-block is on its line.
  Outcome o = Both(
      "Iを、1から、2まで、繰り返す(\n"
      "  もし、I<2ならば\n"
      "    結果は、1\n"
      "  違えば\n"
      "    結果は、2。未定義の命令です\n"
      ")\n",
      {"結果"});
  size_t first = o.log.find("main.srn(5行目)");
  ASSERT_NE(first, std::string::npos) << o.log;
  EXPECT_NE(o.log.find("main.srn(5行目)", first + 1), std::string::npos) << o.log;
}

TEST(ControlCacheTest, NewTextsRunAtTheSamePlace) {
  // Every pass runs a new text of the same length: a freed text's place may
  // hold the next one, whose condition reads otherwise.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  Cは、「1=」&(I%2)\n"
      "  Tは、『もし、』&C&『ならば、結果は、結果&「T」。違えば、結果は、結果&「F」』\n"
      "  Tを、そらねする\n"
      "  Tは、『もし、2=』&(I%3)&『ならば、結果は、結果&「2」』\n"
      "  Tを、そらねする\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "TF2TFT2F") << o.log;
}

TEST(ControlCacheTest, ABranchOfARecursiveLabel) {
  // The else-branch (a group over two lines) runs in several calls at once;
  // each call keeps its argument and partial sum in elements keyed by the
  // depth of the call, which goes up and down as calls run.
  Outcome o = Both(
      "「フィボ」を、「?の」で、関数定義\n"
      "深さは、0\n"
      "結果は、フィボ(12)\n"
      "戻る\n"
      "*フィボ\n"
      "深さは、深さ+1\n"
      "Nの、(深さ)は、引数取得\n"
      "もし、Nの(深さ)<2ならば\n"
      "  それは、Nの(深さ)\n"
      "違えば\n"
      "  (和の、(深さ)は、フィボ(Nの(深さ)-1)\n"
      "   それは、和の(深さ)+フィボ(Nの(深さ)-2))\n"
      "深さは、深さ-1\n"
      "戻る\n",
      {"結果", "深さ"});
  EXPECT_EQ(o.values[0], "144") << o.log;
  EXPECT_EQ(o.values[1], "0");
}

// A run stopped by a step limit stops where it stops without the records,
// whatever the limit: a もし run from its record, the block it enters (a
// statement, a group over two lines) and the statement after it count the
// steps reading them would.
TEST(ControlCacheTest, AStepLimitStopsRecordedBranchesWhereReadingWould) {
  const char* script =
      "Xは、0\n"
      "Yは、0\n"
      "6回(\n"
      "  Xは、X+1\n"
      "  もし、X<3ならば\n"
      "    Yは、Y+1\n"
      "  違えば\n"
      "    (Yは、Y+10\n"
      "     Yは、Y+100)\n"
      "  Xは、X+0\n"
      ")\n";
  const auto none = [](Interpreter&) {};
  for (uint64_t limit = 1; limit <= 80; ++limit) {
    Outcome cached = RunScript(true, script, {"X", "Y"}, none, limit);
    Outcome plain = RunScript(false, script, {"X", "Y"}, none, limit);
    EXPECT_EQ(cached.values, plain.values) << "limit " << limit;
  }
  EXPECT_EQ(Both(script, {"X", "Y"}).values, (std::vector<std::string>{"6", "442"}));
}

TEST(ControlCacheTest, BreakAndContinueInsideRecordedBranches) {
  // 続ける and 抜ける leave the branch records made from a もし's record: in a
  // loop, in a group run in place, and at the bottom of a label's own stack.
  Outcome o = Both(
      "「先へ」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  もし、I=2ならば、続ける\n"
      "  もし、I=5ならば\n"
      "    (結果は、結果&「b」\n"
      "     抜ける)\n"
      "  違えば、結果は、結果&I\n"
      ")\n"
      "結果は、結果&「;」\n"
      "3回(\n"
      "  もし、回数<3ならば\n"
      "    (もし、回数=2ならば、続ける\n"
      "     結果は、結果&回数)\n"
      ")\n"
      "Xは、先へ(1)\n"
      "Xは、先へ(2)\n"
      "戻る\n"
      "*先へ\n"
      "もし、1=1ならば、続ける\n"
      "結果は、結果&「c」\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "134b;1cc") << o.log;
}

TEST(ControlCacheTest, GroupsRunInPlaceByARecursiveLabel) {
  // Each call's loop runs its own copy of the block; the groups chosen in it
  // run in place, sealed, while deeper calls seal the same groups in theirs.
  Outcome o = Both(
      "「再帰」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "深さは、0\n"
      "Xは、再帰(2)\n"
      "戻る\n"
      "*再帰\n"
      "深さは、深さ+1\n"
      "Nの、(深さ)は、引数取得\n"
      "2回(\n"
      "  もし、Nの(深さ)>0ならば\n"
      "    (結果は、結果&Nの(深さ)\n"
      "     Xは、再帰(Nの(深さ)-1))\n"
      "  違えば\n"
      "    (結果は、結果&「.」\n"
      "     結果は、結果&「,」)\n"
      ")\n"
      "深さは、深さ-1\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "21.,.,1.,.,21.,.,1.,.,") << o.log;
}

TEST(ControlCacheTest, JumpsIntoAndOutOfAChosenBlock) {
  // 飛ぶ finds its label inside the copy of the chosen block, at every pass.
  Outcome o = Both(
      "結果は、「」\n"
      "3回(\n"
      "  もし、回数>1ならば\n"
      "    (「中」へ、飛ぶ\n"
      "     結果は、結果&「x」\n"
      "*中\n"
      "     結果は、結果&回数)\n"
      "  違えば、結果は、結果&「-」\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "-23") << o.log;
}

TEST(ControlCacheTest, CountersGoOnPastACarryAndAfterTheBodyChangedThem) {
  // A counter set by the body is written anew at the next pass.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、10から、13まで、繰り返す(結果は、結果&I&「,」。もし、I=11ならば、Iは、71)\n"
      "Iを、98から、101まで、繰り返す(結果は、結果&I&「,」)\n"
      "Iを、-2から、1まで、繰り返す(結果は、結果&I&「,」)\n"
      "11回(もし、回数>8ならば、結果は、結果&回数&「;」)\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "10,11,12,13,98,99,100,101,-2,-1,0,1,9;10;11;") << o.log;
}

}  // namespace
}  // namespace sorane
