// Event dispatch at the interpreter level: a label event while the script is
// idle runs at once on a fresh run-control stack; while a command runs it is
// stacked and runs when the command returns; event property names fold.
#include "runtime/events.h"

#include <gtest/gtest.h>

#include "library/library.h"
#include "runtime/interpreter.h"
#include "script_run_fixture.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class EventsTest : public ScriptRunFixture {
 protected:
  TPos Label(const char* name) {
    THashNode* w = in.S.Words.FindExact(Utf8ToSjis(name));
    return TPos(w->More().RefPos, w->More().RefText);
  }
};

TEST_F(EventsTest, IdleLabelEventRunsAtOnceOnAFreshStack) {
  Load("A=0\n待機\n*時間\nA=A+1\n戻る\n");
  ASSERT_TRUE(in.S.ExecPos.None());
  RaiseLabelEvent(in, Label("時間"));
  RaiseLabelEvent(in, Label("時間"));
  EXPECT_EQ(Var("A"), "2");
  EXPECT_TRUE(in.S.ExecPos.None());
  EXPECT_EQ(in.S.RunStack.Count(), 0);
  EXPECT_TRUE(in.ErrorLog.empty()) << SjisToUtf8(in.ErrorLog);
}

TEST_F(EventsTest, EventsDuringACommandRunLastFirstAfterIt) {
  Load("順=「」\n待機\n*一\n順=順&「一」\n戻る\n*二\n順=順&「二」\n戻る\n*続き\n順=順&「続き」\n");
  // As if a command at *続き were running when two events arrived.
  in.S.ExecPos = Label("続き");
  in.RunDepth = 1;
  TObjNode& host_object = *in.S.Objects.Get(0);
  host_object.EventTarget[kEventClick] = Label("一");
  host_object.EventTarget[kEventChange] = Label("二");
  FireEvent(in, host_object, kEventClick);
  FireEvent(in, host_object, kEventChange);
  EXPECT_EQ(in.S.RunStack.Count(), 2);
  EXPECT_TRUE(host_object.EventTarget[kEventAny].None());  // slot 0 kept as it was
  in.RunDepth = 0;
  in.Run();
  EXPECT_EQ(Var("順"), "二一続き");
}

TEST_F(EventsTest, PropertyNamesFoldAndTheHostIsAForm) {
  EXPECT_EQ(EventSlotOf(Utf8ToSjis("キーを押した時")), kEventKeyDown);
  EXPECT_EQ(EventSlotOf(Utf8ToSjis("クリックした時")), kEventClick);
  EXPECT_EQ(EventSlotOf(Utf8ToSjis("クリックしたとき")), -1);
  Load("母艦の、イベントは、押した\n待機\n*押した\n戻る\n");
  TObjNode* host_object = in.S.Objects.Get(0);
  ASSERT_NE(host_object, nullptr);
  EXPECT_EQ(host_object->Kind, ObjKind::kForm);
  // イベント on a form also fills マウス押した時.
  EXPECT_FALSE(host_object->EventTarget[kEventMouseDown].None());
  EXPECT_EQ(SjisToUtf8(host_object->EventText[kEventAny]), "押した");
}

}  // namespace
}  // namespace sorane
