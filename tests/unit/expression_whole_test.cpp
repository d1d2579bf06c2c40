// Calculations of a word or element and a label's call computed on whole
// numbers when both are whole: the results, typed and written, must be those
// of the calculator, also when they leave 64 bits, when the call gives no
// whole number and when the call changes the word read before it.
#include <gtest/gtest.h>

#include "cache_outcome.h"

namespace sorane {
namespace {

TEST(ExpressionWholeTest, AWordOrElementAndACallOfEveryKindOfResult) {
  // Pass by pass the label gives a whole number, a product leaving 64 bits,
  // a fraction, a text of digits, a text and a negative number; 値 is read
  // before the call changes it.
  Outcome o = Both(
      "「返す」を、「?の」で、関数定義\n"
      "結果は、「」\n"
      "Iを、1から、6まで、繰り返す(\n"
      "  Hの、(I)は、7\n"
      "  和は、Hの(I)+返す(I)\n"
      "  値は、100000000000000\n"
      "  積は、値*返す(I)\n"
      "  値は、100000000000000\n"
      "  差は、値-返す(I)\n"
      "  Hの、(I)は、Hの(I)*返す(I)\n"
      "  それは、Hの(I)-返す(I)\n"
      "  結果は、結果&和&「/」&積&「/」&差&「/」&Hの(I)&「/」&それ&「,」\n"
      ")\n"
      "戻る\n"
      "*返す\n"
      "Kは、引数取得\n"
      "値は、1\n"
      "もし、K=1ならば、それは、3\n"
      "もし、K=2ならば、それは、100000000000000\n"
      "もし、K=3ならば、それは、2.5\n"
      "もし、K=4ならば、それは、「12」\n"
      "もし、K=5ならば、それは、「x」\n"
      "もし、K=6ならば、それは、-4\n"
      "戻る\n",
      {"結果", "値"});
  EXPECT_EQ(o.values[0],
            "10/300000000000000/99999999999997/21/18,"
            "100000000000007/1E28/0/700000000000000/600000000000000,"
            "9.5/250000000000000/99999999999997.5/17.5/15,"
            "19/1.2E15/99999999999988/84/72,"
            "7/0/100000000000000/0/0,"
            "3/-400000000000000/100000000000004/-28/-24,")
      << o.log;
  EXPECT_EQ(o.values[1], "1");
}

TEST(ExpressionWholeTest, AnErrorInsideTheCallIsReportedAsTheCalculationsOwn) {
  Outcome o = Both(
      "「壊す」を、「?の」で、関数定義\n"
      "Xは、2\n"
      "Iを、1から、3まで、繰り返す(\n"
      "  Yは、X+壊す(I)\n"
      ")\n"
      "戻る\n"
      "*壊す\n"
      "Kは、引数取得\n"
      "もし、K=3ならば、Zは、1%0.5\n"
      "それは、K\n"
      "戻る\n",
      {"Y"});
  EXPECT_EQ(
      o.log,
      "[エラー] main.srn(9行目): 計算式に誤りがあります。整数を0で割ろうとしました。1%0.5\r\n");
  EXPECT_EQ(o.values[0], "5");  // (the run goes on in the label after the error)
}

}  // namespace
}  // namespace sorane
