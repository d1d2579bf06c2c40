// Property values converted for a widget inside a run (numbers, flags,
// colours, coordinates, fonts), and widget events reported through the sink:
// the event variables, the handler label, and the answers for file drops and
// browser navigation.
#include <gtest/gtest.h>

#include "library/library.h"
#include "library/objects/object_events.h"
#include "library/objects/properties.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "script_run_fixture.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class ObjectRunTest : public ScriptRunFixture {
 protected:
  ObjectEventDispatcher sink{in};
  PropertyValue Convert(const char* property, const char* utf8_text) {
    return ConvertPropertyValue(in, *FindProperty(Utf8ToSjis(property)), Utf8ToSjis(utf8_text));
  }
  EventReply Report(ObjEvent what, int x = 0, int y = 0, const char* text = "") {
    ObjectEvent e;
    e.what = what;
    e.x = x;
    e.y = y;
    e.key = 65;
    e.special_keys = "Shift";
    e.text = Utf8ToSjis(text);
    return sink.ObjectEventOccurred(e);
  }
};

TEST_F(ObjectRunTest, NumbersFlagsAndColoursConvertAsTheirRowsSay) {
  Load("");
  EXPECT_EQ(Convert("X", "12.9").number, 12);  // lenient, truncated toward zero
  EXPECT_EQ(Convert("X", "-3.7").number, -3);
  EXPECT_EQ(Convert("X", "abc").number, 0);
  // 値: an integer or the row's -1; the flag says which.
  PropertyValue v = Convert("値", "5");
  EXPECT_EQ(v.number, 5);
  EXPECT_TRUE(v.converted);
  v = Convert("値", "2.5");
  EXPECT_EQ(v.number, -1);
  EXPECT_FALSE(v.converted);
  EXPECT_EQ(Convert("フォントサイズ", "x").number, 9);
  // 可視 is on for any integer but 0; 拡大機能 only above 0.
  EXPECT_EQ(Convert("可視", "-1").number, 1);
  EXPECT_EQ(Convert("可視", "0").number, 0);
  EXPECT_EQ(Convert("可視", "yes").number, 0);
  EXPECT_EQ(Convert("拡大機能", "-1").number, 0);
  EXPECT_EQ(Convert("拡大機能", "2").number, 1);
  // Colours: "#RRGGBB", else an integer with the row's default.
  EXPECT_EQ(Convert("背景色", "#FF0000").number, 255);
  EXPECT_EQ(Convert("背景色", "#00FF00").number, 65280);
  EXPECT_EQ(Convert("背景色", "$8000000F").number, 0x8000000F);
  EXPECT_EQ(Convert("背景色", "abc").number, 0xFFFFFFFF);  // -1: no colour
  EXPECT_EQ(Convert("フォント色", "abc").number, 0);
  EXPECT_EQ(Convert("ファイルドロップ", "0").number, 0);
  EXPECT_EQ(Convert("ファイルドロップ", "1").number, 1);
  // The text travels along unchanged.
  EXPECT_EQ(SjisToUtf8(Convert("テキスト", "あ\r\nい").text), "あ\r\nい");
}

TEST_F(ObjectRunTest, CoordinatesAreReadInsideTheRun) {
  Load("左は、30\n");
  PropertyValue v = Convert("位置", "(左,4)");
  EXPECT_EQ(v.point.x, 30);
  EXPECT_EQ(v.point.y, 4);
  v = Convert("サイズ", "(1,2)");  // missing corners are 0
  EXPECT_EQ(v.rect.left, 1);
  EXPECT_EQ(v.rect.top, 2);
  EXPECT_EQ(v.rect.right, 0);
  EXPECT_EQ(v.rect.bottom, 0);
  EXPECT_THROW(Convert("位置", "(1,2,3)"), ESorane);
  EXPECT_NE(in.ErrorLog.find(Utf8ToSjis("座標の指定エラー")), std::string::npos);
}

TEST_F(ObjectRunTest, FontTextsWithoutASizeTakeTheTextSize) {
  Load("文字サイズは、20\n");
  PropertyValue v = Convert("フォント書体", "ない書体|太字");
  EXPECT_TRUE(v.font.bold);
  EXPECT_EQ(v.font.size, 20);
  EXPECT_EQ(SjisToUtf8(v.font.face), "ＭＳ ゴシック");
  EXPECT_EQ(Convert("フォント書体", "|斜体|14").font.size, 14);
}

