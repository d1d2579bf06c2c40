// The caches of the run-time (compiled expressions, assignments read once,
// loop passes in place) against runs without them: each script runs in one
// interpreter with its caches and in one without, and both must print the
// same lines, log the same errors and leave the same variables, whatever the
// script changes between two runs of the same statement.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cache_outcome.h"
#include "fake_object_backend.h"
#include "library/library.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "script_run_fixture.h"
#include "test_files.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class CacheTest : public ::testing::Test {
 protected:
  // 結果 after three passes of `statement`; the first pass includes a text
  // that defines the label `label` (its one statement `body`, then 戻る).
  Outcome WithLabelIncludedInFirstPass(const char* label, const char* body, const char* statement) {
    std::filesystem::path inc = std::filesystem::temp_directory_path() /
                                ("sorane_cache_" + std::to_string(getpid()) + ".srn");
    WriteRaw(inc, "*" + Utf8ToSjis(label) + "\r\n" + Utf8ToSjis(body) + "\r\n" +
                      Utf8ToSjis("戻る") + "\r\n");
    std::string script = std::string("結果は、「」\n") +
                         "Iを、1から、3まで、繰り返す(\n"
                         "  " +
                         statement +
                         "\n"
                         "  もし、I=1ならば、「" +
                         inc.string() +
                         "」を、取り込む\n"
                         ")\n";
    Outcome o = Both(script.c_str(), {"結果"});
    std::filesystem::remove(inc);
    return o;
  }
};

TEST_F(CacheTest, AWordChangedBetweenTwoRunsOfTheSameStatement) {
  // X names nothing, then a variable, then a variable with a pair line, then
  // nothing again; the statement 値は、X+1 stays the same text throughout.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  値は、X+1\n"
      "  結果は、結果&値&「,」\n"
      "  もし、I=1ならば、Xは、10\n"
      "  もし、I=2ならば、Xの、aは、1\n"
      "  もし、I=3ならば、「X」を、「Z」に、名義変更\n"
      ")\n",
      {"結果", "Z"});
  EXPECT_EQ(o.values[0], "1,11,11,1,") << o.log;
  EXPECT_EQ(o.values[1], "10=\r\na=1");
}

