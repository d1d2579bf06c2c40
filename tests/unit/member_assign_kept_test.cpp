// Member assignments and number assignments run again from their records:
// whatever changes between two runs of the same statement, or while its value
// runs, the run with caches prints, logs and leaves what the run without them
// does.
#include <gtest/gtest.h>

#include "cache_outcome.h"

namespace sorane {
namespace {

TEST(MemberAssignKeptTest, WholeNumbersWrittenAsValuesKeepTheirTextAndType) {
  // Values written as numbers: one the number format writes so (7, -5) and
  // others it does not (007, 1.0, -0): each element reads back as written,
  // and compares as a number, at every pass, by a kept key or a computed one.
  Outcome o = Both(
      "記録は、「」\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Kは、I\n"
      "  Hの、(K)は、7\n"
      "  Gの、(K)は、007\n"
      "  Jの、(K)は、-5\n"
      "  Lの、(K)は、1.0\n"
      "  Mの、(K+1)は、-0\n"
      "  記録は、記録&Hの(K)&Gの(K)&Jの(K)&Lの(K)&Mの(K+1)&「/」&(Hの(K)+Jの(K))&"
      "(10<Gの(K))&(Hの(K)<10)&「,」\n"
      ")\n",
      {"記録"});
  EXPECT_EQ(o.values[0], "7007-51.0-0/201,7007-51.0-0/201,7007-51.0-0/201,") << o.log;
}

TEST(MemberAssignKeptTest, OwnerAndKeyChangedByTheValueBeingAssigned) {
  // Hの、(K)は、変える(I): the call changes K, turns H into a text, makes it
  // a hash again, raises an error inside, before the element is stored.
  Outcome o = Both(
      "「変える」を、「?の」で、関数定義\n"
      "Kは、1\n"
      "Hの、(0)は、0\n"
      "記録は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  Hの、(K)は、変える(I)\n"
      "  記録は、記録&K&「:」&Hの(K)&「,」\n"
      ")\n"
      "記録は、記録&H\n"
      "戻る\n"
      "*変える\n"
      "Vは、引数取得\n"
      "もし、V=2ならば、Kは、「キー」\n"
      "もし、V=3ならば、Hは、「a=1」\n"
      "もし、V=4ならば、「H」を、辞書として扱う\n"
      "もし、V=4ならば、Kは、300\n"
      "もし、V=5ならば、存在しない命令\n"
      "もし、V=6ならば、Kは、2\n"
      "それは、V*10\n"
      "戻る\n",
      {"記録"});
  EXPECT_NE(o.log.find("存在しない命令"), std::string::npos) << o.log;
  // (The key is read before the value: the call's change of K shows at the
  // next pass.)
  EXPECT_EQ(o.values[0], "1:10,キー:,キー:,300:,300:50,2:,a=1\r\n300=60") << o.log;
}

TEST(MemberAssignKeptTest, NumbersStoredInWordsThatChangeBetweenPasses) {
  // Xは、I*2 stores a number in a plain variable; between passes X becomes a
  // hash, a number again, is renamed away (a new X is made) and is a copy of
  // a label; Hの、(K)は、I*3 with H removed and made again.
  Outcome o = Both(
      "「空」を、「?の」で、関数定義\n"
      "Kは、1\n"
      "記録は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  Xは、I*2\n"
      "  Hの、(K)は、I*3\n"
      "  記録は、記録&X&「/」&Hの(K)&「/」&(X+Hの(K))&「,」\n"
      "  もし、I=1ならば、「X」を、辞書として扱う\n"
      "  もし、I=2ならば、「X」を、数値として扱う\n"
      "  もし、I=3ならば、「X」を、「Y」に、名義変更\n"
      "  もし、I=3ならば、「H」を、「G」に、名義変更\n"
      "  もし、I=4ならば、「空」から、「X」へ、単語コピー\n"
      ")\n"
      "記録は、記録&Y&「/」&Gの(1)\n"
      "戻る\n"
      "*空\n"
      "戻る\n",
      {"記録"});
  EXPECT_EQ(o.values[0].substr(0, 24), "2/3/5,4/6/10,6/9/15,8/12") << o.values[0] << o.log;
}

TEST(MemberAssignKeptTest, TextsStoredInWordsThatChangeBetweenPasses) {
  // Yは、Hの(K) stores an element's text, Zは、H a hash's pair lines (which
  // make Z a hash, also when a text was assigned to it in between) in
  // variables that between passes become a hash, a text again, and are
  // renamed away (a new one is made).
  std::vector<int> z_kinds;  // the kind of Z after each run
  Outcome o = Both(
      "Hの、(1)は、「一」\n"
      "Hの、(2)は、「二」\n"
      "記録は、「」\n"
      "Iを、1から、5まで、繰り返す(\n"
      "  Kは、I%2+1\n"
      "  Yは、Hの(K)\n"
      "  Zは、H\n"
      "  記録は、記録&Y&「/」&Zの(1)&「,」\n"
      "  もし、I=1ならば、「Y」を、辞書として扱う\n"
      "  もし、I=2ならば、Zは、「文字」\n"
      "  もし、I=3ならば、「Y」を、「W」に、名義変更\n"
      "  もし、I=4ならば、Zは、「文字」\n"
      ")\n"
      "記録は、記録&W&「/」&Z\n",
      {"記録"},
      [&](Interpreter& in) { z_kinds.push_back(in.S.Words.FindExact(Utf8ToSjis("Z"))->Kind); });
  EXPECT_EQ(o.values[0], "二/一,一/一,二/一,一/一,二/一,二/1=一\r\n2=二") << o.log;
  EXPECT_EQ(z_kinds, std::vector<int>({kWordHash, kWordHash}));
}

TEST(MemberAssignKeptTest, AValueRunningTheSameStatementAgainInARecursion) {
  // 和の、(深さ)は、F(…)+…: the call runs this statement again at every
  // depth, and texts made by そらねする at every depth take records' slots
  // meanwhile; each depth keeps its own element and the value it computed.
  Outcome o = Both(
      "「F」を、「?の」で、関数定義\n"
      "深さは、0\n"
      "結果は、F(6)\n"
      "記録は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  記録は、記録&和の(I)&「,」\n"
      ")\n"
      "戻る\n"
      "*F\n"
      "深さは、深さ+1\n"
      "Nの、(深さ)は、引数取得\n"
      "もし、Nの(深さ)<1ならば\n"
      "  それは、0\n"
      "違えば\n"
      "  (Sは、「Zは、」&Nの(深さ)&「*2」\n"
      "   Sを、そらねする\n"
      "   和の、(深さ)は、F(Nの(深さ)-1)+Nの(深さ)\n"
      "   それは、和の(深さ)+Z)\n"
      "深さは、深さ-1\n"
      "戻る\n",
      {"結果", "記録", "深さ"});
  EXPECT_EQ(o.log, "");
  // (Z is 2 after every call: the last depth that sets it has N = 1.)
  EXPECT_EQ(o.values, (std::vector<std::string>{"33", "31,23,16,10,5,1,", "0"}));
}

}  // namespace
}  // namespace sorane
