// Scripts with objects on the Qt host, end to end: the object commands of the
// core, the widgets, and the events a person's clicks and keys raise, on the
// offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "gui_script_run.h"

namespace sorane {
namespace {

struct ObjectScript : ScriptRun {
  explicit ObjectScript(const char* utf8) : ScriptRun(utf8) {}
  std::string Var(const char* name) {
    THashNode* w = in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? SjisToUtf8(w->Value()) : std::string("(none)");
  }
  std::string Errors() { return SjisToUtf8(in.ErrorLog); }
  // The widget of the object named so.
  template <class W>
  W* Widget(const char* name) {
    THashNode* w = in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? dynamic_cast<W*>(host.ObjectWidgets().WidgetOf(w->ObjectIndex)) : nullptr;
  }
};

// Clicks and keys while the script waits run its handlers with their
// variables; a button destroyed inside its own click is freed only later.
TEST(ObjectScripts, HandlersRunWithTheirVariables) {
  ObjectScript r(
      "クリック数は、0\nキーは、0\n"
      "OKボタンを、ボタンとして、作成\n"
      "名前エディタを、エディタとして、作成\n"
      "OKボタンの、クリックした時は、押した\n"
      "名前エディタの、キー押した時は、打った\n"
      "消すボタンを、ボタンとして、作成\n"
      "消すボタンの、クリックした時は、消す\n"
      "待機\n"
      "*押した\nクリック数は、クリック数+1\nイベントオブジェクトの、名前を、誰に、得る\n戻る\n"
      "*打った\nキーは、押されたキー\n戻る\n"
      "*消す\n消すボタンを、オブジェクト破壊\n消すボタンを、ボタンとして、作成\n戻る\n");
  ASSERT_TRUE(r.Start());
  ASSERT_EQ(r.Errors(), "");
  auto* ok = r.Widget<QPushButton>("OKボタン");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), "OK");
  QTest::mouseClick(ok, Qt::LeftButton);
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_EQ(r.Var("クリック数"), "2");
  EXPECT_EQ(r.Var("誰"), "OKボタン");
  QTest::keyClick(r.Widget<QLineEdit>("名前エディタ"), Qt::Key_Return);
  EXPECT_EQ(r.Var("キー"), "13");

  QPointer<QPushButton> doomed = r.Widget<QPushButton>("消すボタン");
  QTest::mouseClick(doomed, Qt::LeftButton);
  EXPECT_EQ(r.Errors(), "");
  ASSERT_TRUE(doomed);  // hidden, not freed under its own click
  EXPECT_TRUE(doomed->isHidden());
  auto* again = r.Widget<QPushButton>("消すボタン");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, doomed.data());
}

// Dropped files: a memo without a handler appends them; a handler gets them
// in イベントの値.
TEST(ObjectScripts, DroppedFiles) {
  ObjectScript r(
      "メモ1を、メモとして、作成\nメモ1の、ファイルドロップは、1\n"
      "メモ2を、メモとして、作成\nメモ2の、ファイルドロップは、1\n"
      "メモ2の、ファイルドロップした時は、落ちた\n待機\n"
      "*落ちた\n落ちたものは、イベントの値\n戻る\n");
  ASSERT_TRUE(r.Start());
  ASSERT_EQ(r.Errors(), "");
  auto drop = [](QPlainTextEdit* memo) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/一.txt"), QUrl::fromLocalFile("/tmp/二.txt")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &enter);
    QDropEvent e(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &e);
  };
  drop(r.Widget<QPlainTextEdit>("メモ1"));
  EXPECT_EQ(r.Widget<QPlainTextEdit>("メモ1")->toPlainText(),
            QString::fromUtf8("/tmp/一.txt\n/tmp/二.txt"));
  drop(r.Widget<QPlainTextEdit>("メモ2"));
  EXPECT_EQ(r.Var("落ちたもの"), "/tmp/一.txt\r\n/tmp/二.txt");
  EXPECT_EQ(r.Widget<QPlainTextEdit>("メモ2")->toPlainText(), "");
}

// Parents: a cycle is refused with its message; the objects on a destroyed
// panel are gone with it.
TEST(ObjectScripts, ParentsAndDestroyedPanels) {
  ObjectScript cycle(
      "外パネルを、パネルとして、作成\n内パネルを、パネルとして、作成\n"
      "内パネルを、外パネルの上へ、乗せ換える\n外パネルを、内パネルの上へ、乗せ換える\n");
  cycle.Start();
  EXPECT_NE(cycle.Errors().find("外パネルを、内パネルへ、親変更に失敗。"), std::string::npos)
      << cycle.Errors();

  ObjectScript gone(
      "台パネルを、パネルとして、作成\n上ボタンを、ボタンとして、作成\n"
      "上ボタンを、台パネルの上へ、乗せ換える\n台パネルを、オブジェクト破壊\n"
      "上ボタンの、テキストを、「x」に、設定\n");
  gone.Start();
  EXPECT_NE(gone.Errors().find("作成されていません"), std::string::npos) << gone.Errors();
}

}  // namespace
}  // namespace sorane