TEST_F(CacheTest, AWordCopiedOrPassedAsItIsChangedBetweenPasses) {
  // 写しは、X and フ(X) read X as one word: X names nothing, then a variable,
  // then a variable holding pair lines, then nothing again.
  Outcome o = Both(
      "「フ」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  写しは、X\n"
      "  結果は、結果&写し&「/」&フ(X)&「,」\n"
      "  もし、I=1ならば、Xは、10\n"
      "  もし、I=2ならば、Xの、aは、1\n"
      "  もし、I=3ならば、「X」を、「Z」に、名義変更\n"
      ")\n"
      "終わる\n"
      "*フ\n"
      "Aは、引数取得\n"
      "それは、A\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "X/X,10/10,10=\r\na=1/10=\r\na=1,X/X,") << o.log;
}

TEST_F(CacheTest, ACommandArgumentNamingAWordThatChangesBetweenPasses) {
  // The commands read X, their argument, in place: X names nothing, then a
  // variable, then a variable holding pair lines, then nothing again.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  Xを、1位で、切り捨て\n"
      "  結果は、結果&それ&「/」\n"
      "  Xの、「1」を、「9」に、置換\n"
      "  結果は、結果&それ&「/」&文字数(X)&「,」\n"
      "  もし、I=1ならば、Xは、10.25\n"
      "  もし、I=2ならば、Xの、aは、1\n"
      "  もし、I=3ならば、「X」を、「Z」に、名義変更\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "0/X/1,10.2/90.25/5,0/a=9\r\n90.25=/11,0/X/1,") << o.log;
}

TEST_F(CacheTest, ElementsAndTextVariablesInCalculationsAtEveryPass) {
  // The element H(K), and V copied from it, are typed as a number, a text of
  // digits, a text, a number with a fraction, then missing; each pass reads
  // them first in a calculation, after an operator and in conditions.
  Outcome o = Both(
      "Hの、aは、5\n"
      "Hの、bは、「12」\n"
      "Hの、cは、「x」\n"
      "Hの、dは、2.5\n"
      "Kは、「a」\n"
      "小は、0\n"
      "等は、0\n"
      "結果は、「」\n"
      "Iを、1から、5まで、繰り返す(\n"
      "  Vは、Hの(K)\n"
      "  和は、Hの(K)+I\n"
      "  差は、I-Hの(K)*2\n"
      "  V和は、I+V*2\n"
      "  もし、I<Vならば、小は、1、違えば、小は、0\n"
      "  もし、Hの(K)=「12」ならば、等は、1、違えば、等は、0\n"
      "  結果は、結果&和&「/」&差&「/」&V和&「/」&小&等&「,」\n"
      "  もし、I=1ならば、Kは、「b」\n"
      "  もし、I=2ならば、Kは、「c」\n"
      "  もし、I=3ならば、Kは、「d」\n"
      "  もし、I=4ならば、Kは、「e」\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "6/-9/11/10,14/-22/26/11,3/3/3/11,6.5/-1/9/11,5/5/5/11,") << o.log;
}

TEST_F(CacheTest, LabelArgumentsComputedAsDigitsNumbersAndTexts) {
  // A label's arguments computed at every pass: negative, zero and positive
  // whole numbers, fractions, a group read from a variable, and a text of
  // digits.
  Outcome o = Both(
      "「フ」を、「?の」で、関数定義\n"
      "「ニ」を、「?と?の」で、関数定義\n"
      "結果は、「」\n"
      "Xは、7\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  結果は、結果&フ(I-2)&「/」&フ(I*1.5)&「/」&フ((X))&「/」&ニ(I+1,「0」&I)&「,」\n"
      ")\n"
      "終わる\n"
      "*フ\n"
      "Aは、引数取得\n"
      "それは、A&「:」&(A+1)\n"
      "戻る\n"
      "*ニ\n"
      "Aは、引数取得\n"
      "それは、A\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "-1:0/1.5:2.5/7:8/2\r\n01,0:1/3:4/7:8/3\r\n02,1:2/4.5:5.5/7:8/4\r\n03,")
      << o.log;
}

TEST_F(CacheTest, ALabelArgumentWrittenAsAWordBeforeParentheses) {
  // フ(G(I)) calls the label G, フ(文字数(…)) a command; N(I), N being a
  // variable, is evaluated (reading "(I)" after it fails, logged), and from
  // the second pass on N is a dictionary.
  Outcome o = Both(
      "「フ」を、「?の」で、関数定義\n"
      "Nは、7\n"
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  結果は、結果&フ(G(I))&フ(文字数(「ab」&I))&フ(N(I))&「,」\n"
      "  Nの、2は、「二」\n"
      ")\n"
      "終わる\n"
      "*フ\n"
      "それは、「<」&引数取得&「>」\n"
      "戻る\n"
      "*G\n"
      "それは、「G」\n"
      "戻る\n",
      {"結果"});
  // N's value is passed as it is, pair lines and all (it was once read again
  // as an expression: "2=二…" compared 2 with 二 and passed 0).
  EXPECT_EQ(o.values[0], "<G><3><7>,<G><3><2=二\r\n7=>,<G><3><2=二\r\n7=>,") << o.log;
}

TEST_F(CacheTest, ALabelArgumentWrittenAsAWordThatNamesALabelFromTheSecondPass) {
  // 倍(I) names nothing in the first pass (the argument is evaluated whole)
  // and a label included then from the second pass on (a call); with blanks
  // around it, the same. 倍 alone is pushed as written and read by the label.
  std::filesystem::path inc = std::filesystem::temp_directory_path() /
                              ("sorane_cache_arg_" + std::to_string(getpid()) + ".srn");
  WriteRaw(inc, Utf8ToSjis("*倍\r\nそれは、I*2\r\n戻る\r\n"));
  std::string script = std::string(
                           "「フ」を、「?の」で、関数定義\n"
                           "結果は、「」\n"
                           "Iを、1から、3まで、繰り返す(\n"
                           "  結果は、結果&フ(倍(I))&フ( 倍(I) )&フ(倍)&「,」\n"
                           "  もし、I=1ならば、「") +
                       inc.string() +
                       "」を、取り込む\n"
                       ")\n"
                       "終わる\n"
                       "*フ\n"
                       "それは、「<」&引数取得&「>」\n"
                       "戻る\n";
  Outcome o = Both(script.c_str(), {"結果"});
  std::filesystem::remove(inc);
  EXPECT_EQ(o.values[0], "<倍><倍><倍>,<4><4><4>,<6><6><6>,") << o.log;
}

TEST_F(CacheTest, NumbersPushedAsTheirValuesAndReadAgainByACommand) {
  // INT and 文字数 read the value of their argument, pushed as its text: whole,
  // with a fraction, negative, written with an exponent, and text that only
  // looks like a number.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  "
      "結果は、結果&INT(I/2)&「:」&INT(0-I/4)&「:」&文字数(I/"
      "3)&「:」&文字数(I*1000000000000000000000)\n"
      "  結果は、結果&「:」&文字数(「1.」&I)&「:」&INT(「-」&I&「.5」)&「,」\n"
      ")\n",
      {"結果"});
  // 2E21 reaches 文字数 whole (it once read again as the literal 2).
  EXPECT_EQ(o.values[0], "0:0:17:4:3:-1,1:0:17:4:3:-2,1:0:1:4:3:-3,2:-1:16:4:3:-4,") << o.log;
}

TEST_F(CacheTest, LiteralsPassedAsWrittenToACommand) {
  // Literals in a call form reach the command as written and are read there:
  // plain, with an embedded expression (full and half width), with escapes,
  // empty, and with double-byte characters whose second byte is "\\".
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  結果は、結果&文字数(「abc」)&文字数(「a{I*50}b」)&文字数(「a｛I｝b」)&「:」\n"
      "  結果は、結果&文字数(「a\\tb」)&文字数(「a￥tb」)&文字数(「」)&文字数(「ソ表」)&「,」\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "343:3302,353:3302,353:3302,") << o.log;
}

TEST_F(CacheTest, AVerbStandingAloneNamesAnotherWordAtEveryPass) {
  // 合図 alone on its line calls a label, then names nothing (renamed away:
  // the error is logged and the run goes on at the next line, which fails the
  // same way), then the label again; written with ";" after it, it runs in a
  // step of its own.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  合図\n"
      "  合図;結果は、結果&「;」\n"
      "  もし、I=1ならば、「合図」を、「休み」に、名義変更\n"
      "  もし、I=2ならば、「休み」を、「合図」に、名義変更\n"
      ")\n"
      "終わる\n"
      "*合図\n"
      "結果は、結果&I\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "11;33;") << o.log;
  EXPECT_NE(o.log.find("未定義の命令"), std::string::npos) << o.log;
}

TEST_F(CacheTest, TheTargetOfAnAssignmentRenamedBetweenTwoPasses) {
  // The word X was written by the first two passes; renamed to Y, it is not
  // the target any more: the third pass makes a new X.
  Outcome o = Both(
      "Iを、1から、3まで、繰り返す(\n"
      "  Xは、I*10\n"
      "  もし、I=2ならば、「X」を、「Y」に、名義変更\n"
      ")\n",
      {"X", "Y"});
  EXPECT_EQ(o.values[0], "30") << o.log;
  EXPECT_EQ(o.values[1], "20");
}

TEST_F(CacheTest, IntegersAssignedAsWrittenAtEveryPass) {
  // Each pass assigns the same literals: integers as the number format
  // writes them (stored as numbers from the second pass) and others that are
  // not (leading zero, "-0", 16 digits, a fraction), to a variable that was a
  // hash before, and to a system variable that cannot be written. A number
  // on the right of a comparison compares as a number, a text as a text.
  Outcome o = Both(
      "Hの、aは、1\n"
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Aは、12\n"
      "  Bは、-7\n"
      "  Cは、007\n"
      "  Dは、-0\n"
      "  Eは、1234567890123456\n"
      "  Fは、2.50\n"
      "  Hは、0\n"
      "  もし、9<Aならば、小は、1、違えば、小は、0\n"
      "  結果は、結果&A&B&C&D&E&F&H&小&「,」\n"
      "  それは、5\n"
      "  隠しファイルは、3\n"
      ")\n",
      {"結果", "H", "隠しファイル"});
  EXPECT_EQ(o.values[0],
            "12-7007-012345678901234562.5001,12-7007-012345678901234562.5001,"
            "12-7007-012345678901234562.5001,")
      << o.log;
  EXPECT_EQ(o.values[1], "0");
  EXPECT_EQ(o.values[2], "2");
  // (Each pass reports the system variable, which keeps its value.)
  size_t reports = 0;
  for (size_t at = o.log.find("隠しファイル"); at != std::string::npos;
       at = o.log.find("隠しファイル", at + 1))
    ++reports;
  EXPECT_EQ(reports, 3u) << o.log;
}

TEST_F(CacheTest, MemberAssignmentsReadAgainKeepTheirLines) {
  // The first value goes on over a line break, the second does not; the
  // errors after them report their own lines at every pass.
  Outcome o = Both(
      "結果は、「」\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  辞書の、(I)は、I&\n"
      "    「!」\n"
      "  無い命令\n"
      "  辞書の、(I+2)は、I*3\n"
      "  無い命令\n"
      "  結果は、結果&辞書の(I)&辞書の(I+2)\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "1!32!6") << o.log;
  EXPECT_NE(o.log.find("(5行目)"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("(7行目)"), std::string::npos) << o.log;
}

TEST_F(CacheTest, ALabelDefinedByAnIncludedTextAfterTheFirstPass) {
  // 倍 names nothing in the first pass (its own name); the included text then
  // defines the label, which the same expression calls from the second pass on.
  Outcome o = WithLabelIncludedInFirstPass("倍", "それは、I*2", "結果は、結果&倍&「,」");
  EXPECT_EQ(o.values[0], "倍,4,6,") << o.log;
}

TEST_F(CacheTest, AVariableTurnedIntoAnObject) {
  // 単語コピー makes the word B an object where it stands: the same word, now
  // read as the object's default value.
  Outcome o = Both(
      "「ボタン1」を、ボタンとして、作成\n"
      "ボタン1は、「押して」\n"
      "Bは、5\n"
      "結果は、「」\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  値は、B&「!」\n"
      "  結果は、結果&値&「,」\n"
      "  もし、I=1ならば、「ボタン1」から、「B」へ、単語コピー\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "5!,押して!,") << o.log;
}

TEST_F(CacheTest, ACommandStatementWhoseVerbIsDefinedAfterTheFirstPass) {
  // 「,」を、加える reads its tokens once; its verb names nothing in the first
  // pass (an error naming the items) and a label of the included text later.
  Outcome o = WithLabelIncludedInFirstPass("加える", "結果は、結果&I", "「,」を、加える");
  EXPECT_EQ(o.values[0], "123") << o.log;  // 取り込む also runs the text once
  EXPECT_NE(o.log.find("未定義の命令"), std::string::npos) << o.log;
}

TEST_F(CacheTest, ABlockRunByRecursiveCallsAtOnce) {
  // The group after 違えば is running in every caller while the callee reads
  // it again; a block nested in it on its own lines runs in place.
  Outcome o = Both(
      "「数える」を、「?の」で、関数定義\n"
      "深さは、0\n"
      "記録は、「」\n"
      "結果は、数える(5)\n"
      "戻る\n"
      "*数える\n"
      "深さは、深さ+1\n"
      "Nの、(深さ)は、引数取得\n"
      "もし、Nの(深さ)<1ならば\n"
      "  それは、0\n"
      "違えば\n"
      "  (記録は、記録&Nの(深さ)\n"
      "   もし、Nの(深さ)=3ならば\n"
      "     (記録は、記録&「!」\n"
      "      記録は、記録&「?」)\n"
      "   それは、Nの(深さ)+数える(Nの(深さ)-1))\n"
      "深さは、深さ-1\n"
      "戻る\n",
      {"結果", "記録"});
  EXPECT_EQ(o.values[0], "15") << o.log;
  EXPECT_EQ(o.values[1], "543!?21");
}

TEST_F(CacheTest, NumberVariablesKeepTheirTextInTextOperations) {
  // N and M are typed as numbers; M's text is not the number format's (007)
  // and must reach the concatenations as written.
  Outcome o = Both(
      "Mは、「007」\n"
      "Mを、数値として扱う\n"
      "Nは、-12\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  結果は、N*1&M&「,」&M*1&「,」&N&M\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "-12007,7,-12007") << o.log;
}

TEST_F(CacheTest, ATextBuiltInALoopGrowsInPlaceOnlyWhenNothingRuns) {
  // 文 grows in place (its own value, a number, a literal with an embedded
  // variable, itself); 記録 joins a label that changes it, so it is read as
  // the value read before the label runs (the label's own assignment is
  // overwritten); 数 starts as a number.
  Outcome o = Both(
      "文は、「」\n"
      "記録は、「<」\n"
      "数は、7\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  文は、文&I&「[{I}]」&文\n"
      "  記録は、記録&変える&「>」\n"
      "  数は、数&I\n"
      ")\n"
      "終わる\n"
      "*変える\n"
      "記録は、「!」\n"
      "それは、「+」\n"
      "戻る\n",
      {"文", "記録", "数"});
  EXPECT_EQ(o.values[0], "1[1]2[2]1[1]3[3]1[1]2[2]1[1]") << o.log;
  EXPECT_EQ(o.values[1], "<+>+>+>") << o.log;
  EXPECT_EQ(o.values[2], "7123") << o.log;
}

TEST_F(CacheTest, CalculationsOfNumberVariablesAtEveryPass) {
  // 値は、N%Z and its kin are calculated from the numbers alone (a divisor of
  // 0 gives 0, the levels of the operators kept); a divisor that truncates to
  // 0 fails as the text reports it, at every pass; a text variable among the
  // operands is read as the text.
  Outcome o = Both(
      "結果は、「」\n"
      "Nは、7\n"
      "Tは、「3」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Zは、I-2\n"
      "  値は、N%Z\n"
      "  結果は、結果&値&「,」\n"
      "  値は、N-1.5\n"
      "  結果は、結果&値&「,」\n"
      "  値は、N+T\n"
      "  結果は、結果&値&「,」\n"
      "  値は、N+I*N%4-Z\n"
      "  結果は、結果&値&「;」\n"
      "  値は、N%0.5\n"
      "  値は、N+I*N%0.5\n"
      "  もし、I*N%3=1ならば、結果は、結果&「!」\n"
      "  もし、N%0.5=0ならば、結果は、結果&「?」\n"
      ")\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "0,5.5,10,11;!0,5.5,10,9;0,5.5,10,7;") << o.log;
  EXPECT_NE(o.log.find("整数を0で割ろうとしました"), std::string::npos) << o.log;
}

TEST_F(CacheTest, AnEventJumpIntoABlockThatRanFromItsCopy) {
  auto events = [](Interpreter& in) {
    THashNode* w = in.S.Words.FindExact(Utf8ToSjis("途中"));
    ASSERT_NE(w, nullptr);
    RaiseLabelEvent(in, TPos(w->More().RefPos, w->More().RefText));
    RaiseLabelEvent(in, TPos(w->More().RefPos, w->More().RefText));
  };
  Outcome o = Both(
      "合計は、0\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  合計は、合計+I\n"
      "*途中\n"
      "  合計は、合計+100\n"
      ")\n"
      "待機\n",
      {"合計"}, events);
  EXPECT_EQ(o.values[0], "506") << o.log;
}

TEST_F(CacheTest, MemberAssignmentsReadOnceFollowTheirOwnerAndKey) {
  // The key K changes, the literal key is expanded at every pass, and H turns
  // from a hash into a variable holding pair lines.
  Outcome o = Both(
      "Kは、「a」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  Hの、(K)は、I\n"
      "  Hの、「k{I}」は、I*10\n"
      "  Hの、bは、I\n"
      "  もし、I=2ならば、Kは、「c」\n"
      "  もし、I=3ならば、Hは、「x=1」\n"
      ")\n"
      "結果は、「」&H\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "b=4\r\nc=4\r\nx=1\r\nk4=40") << o.log;
  // A key literal whose expansion fails at the second pass: the run goes on
  // after the literal, as reading the statement would.
  Outcome failing = Both(
      "Yは、1\n"
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  辞書の、「k{I%Y}」は、I\n"
      "  結果は、結果&I\n"
      "  Yは、0.5\n"
      ")\n",
      {"結果"});
  EXPECT_NE(failing.log.find("整数を0で割ろうとしました。"), std::string::npos) << failing.log;
}

TEST_F(CacheTest, AMemberKeyWrittenAsALiteralIsFirstLookedForAsWritten) {
  // The key "a" (with its quotes) is found by 辞書の(「a」) before the key a.
  Outcome o = Both(
      "辞書の、aは、7\n"
      "結果は、辞書の(「a」)\n"
      "Kは、CHR(34)&「a」&CHR(34)\n"
      "辞書の、(K)は、5\n"
      "結果は、結果&辞書の(「a」)\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "75") << o.log;
}

TEST_F(CacheTest, ALiteralWithAnExpressionAsAnItemOfAStatement) {
  // The key 「k{X}」 is expanded at every pass as X changes.
  Outcome o = Both(
      "Iを、1から、3まで、繰り返す(\n"
      "  辞書の、「k{X}」は、I\n"
      "  もし、I=1ならば、Xは、10\n"
      "  もし、I=2ならば、「X」を、「Z」に、名義変更\n"
      ")\n"
      "結果は、「」&辞書\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "kX=3\r\nk10=2") << o.log;
}

TEST_F(CacheTest, CallsInsideExpressionsRunOnceInTheirOrder) {
  // The call runs once per pass and before the words after it are read; a
  // condition with a call takes the same branch.
  Outcome o = Both(
      "「百倍」を、「?の」で、関数定義\n"
      "呼出数は、0\n"
      "Yは、1\n"
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Xは、百倍(I)+Y*2&「,」\n"
      "  もし、百倍(I)>150ならば、結果は、結果&「大」\n"
      "  結果は、結果&X&SQRT(I*I)&「;」\n"
      "  結果は、結果&(数える+数える*10)&「;」\n"
      ")\n"
      "戻る\n"
      "*数える\n"
      "呼出数は、呼出数+1\n"
      "それは、呼出数\n"
      "戻る\n"
      "*百倍\n"
      "呼出数は、呼出数+1\n"
      "Yは、Y+10\n"
      "Aは、引数取得\n"
      "それは、A*100\n"
      "戻る\n",
      {"結果", "呼出数"});
  EXPECT_EQ(o.values[0], "122,1;43;大262,2;87;大402,3;131;") << o.log;
  EXPECT_EQ(o.values[1], "12");
}

TEST_F(CacheTest, ErrorsAfterACallInsideAnExpression) {
  // Once a call has run, a fault, an error inside a later call and a word
  // that no longer names a function are reported or read as the text does.
  Outcome o = Both(
      "「一」を、「?の」で、関数定義\n"
      "「二」を、「?の」で、関数定義\n"
      "Vは、5\n"
      "結果は、「」\n"
      "記録は、「」\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  Xは、一(1)+1%0.5\n"
      "  Xは、一(1)+(2%0.5)\n"
      "  Xは、(一(1)+存在しない(1))*2\n"
      "  Xは、一(1)&存在しない(2)&「後」\n"
      "  Xは、1+一(0)+CHR(-99999999)\n"
      "  Xは、(一(0)+CHR(-99999999))*2\n"
      "  Xは、一(1)+二(一(9))*3\n"
      "  結果は、結果&X&「,」\n"
      ")\n"
      "戻る\n"
      "*一\n"
      "Aは、引数取得\n"
      "記録は、記録&A\n"
      "もし、I=2ならば、「V」から、「二」へ、単語コピー\n"
      "それは、A\n"
      "戻る\n"
      "*二\n"
      "それは、引数取得\n"
      "戻る\n",
      {"結果", "記録"});
  EXPECT_EQ(o.values[0], "28,6,") << o.log;
  // The group after a word that no longer names a function is still read.
  EXPECT_EQ(o.values[1], "1111001911110019") << o.log;
  EXPECT_NE(o.log.find("計算式に誤りがあります。"), std::string::npos) << o.log;
}

TEST_F(CacheTest, AWordOrAnElementAndACallInOneCalculation) {
  // Y op 増(…): Y is read before the call, which changes it; the call gives
  // a number or a text ("十", compared as a text on the right of <), raises
  // an error inside (reported for the calculation), and at the last pass no
  // longer names a function (a copy of Y took its place).
  Outcome o = Both(
      "「増」を、「?の」で、関数定義\n"
      "Yは、1\n"
      "Nの、(1)は、「5」\n"
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Aは、Y+増(I)\n"
      "  Bは、Nの(1)*増(I)\n"
      "  Cは、Y<増(I)\n"
      "  Dは、Y-増(0)\n"
      "  結果は、結果&A&「/」&B&「/」&C&「/」&D&「/」&Y&「,」\n"
      "  もし、I=2ならば、「Y」から、「増」へ、単語コピー\n"
      ")\n"
      "戻る\n"
      "*増\n"
      "Vは、引数取得\n"
      "Yは、Y+V\n"
      "もし、V=2ならば\n"
      "  それは、「十」\n"
      "違えば\n"
      "  それは、V*10\n"
      "もし、V=0ならば、存在しない命令\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "11/50/1/4/4,4/0/0/10/10,20/50/0/0/10,") << o.log;
  EXPECT_NE(o.log.find("存在しない命令"), std::string::npos) << o.log;
}

TEST_F(CacheTest, MemberKeysWrittenAsWordsAtEveryPass) {
  // The key word K holds a whole number, a number written otherwise, a text,
  // nothing (removed), and names a hash: the element written is the one the
  // key's value names, whatever K became since the last pass.
  Outcome o = Both(
      "Kは、1\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  Hの、(K)は、I\n"
      "  Hの、Kは、I*10\n"
      "  もし、I=1ならば、Kは、「007」\n"
      "  もし、I=2ならば、Kは、「キー」\n"
      "  もし、I=3ならば、Kは、1.50\n"
      "  もし、I=4ならば、「K」を、辞書として扱う\n"
      "  もし、I=5ならば、Kは、2\n"
      ")\n"
      "結果は、「」&H\n",
      {"結果"});
  EXPECT_NE(o.values[0].find("キー=3"), std::string::npos) << o.values[0] << o.log;
  EXPECT_NE(o.values[0].find("007=2"), std::string::npos) << o.values[0] << o.log;
}

TEST_F(CacheTest, ElementsReadByWholeNumberKeysAtEveryPass) {
  // Nの(K) with K a counter, a text written as a whole number or otherwise
  // ("03" names another element than "3"), a number beyond the small ones,
  // below zero: between passes an element missing at one pass is added and
  // N is made to stand for another hash, and every read finds what K's value
  // names now.
  Outcome o = Both(
      "Nの、(1)は、「一」\n"
      "Nの、(3)は、「三」\n"
      "Nの、(「03」)は、「零三」\n"
      "Nの、(300)は、「三百」\n"
      "Nの、(-1)は、「負」\n"
      "Mの、(1)は、「別」\n"
      "記録は、「」\n"
      "Iを、1から、8まで、繰り返す(\n"
      "  Kは、I-2\n"
      "  もし、I=3ならば、Kは、0\n"
      "  もし、I=4ならば、Kは、「3」\n"
      "  もし、I=6ならば、Kは、「03」\n"
      "  もし、I=7ならば、Kは、300\n"
      "  もし、I=8ならば、Kは、1\n"
      "  Aは、Nの(K)\n"
      "  Bは、Nの(K)&「/」\n"
      "  Cは、Nの(K)+1\n"
      "  記録は、記録&A&B&C&「,」\n"
      "  もし、I=2ならば、Nの、(0)は、「零」\n"
      "  もし、I=4ならば、Nの、(3)は、33\n"
      "  もし、I=7ならば、Nは、「M」\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "負負/1,/1,零零/1,三三/1,3333/34,零三零三/1,三百三百/1,別別/1,") << o.log;
}

TEST_F(CacheTest, ElementsReadAloneOrCalculatedWhileTheirWordsChangeKind) {
  // Nの(K) read alone takes the element's text and the last letter of its
  // type: "10" typed as a text compares as a text on the right (5<A is 0),
  // 10 typed as a number as a number; a missing element reads as "". Between
  // passes the words stay where they are but change kind: K becomes a hash
  // and then a number again, N a text and then a hash holding other
  // elements, and an element read as a number is replaced by a text.
  Outcome o = Both(
      "Nの、(1)は、「10」\n"
      "Nの、(2)は、10\n"
      "記録は、「」\n"
      "Iを、1から、9まで、繰り返す(\n"
      "  Kは、I%3\n"
      "  もし、I=4ならば、「K」を、辞書として扱う\n"
      "  もし、I=5ならば、「K」を、数値として扱う\n"
      "  もし、I=5ならば、「N」を、文字列として扱う\n"
      "  もし、I=7ならば、「N」を、辞書として扱う\n"
      "  もし、I=7ならば、Nの、(1)は、「七」\n"
      "  もし、I=8ならば、Nの、(2)は、「八」\n"
      "  Aは、Nの(K)\n"
      "  Bは、5<A\n"
      "  Cは、Nの(K)+1\n"
      "  Dは、Nの(K)<11\n"
      "  記録は、記録&K&「:」&A&「/」&B&「/」&C&「/」&D&「,」\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(o.values[0],
            "1:10/0/11/1,2:10/1/11/1,0:/0/1/1,1=:/0/1/1,2:10/0/11/1,0:/0/1/1,"
            "1:七/1/1/1,2:八/1/1/1,0:/0/1/1,")
      << o.log;
}

TEST_F(CacheTest, ElementsAssignedByWholeNumberKeysAtEveryPass) {
  // Nの、(K)は、… with K a counter, a text written as a whole number or
  // otherwise ("03" names another element than "3"), a number beyond the
  // small ones, below zero; the statement's hash is another one at the last
  // passes (Mの is written at the same place through a variable naming it).
  Outcome o = Both(
      "Mの、(0)は、「別」\n"
      "Nの、(100)は、「百」\n"
      "名は、「N」\n"
      "記録は、「」\n"
      "Iを、1から、8まで、繰り返す(\n"
      "  Kは、I-2\n"
      "  もし、I=4ならば、Kは、「03」\n"
      "  もし、I=5ならば、Kは、「3」\n"
      "  もし、I=6ならば、Kは、300\n"
      "  もし、I=7ならば、名は、「M」\n"
      "  名の、(K)は、I*10\n"
      "  記録は、記録&K&「=」&Nの(K)&Mの(K)&「,」\n"
      ")\n"
      "記録は、記録&Nの(3)&「/」&Nの(「03」)&「/」&Nの(-1)&「/」&Mの(5)&Mの(6)\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "-1=10,0=20別,1=30,03=40,3=50,300=60,5=70,6=80,50/40/10/7080") << o.log;
}

TEST_F(CacheTest, CallResultsAssignedAloneAtEveryPass) {
  // A call alone as the value of an assignment or of a member assignment: a
  // number result (whole, a decimal, one written with an exponent, below
  // zero) is stored as its text reads, a text result as that text.
  Outcome o = Both(
      "「商」を、「?の」で、関数定義\n"
      "「字化」を、「?の」で、関数定義\n"
      "記録は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  Aは、商(I)\n"
      "  Hの、(I)は、商(I)\n"
      "  Bは、字化(I)\n"
      "  Hの、(0)は、字化(I)\n"
      "  記録は、記録&A&「/」&(A+1)&「/」&Hの(I)&「/」&(Hの(I)*2)&「/」&B&「/」&Hの(0)&「,」\n"
      ")\n"
      "戻る\n"
      "*商\n"
      "Xは、引数取得\n"
      "もし、X=1ならば、それは、X/3\n"
      "もし、X=2ならば、それは、0-X*1000000000000000\n"
      "もし、X=3ならば、それは、X*4\n"
      "もし、X=4ならば、それは、X/8\n"
      "戻る\n"
      "*字化\n"
      "Yは、引数取得\n"
      "それは、「0」&Y\n"
      "戻る\n",
      {"記録"});
  EXPECT_EQ(o.values[0],
            "0.333333333333333/1.33333333333333/0.333333333333333/0.666666666666666/01/01,"
            "-2E15/-2E15/-2E15/-4E15/02/02,12/13/12/24/03/03,0.5/1.5/0.5/1/04/04,")
      << o.log;
}

TEST_F(CacheTest, WholeCallResultsPassedOnAtEveryPass) {
  // A call's whole-number result at the edge of the numbers written with all
  // their digits, stored in an element, passed to another call and added:
  // each reads as the number format writes it.
  Outcome o = Both(
      "「倍」を、「?の」で、関数定義\n"
      "記録は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  Hの、(I)は、倍(I)\n"
      "  Aは、倍(倍(I))\n"
      "  記録は、記録&Hの(I)&「/」&A&「/」&(Hの(I)+A)&「,」\n"
      ")\n"
      "戻る\n"
      "*倍\n"
      "Xは、引数取得\n"
      "それは、X*2\n"
      "もし、X=3ならば、それは、999999999999999\n"
      "もし、X=4ならば、それは、0-999999999999999\n"
      "戻る\n",
      {"記録"});
  EXPECT_EQ(o.values[0],
            "2/4/6,4/-999999999999999/-999999999999995,999999999999999/2E15/3E15,"
            "-999999999999999/-2E15/-3E15,")
      << o.log;
}

TEST_F(CacheTest, ACallAloneThatFailsOrNoLongerNamesALabel) {
  // Aは、フ(I): an error inside the label at the second pass (the run goes
  // on after it), the word a copy of the variable V (7) at the third.
  Outcome o = Both(
      "「フ」を、「?の」で、関数定義\n"
      "Vは、7\n"
      "記録は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Aは、フ(I)\n"
      "  記録は、記録&A&「,」\n"
      "  もし、I=2ならば、「V」から、「フ」へ、単語コピー\n"
      ")\n"
      "戻る\n"
      "*フ\n"
      "Xは、引数取得\n"
      "もし、X=2ならば、存在しない命令\n"
      "それは、X*10\n"
      "戻る\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "10,20,7,") << o.log;
  EXPECT_NE(o.log.find("存在しない命令"), std::string::npos) << o.log;
}

TEST_F(CacheTest, CommandsReadAloneAsValuesAtEveryPass) {
  // A command word alone as a value runs at every pass: 引数取得 in a label,
  // and 文字数 with それ implied, それ changing between passes.
  Outcome o = Both(
      "「フ」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  結果は、結果&フ(I*I)&「:」\n"
      "  それは、「あ」&I*100\n"
      "  Xは、文字数\n"
      "  結果は、結果&X&「,」\n"
      ")\n"
      "戻る\n"
      "*フ\n"
      "Aは、引数取得\n"
      "それは、A+1\n"
      "戻る\n",
      {"結果"});
  EXPECT_EQ(o.values[0], "2:1,5:1,10:1,") << o.log;
}

TEST_F(CacheTest, CalculationsPassedToNumericCommands) {
  // Calculations as arguments of commands computed directly: whole and
  // rounded results, negative values, elements, a variable holding text or a
  // number written otherwise, results too large for every digit, a value
  // just below a whole number whose text is that number, and a fault the
  // command's own reading reports.
  Outcome o = Both(
      "Hの、1は、7\n"
      "Hの、2は、-7\n"
      "Tは、「abc」\n"
      "Uは、「2.50」\n"
      "Kは、100000000000000\n"
      "結果は、「」\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  結果は、結果&INT(I/2)&「:」&ROUND(I*2.5)&「:」&CEIL(I/-3)&「:」&FLOOR(I/-3)\n"
      "  結果は、結果&「:」&TRUNC(Hの(I)/2)&「:」&整数(T*2)&「:」&INT(U*I)\n"
      "  結果は、結果&「:」&INT(I*K*10)&「:」&SQRT(I*I+3)&「:」&POWER(I*2,I+1)&「,」\n"
      ")\n"
      "Zは、0\n"
      "Xは、INT(Z%0.5)\n"
      "Jは、9\n"
      "Iを、1から、2まで、繰り返す(\n"
      "  Yは、INT(J*0.7*10)\n"
      ")\n",
      {"結果", "X", "Y"});
  EXPECT_EQ(
      o.values[0],
      "0:2:0:-1:3:0:2:1000000000000000:2:4,1:5:0:-1:-3:0:5:2000000000000000:2.64575131106459:64,")
      << o.log;
  EXPECT_NE(o.log.find("整数を0で割ろうとしました。"), std::string::npos) << o.log;
  // 9*0.7*10 falls just below 63; its text, which INT reads, is "63".
  EXPECT_EQ(o.values[2], "63") << o.log;
}

TEST_F(CacheTest, WholeNumbersKeptAsNumbersReadAsText) {
  // Counters, sums and command results kept as numbers are read as text
  // everywhere a text is wanted: joined, counted, as a key, cut in place,
  // copied, listed with a dictionary, compared as text.
  Outcome o = Both(
      "合計は、0\n"
      "記録は、「」\n"
      "Iを、8から、11まで、繰り返す(\n"
      "  合計は、合計+I*10\n"
      "  記録は、記録&I&「/」&文字数(合計)&「/」\n"
      "  Hの、(I)は、合計\n"
      "  Xは、合計\n"
      "  Xの、「0」を、「o」に、置換\n"
      "  記録は、記録&X&「/」&それ&「/」\n"
      "  Yは、合計*3\n"
      "  Yの、「1」までを、切り取る\n"
      "  Yは、Y+1\n"
      "  記録は、記録&Y&「,」\n"
      ")\n"
      "「合計」から、「写し」へ、単語コピー\n"
      "「写し」を、文字列として扱う\n"
      "もし、写し=「380」ならば、記録は、記録&「同じ」\n"
      "辞書は、「」&H\n",
      {"記録", "辞書", "写し", "X"});
  // 置換 leaves X as it was; 切り取る changes Y's text in place (1140 keeps
  // "140", which Y+1 reads).
  EXPECT_EQ(o.values[0], "8/2/80/8o/1,9/3/170/17o/1,10/3/270/27o/1,11/3/380/38o/141,同じ") << o.log;
  EXPECT_EQ(o.values[1], "8=80\r\n9=170\r\n10=270\r\n11=380") << o.log;
  EXPECT_EQ(o.values[2], "380") << o.log;
}

TEST_F(CacheTest, DecimalsKeptAsNumbersReadAsText) {
  // Sums, quotients and command results kept as their 15 digits are read as
  // text everywhere a text is wanted (joined, counted, a key, replaced into
  // それ, cut in place, copied, compared as text) and as numbers by
  // calculations, numeric calls and commands; scientific and long ones too.
  Outcome o = Both(
      "合計は、0\n"
      "記録は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  合計は、合計+0.1*I\n"
      "  Xは、合計/3\n"
      "  記録は、記録&X&「/」&文字数(X)&「/」\n"
      "  Hの、(X)は、合計\n"
      "  Yは、X\n"
      "  Yの、「3」を、「c」に、置換\n"
      "  記録は、記録&Y&「/」&それ&「/」\n"
      "  Zは、X*7\n"
      "  Zの、「.」までを、切り取る\n"
      "  Zは、Z+1\n"
      "  Xを、2位で、四捨五入\n"
      "  Wは、それ\n"
      "  記録は、記録&Z&「/」&W&「/」&SQRT(X)&「/」&INT(X*10)&「,」\n"
      ")\n"
      "小は、1/3000000\n"
      "大は、2/3*1000000000000\n"
      "記録は、記録&小&「/」&大&「/」&(小+大)&「/」&(小=0.000000333333333333333)\n"
      "負は、0-大\n"
      "記録は、記録&「/」&負&「/」&(負+1)&「/」&(0-小)\n"
      "「合計」から、「写し」へ、単語コピー\n"
      "「写し」を、文字列として扱う\n"
      "もし、写し=「2.1」ならば、記録は、記録&「同じ」\n"
      "辞書は、「」&H\n",
      {"記録", "辞書"});
  EXPECT_EQ(o.values[0],
            "0.0333333333333333/18/0.0333333333333333/0.0ccccccccccccccc/233333333333334/0.03/"
            "0.182574185835055/0,0.1/3/0.1/0.1/8/0.1/0.316227766016838/1,0.2/3/0.2/0.2/5/0.2/"
            "0.447213595499958/2,0.333333333333333/17/0.333333333333333/0.ccccccccccccccc/"
            "33333333333334/0.33/0.577350269189625/3,0.5/3/0.5/0.5/6/0.5/0.707106781186548/5,"
            "0.7/3/0.7/0.7/10/0.7/0.836660026534076/7,"
            "3.33333333333333E-7/666666666666.667/666666666666.667/1/-666666666666.667/"
            "-666666666665.667/-3.33333333333333E-7同じ")
      << o.log;
  EXPECT_EQ(o.values[1],
            "0.333333333333333=1\r\n0.0333333333333333=0.1\r\n0.1=0.3\r\n0.2=0.6\r\n0.5=1.5\r\n"
            "0.7=2.1")
      << o.log;
}

TEST_F(CacheTest, CallResultsAndTheCallersSoreKeptAsNumbers) {
  // A function's number result is used by the calculation without its text,
  // a text result that reads as a number as a text; それ, a number stored as
  // one or a text, is the caller's again after every call.
  Outcome o = Both(
      "「倍」を、「?の」で、関数定義\n"
      "「字化」を、「?の」で、関数定義\n"
      "記録は、「」\n"
      "Iを、1から、4まで、繰り返す(\n"
      "  それは、I*1.5\n"
      "  Aは、倍(I)+文字数(「あいう」)*2\n"
      "  "
      "記録は、記録&A&「/」&それ&「/」&(それ+1)&「/」&字化(I)&「/」&(字化(I)+1)&「/」&倍(I)&倍(0.5)"
      "&「,」\n"
      ")\n"
      "それは、「前」\n"
      "Bは、倍(7)+1\n"
      "記録は、記録&B&それ\n"
      "戻る\n"
      "*倍\n"
      "Xは、引数取得\n"
      "それは、X*2\n"
      "戻る\n"
      "*字化\n"
      "Yは、引数取得\n"
      "それは、「0」&Y\n"
      "戻る\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "8/1.5/2.5/01/2/21,10/3/4/02/3/41,12/4.5/5.5/03/4/61,14/6/7/04/5/81,15前")
      << o.log;
}

TEST_F(CacheTest, WholeQuotientsCutByACommand) {
  // INT, TRUNC and 整数 of a quotient of whole numbers (variables, elements,
  // negative divisors and dividends) at every pass; dividends from 10^12 up
  // and divisors beyond 1,000, where the number format may round the
  // quotient up to the next whole number before it is cut
  // (999999999999999/7 is written 142857142857143); a zero divisor and a
  // decimal dividend.
  Outcome o = Both(
      "記録は、「」\n"
      "大は、999999999999\n"
      "超は、1000000000000\n"
      "最大は、999999999999999\n"
      "負は、0-7\n"
      "負大は、0-大\n"
      "Hの、aは、17\n"
      "Iを、-3から、3まで、繰り返す(\n"
      "  Dは、I*333+1\n"
      "  Aは、INT(I/2)+TRUNC(負/3)*10\n"
      "  Bは、INT(大/D)+0\n"
      "  Cは、INT(超/D)+INT(I/1001)\n"
      "  Eは、整数(Hの(a)/D)+INT(負大/7)*1\n"
      "  Fは、INT(最大/7)+I\n"
      "  記録は、記録&A&「/」&B&「/」&C&「/」&E&「/」&F&「/」&それ&「,」\n"
      ")\n"
      "Xは、2.5\n"
      "記録は、記録&(INT(X/2)+1)&「/」&(INT(I/0)+1)\n",
      {"記録"});
  EXPECT_EQ(o.values[0],
            "-21/-1002004008/-1002004008/-142857142857/142857142857140/,"
            "-21/-1503759398/-1503759398/-142857142857/142857142857141/,"
            "-20/-3012048192/-3012048192/-142857142857/142857142857142/,"
            "-20/999999999999/1000000000000/-142857142840/142857142857143/,"
            "-20/2994011976/2994011976/-142857142857/142857142857144/,"
            "-19/1499250374/1499250374/-142857142857/142857142857145/,"
            "-19/999999999/1000000000/-142857142857/142857142857146/,2/1")
      << o.log;
}

TEST_F(CacheTest, TextsMeasuredByCallsAtEveryPass) {
  // 文字数, LEN, バイト数 and LENB of literals taken as written, of literals
  // with an expression or an escape in them, of a variable (a text, a number
  // kept as one), of a word naming nothing and of a dictionary; それ stays.
  Outcome o = Both(
      "記録は、「」\n"
      "Sは、「あいうabc」\n"
      "Hの、aは、1\n"
      "Nは、12.5*2\n"
      "それは、「前」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Aは、文字数(「あいう」)+LEN(S)*10+バイト数(S)*100+LENB(\"ab{I}\")*1000\n"
      "  Bは、文字数(N)+文字数(未定義)*10+文字数(\"a￥tb\")*100+文字数(H)*1000\n"
      "  Cは、0+文字数(`x``y`)\n"
      "  記録は、記録&A&「/」&B&「/」&C&「/」&それ&「,」\n"
      "  Sは、S&「z」\n"
      "  Nは、N*3\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "3963/3332/3/前,4073/3332/3/前,4183/3333/3/前,") << o.log;
}

TEST_F(CacheTest, WholeNumberTextsAsOperandsAtEveryPass) {
  // Variables and elements holding whole numbers as texts typed as texts:
  // read as numbers by arithmetic, && and || and on the left of a comparison,
  // compared as texts on its right ("10"<"9"), a text when read alone.
  Outcome o = Both(
      "記録は、「」\n"
      "Xは、「10」\n"
      "Yは、「9」\n"
      "Hの、aは、「7」\n"
      "Nは、12\n"
      "「N」を、文字列として扱う\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Aは、X<Y\n"
      "  Bは、X+Y*I\n"
      "  Cは、X>5\n"
      "  Dは、5<X\n"
      "  Eは、Y=9\n"
      "  Fは、9=Y\n"
      "  Gは、X&&Y||0\n"
      "  Kは、Hの(a)*2+N\n"
      "  Lは、I<N\n"
      "  Mは、N%I+(Hの(a)>=I)\n"
      "  もし、Y ならば、記録は、記録&「真」\n"
      "  もし、Y<X ならば、記録は、記録&「小」\n"
      "  記録は、記録&A&B&C&D&E&F&G&「/」&K&「/」&L&M&「,」\n"
      "  Yは、Y&「0」\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "11910110/26/11,119010000/26/01,1271010000/26/01,") << o.log;
}

TEST_F(CacheTest, WholeNumberCalculationsReadAsTextsAtEveryPass) {
  // Calculations of whole numbers whose text is wanted: an argument of a
  // function, an expression embedded in a literal, a key, the argument of a
  // command; negative, reaching 10^15 and beyond 64 bits' worth of digits.
  Outcome o = Both(
      "「返す」を、「?を」で、関数定義\n"
      "境は、999999999999998\n"
      "記録は、「」\n"
      "Iを、-1から、2まで、繰り返す(\n"
      "  Aは、返す(I*5-100)\n"
      "  Bは、返す(境+I)\n"
      "  Cは、「[{I*7+境}][{I*3}]」\n"
      "  辞書の、(I*2)は、I\n"
      "  (I*3-10)の、文字数\n"
      "  Dは、それ\n"
      "  Eは、返す(3037000500*3037000500+I)\n"
      "  記録は、記録&A&「/」&B&「/」&C&「/」&辞書の(I*2)&「/」&D&「/」&E&「,」\n"
      ")\n"
      "おわり\n"
      "*返す\n"
      "引数取得\n"
      "戻る\n",
      {"記録"});
  EXPECT_EQ(o.values[0],
            "-105/999999999999997/[999999999999991][-3]/-1/3/9.22337203700025E18,"
            "-100/999999999999998/[999999999999998][0]/0/3/9.22337203700025E18,"
            "-95/999999999999999/[1E15][3]/1/2/9.22337203700025E18,"
            "-90/1E15/[1.00000000000001E15][6]/2/2/9.22337203700025E18,")
      << o.log;
}

TEST_F(CacheTest, WholeNumberCalculationsAndTheirLimits) {
  // Calculations of whole numbers at every pass: negative operands of %, a
  // divisor of -1, comparisons joined by && and ||, results reaching 10^15,
  // numbers beyond 64 bits or written with more than 15 digits, a product
  // that overflows 64 bits, a number typed so but written "007", and
  // dictionary elements.
  Outcome o = Both(
      "大は、9223372036854775000\n"
      "境は、999999999999999\n"
      "Mは、「007」\n"
      "「M」を、数値として扱う\n"
      "記録は、「」\n"
      "Iを、-3から、3まで、繰り返す(\n"
      "  Aは、I*I-I+7\n"
      "  Bは、A%I\n"
      "  Cは、(0-A)%I\n"
      "  Dは、A%(0-1)\n"
      "  Eは、I<=0&&A>7||I=3\n"
      "  Fは、境+I\n"
      "  Gは、大+I*1000\n"
      "  Hは、3037000500*3037000500+I\n"
      "  Kは、M+I\n"
      "  Lは、I<>1\n"
      "  "
      "記録は、記録&A&「:」&B&「:」&C&「:」&D&「:」&E&「:」&F&「:」&G&「:」&H&「:」&K&「:」&L&「,"
      "」\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(o.values[0],
            "19:1:-1:0:1:999999999999996:9.22337203685477E18:9.22337203700025E18:4:1,"
            "13:1:-1:0:1:999999999999997:9.22337203685477E18:9.22337203700025E18:5:1,"
            "9:0:0:0:1:999999999999998:9.22337203685477E18:9.22337203700025E18:6:1,"
            "7:0:0:0:0:999999999999999:9.22337203685478E18:9.22337203700025E18:7:1,"
            "7:0:0:0:0:1E15:9.22337203685478E18:9.22337203700025E18:8:0,"
            "9:1:-1:0:0:1E15:9.22337203685478E18:9.22337203700025E18:9:1,"
            "13:1:-1:0:1:1E15:9.22337203685478E18:9.22337203700025E18:10:1,")
      << o.log;
  // Each comparison, and % of negative numbers, alone.
  Outcome compared = Both(
      "記録は、「」\n"
      "Iを、-3から、3まで、繰り返す(\n"
      "  N1は、I<=0\n"
      "  N2は、I>=0\n"
      "  N3は、I<0\n"
      "  N4は、I>0\n"
      "  N5は、I=0\n"
      "  N6は、I%2\n"
      "  N7は、I>1||I<0-2\n"
      "  記録は、記録&N1&N2&N3&N4&N5&「:」&N6&「:」&N7&「,」\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(compared.values[0],
            "10100:-1:1,10100:0:0,10100:-1:0,11001:0:0,01010:1:0,01010:0:1,01010:1:1,")
      << compared.log;
  // Dictionary elements as operands: typed as numbers, written as a text,
  // missing, named through a variable holding the dictionary's name, and
  // with a key that must be calculated.
  Outcome elements = Both(
      "Hの、0は、「12」\n"
      "名前は、「H」\n"
      "記録は、「」\n"
      "合計は、0\n"
      "Iを、-1から、3まで、繰り返す(\n"
      "  Hの、(I)は、I*3\n"
      "  もし、I=2ならば、Hの、(I)は、「10」\n"
      "  合計は、合計+Hの(I)\n"
      "  Tは、Hの(I)>4\n"
      "  Uは、Hの(I+1)+1\n"
      "  Vは、名前の(I)*2\n"
      "  Wは、I+7<Hの(I)\n"
      "  記録は、記録&合計&「:」&T&「:」&U&「:」&V&「:」&W&「,」\n"
      ")\n",
      {"記録"});
  // (I+7<「10」 compares texts.)
  EXPECT_EQ(elements.values[0], "-3:0:13:-6:0,-3:0:1:0:0,0:0:1:6:0,10:1:1:20:0,19:1:1:18:0,")
      << elements.log;
}

}  // namespace
}  // namespace sorane