TEST_F(ObjectRunTest, MouseEventsSetTheVariablesAndRunTheHandler) {
  Load(
      "押した回は、0\n母艦の、マウス押した時は、押した\n待機\n"
      "*押した\n押した回は、押した回+1\n位置は、マウスX&「,」&マウスY\n戻る\n");
  ASSERT_TRUE(in.ErrorLog.empty()) << SjisToUtf8(in.ErrorLog);
  EventReply r = Report(ObjEvent::kMouseDown, 5, 6);
  EXPECT_TRUE(r.handled);
  EXPECT_EQ(Var("押した回"), "1");
  EXPECT_EQ(Var("位置"), "5,6");
  EXPECT_EQ(Var("押された特殊キー"), "Shift");
  EXPECT_TRUE(in.S.ExecPos.None());  // back to waiting
  // No handler for mouse up: the variables still follow the mouse.
  r = Report(ObjEvent::kMouseUp, 7, 8);
  EXPECT_FALSE(r.handled);
  EXPECT_EQ(Var("マウスX"), "7");
  EXPECT_EQ(Var("マウスY"), "8");
  EXPECT_EQ(Var("押した回"), "1");
  EXPECT_TRUE(in.ErrorLog.empty()) << SjisToUtf8(in.ErrorLog);
}

TEST_F(ObjectRunTest, KeysWithoutAHandlerLeaveTheKeyVariableAlone) {
  Load("母艦の、キー離した時は、離した\n待機\n*離した\nキーは、押されたキー\n戻る\n");
  Report(ObjEvent::kKeyDown);
  EXPECT_EQ(Var("押されたキー"), "0");
  EXPECT_EQ(Var("押された特殊キー"), "");
  Report(ObjEvent::kKeyUp);
  EXPECT_EQ(Var("キー"), "65");
}

TEST_F(ObjectRunTest, DropsAndNavigationAnswerTheWidget) {
  Load("待機\n*落とした\n受けた名前は、イベントの値\n戻る\n");
  // Nobody handles the drop: the widget does its own thing with the names,
  // which are kept whole (a name may end in a blank) without the last break.
  EventReply r = Report(ObjEvent::kFileDrop, 0, 0, "/tmp/a.txt\r\n/tmp/b c \r\n");
  EXPECT_FALSE(r.handled);
  EXPECT_EQ(Var("イベントの値"), "/tmp/a.txt\r\n/tmp/b c ");
  TObjNode& host_object = *in.S.Objects.Get(0);
  SetEventSlot(in, host_object, kEventFileDrop, Utf8ToSjis("落とした"));
  r = Report(ObjEvent::kFileDrop, 0, 0, "/tmp/x.txt");
  EXPECT_TRUE(r.handled);
  EXPECT_EQ(Var("受けた名前"), "/tmp/x.txt");

  // Navigation: the URL only when a handler waits; the permission always counts.
  r = Report(ObjEvent::kNavigate, 0, 0, "http://127.0.0.1/");
  EXPECT_FALSE(r.cancel);
  EXPECT_EQ(Var("ブラウザ移動先URL"), "");
  in.S.Words.Find(Utf8ToSjis("ブラウザURL移動許可"), false)->ValueToWrite() = "0";
  EXPECT_TRUE(Report(ObjEvent::kNavigate, 0, 0, "http://127.0.0.1/").cancel);
}

TEST_F(ObjectRunTest, GoneObjectsAndStoppedRunsGetNothing) {
  Load("回は、0\n母艦の、クリックした時は、(回は、回+1)\n待機\n");
  ObjectEvent e;
  e.what = ObjEvent::kClick;
  e.index = 5;  // no such record
  EXPECT_FALSE(sink.ObjectEventOccurred(e).handled);
  e.index = 0;
  EXPECT_TRUE(sink.ObjectEventOccurred(e).handled);
  EXPECT_EQ(Var("回"), "1");
  in.S.StopRequested = true;
  EXPECT_FALSE(sink.ObjectEventOccurred(e).handled);
  EXPECT_EQ(Var("回"), "1");
  EXPECT_EQ(SlotOfEvent(ObjEvent::kNavigate), kEventClick);
}

}  // namespace
}  // namespace sorane
