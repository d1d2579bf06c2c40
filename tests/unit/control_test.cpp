// Control structures at the level of the run-control records: converting
// Japanese conditions (including Shift-JIS boundaries), and what the end of a
// block does when a record is unknown or its pass fails.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class ControlTest : public ::testing::Test {
 protected:
  TestHost host;
  Interpreter in{host};

  void SetUp() override {
    in.S.SourceName = "main.srn";
    in.S.Fast.Sore = in.S.Words.AddVariable(Utf8ToSjis("それ"), "", "", -1);
  }

  std::string Convert(const std::string& sjis) { return SjisToUtf8(in.ConvertCondition(sjis)); }

  // A record whose block text is `body` and whose construct ends at `exit`.
  TRunControl Record(RunKind kind, const std::shared_ptr<const std::string>& after) {
    TRunControl r;
    r.Kind = kind;
    r.Body = std::make_shared<const std::string>("");
    r.ExitPos = TPos::Start(after);
    return r;
  }

  std::string ErrorOfCheck() {
    try {
      in.CheckRunControl();
    } catch (const ESorane& e) {
      return SjisToUtf8(e.Message());
    }
    return {};
  }
};

TEST_F(ControlTest, JapaneseConditionsBecomeOperators) {
  EXPECT_EQ(Convert(Utf8ToSjis("Aが,5以上,かつ,Bが,3")), "A>=5 && B=3");
  EXPECT_EQ(Convert(Utf8ToSjis("Aが,5以下,または,Aが,Bと等しい")), "A<=5 || A=B");
  EXPECT_EQ(Convert(Utf8ToSjis("A=1")), "A=1");
  // Literals and groups are single terms even with blanks inside.
  EXPECT_EQ(Convert(Utf8ToSjis("\"a b\"が, (1 + 2)")), "\"a b\"=(1 + 2)");
  EXPECT_EQ(Convert(""), "");
}

TEST_F(ControlTest, ParticleIsMatchedOnCharacterBoundaries) {
  // 0x8A 0x82 is one double-byte character; the half-width kana 0xAA after it
  // makes the bytes 82 AA, which would read as "が" if compared blindly.
  std::string term = std::string("X\x8A\x82\xAA");
  EXPECT_EQ(in.ConvertCondition(term + ",5"), term + "5");
  EXPECT_EQ(in.ConvertCondition(Utf8ToSjis("ががが,1")), Utf8ToSjis("がが=1"));
}

TEST_F(ControlTest, UnclosedGroupInConditionNamesTheReader) {
  try {
    in.ConvertCondition("(1=1");
    FAIL() << "no error";
  } catch (const ESorane& e) {
    EXPECT_EQ(SjisToUtf8(e.Message()),
              "[エラー] main.srn(0行目): 条件分岐で括弧の取得に失敗。\")\"が対応していません。");
  }
  // One failure, one line in the log.
  EXPECT_EQ(SjisToUtf8(in.ErrorLog),
            "[エラー] main.srn(0行目): 条件分岐で括弧の取得に失敗。\")\"が対応していません。\r\n");
}

TEST_F(ControlTest, EmptyStackEndOfTextDoesNothing) {
  EXPECT_EQ(ErrorOfCheck(), "");
  EXPECT_TRUE(in.S.ExecPos.None());
}

TEST_F(ControlTest, UnknownRecordKindIsASystemError) {
  auto after = std::make_shared<const std::string>("rest");
  in.S.RunStack.Push(Record(static_cast<RunKind>(7), after));
  EXPECT_EQ(ErrorOfCheck(),
            "[エラー] main.srn(0行目): 実行制御でエラー。特定できないシステムエラーです(ToT)"
            "\"CheckRunControl\"で未定義の構文があります。.制御スタック：0");
}

TEST_F(ControlTest, FailedPassLeavesTheLoop) {
  auto after = std::make_shared<const std::string>("after the loop");
  TRunControl r = Record(kRunWhile, after);
  r.Condition = "1 | 2";  // an operator no level accepts
  in.S.RunStack.Push(std::move(r));
  auto copy = std::make_shared<const std::string>("");
  in.S.ExecPos = TPos::Start(copy);
  std::string error = ErrorOfCheck();
  EXPECT_NE(error.find("実行制御でエラー。計算式に誤りがあります。"), std::string::npos) << error;
  EXPECT_NE(error.find(".制御スタック：0"), std::string::npos) << error;
  EXPECT_EQ(in.S.RunStack.Count(), 0);
  ASSERT_FALSE(in.S.ExecPos.None());
  EXPECT_EQ(in.S.ExecPos.p, after->c_str());
}

TEST_F(ControlTest, LoopPassesKeepTheirCopyAlive) {
  auto after = std::make_shared<const std::string>("");
  TRunControl r = Record(kRunTimes, after);
  r.Counter = 1;
  r.Limit = 2;
  std::weak_ptr<const std::string> body = r.Body;
  in.S.RunStack.Push(std::move(r));
  in.CheckRunControl();  // second pass: runs the copy again
  EXPECT_EQ(in.S.RunStack.Count(), 1);
  EXPECT_FALSE(body.expired());
  in.CheckRunControl();  // done: leaves the loop, the record is gone
  EXPECT_EQ(in.S.RunStack.Count(), 0);
  EXPECT_EQ(in.S.ExecPos.p, after->c_str());
}

TEST_F(ControlTest, EndedCaseClosesTheSwitch) {
  auto after = std::make_shared<const std::string>("");
  in.S.RunStack.Push(Record(kRunCase, after));
  in.S.SwitchValue = "9";  // left by a nested 条件分岐 that matched nothing
  in.CheckRunControl();
  EXPECT_EQ(in.S.SwitchValue, TSoraneBase::NoSwitch());
}

}  // namespace
}  // namespace sorane
