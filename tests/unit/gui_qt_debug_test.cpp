// The debug dialog on the offscreen platform: what it shows over a
// prepared run (line, grid, filter boxes, find, control structures, program
// text), its buttons driven through queued answers, and the host window's
// DEBUG and line stop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <QTimer>
#include <functional>

#include "gui/dialog_automation.h"
#include "gui/frm_debug.h"
#include "gui/frm_sorane.h"
#include "gui_script_run.h"
#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// Records the memo and message dialogs the debug dialog opens.
class RecordingHost : public TestHost {
 public:
  std::vector<std::pair<std::string, std::string>> memos;  // caption, text (UTF-8)
  std::vector<std::string> messages;
  std::optional<std::string> AskMemo(const std::string& initial,
                                     const std::string& caption) override {
    memos.emplace_back(SjisToUtf8(caption), SjisToUtf8(initial));
    return initial;
  }
  void MessageBox(const std::string& text, const std::string&) override {
    messages.push_back(SjisToUtf8(text));
  }
};

// A prepared run at line 2 with a few variables and two open control records.
class DebugDialogTest : public ::testing::Test {
 protected:
  RecordingHost host;
  Interpreter in{host};

  void SetUp() override {
    ClearDialogAnswers();
    InstallLibrary(in);
    in.S.SourceName = "t.srn";
    in.S.ProgramText = Utf8ToSjis("Aは、1\r\nBは、2\r\nCは、3\r\n");
    in.PrepareRun();
    in.S.LineNo = 2;
    in.S.Words.AddVariable("A", "1", "e", 0);
    in.S.Words.AddVariable("AB", Utf8ToSjis("一\r\n二"), "s", 1);
    in.S.Words.AddVariable("B", "2", "e", 0);
    TRunControl r;
    r.Kind = kRunFor;
    in.S.RunStack.Push(r);
    r.Kind = kRunWhile;
    in.S.RunStack.Push(r);
  }

  // Opens `dialog` on `word`; `inspect` runs while it is shown, then the queued
  // `answer` closes it. Returns the abort flag.
  bool Open(TfrmDebug& dialog, const QString& answer, std::function<void()> inspect = {},
            const std::string& word = {}) {
    if (inspect) QTimer::singleShot(0, &dialog, inspect);
    QueueDialogAnswer(answer);
    return dialog.Execute(in, word);
  }

  static QStringList Names(const TfrmDebug& d) {
    QStringList names;
    for (int i = 0; i < d.grdVars->rowCount(); ++i) names << d.grdVars->item(i, 0)->text();
    return names;
  }
};

TEST_F(DebugDialogTest, ShowsTheRunAndEmptiesOnClose) {
  TfrmDebug d(nullptr);
  bool inspected = false;
  Open(
      d, U("連続実行"),
      [&] {
        inspected = true;
        EXPECT_EQ(d.lblLine->text(), U("現在の実行行:2"));
        EXPECT_EQ(d.edtLevel->text(), "0");
        QStringList names = Names(d);
        names.sort();
        EXPECT_EQ(names, (QStringList{"A", "AB", "B", U("それ")}));
        // Opened on B: its row is selected.
        EXPECT_EQ(d.grdVars->item(d.grdVars->currentRow(), 0)->text(), "B");
        EXPECT_EQ(d.cmbControl->itemText(0), U("1:繰り返す"));
        EXPECT_EQ(d.cmbControl->currentText(), U("2:その他"));
        // The caret at the start of line 2 of the program text.
        QTextCursor caret = d.memProgram->textCursor();
        EXPECT_EQ(caret.blockNumber(), 1);
        EXPECT_EQ(caret.positionInBlock(), 0);
        EXPECT_TRUE(caret.block().text().contains(U("Bは")));
      },
      "B");
  EXPECT_TRUE(inspected);
  EXPECT_EQ(d.grdVars->rowCount(), 0);
  EXPECT_TRUE(d.memProgram->toPlainText().isEmpty());
  EXPECT_EQ(d.cmbControl->count(), 0);
}

TEST_F(DebugDialogTest, FilterBoxesFindAndRowMemo) {
  TfrmDebug d(nullptr);
  Open(d, U("連続実行"), [&] {
    int hidden = d.grdVars->rowCount();
    d.chkSystem->setChecked(true);  // empties the level box: system variables show
    EXPECT_TRUE(d.edtLevel->text().isEmpty());
    EXPECT_TRUE(Names(d).contains(U("エラーメッセージ")));
    EXPECT_GT(d.grdVars->rowCount(), hidden);
    d.chkSystem->setChecked(false);
    EXPECT_EQ(d.edtLevel->text(), "0");
    EXPECT_EQ(d.grdVars->rowCount(), hidden);
    d.edtLevel->setText("1");  // それ stays whatever the level
    QStringList level_one = Names(d);
    level_one.sort();
    EXPECT_EQ(level_one, (QStringList{"AB", U("それ")}));
    d.edtLevel->setText("0");

    // Find: the first row whose name begins with the text; empty = first row.
    d.edtFind->setText(" AB ");
    d.btnFind->click();
    EXPECT_EQ(d.grdVars->item(d.grdVars->currentRow(), 0)->text(), "AB");
    d.edtFind->setText("");
    emit d.edtFind->returnPressed();
    EXPECT_EQ(d.grdVars->currentRow(), 0);

    // Enter on a row and a double-click show the memo with name and value.
    d.grdVars->selectRow(Names(d).indexOf("AB"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(d.grdVars, &enter);
    emit d.grdVars->cellDoubleClicked(Names(d).indexOf("B"), 1);
    d.edtFind->clear();
  });
  ASSERT_EQ(host.memos.size(), 2u);
  EXPECT_EQ(host.memos[0], (std::pair<std::string, std::string>{"AB", "一\r\n二"}));
  EXPECT_EQ(host.memos[1], (std::pair<std::string, std::string>{"B", "2"}));
}

TEST_F(DebugDialogTest, ButtonsSetLineStopAndTheAbortFlag) {
  TfrmDebug d(nullptr);
  EXPECT_FALSE(Open(d, U("一行毎に実行(&L)")));
  EXPECT_TRUE(in.S.LineStopOption);
  EXPECT_FALSE(Open(d, kCancelAnswer));  // closing keeps the mode, no abort
  EXPECT_TRUE(in.S.LineStopOption);
  EXPECT_FALSE(Open(d, U("連続実行(O)")));
  EXPECT_FALSE(in.S.LineStopOption);
  EXPECT_TRUE(Open(d, U("実行中断")));
  EXPECT_FALSE(Open(d, U("何でもない")));  // an answer naming no button closes it
  // ？ shows the help and leaves the dialog open for the next answer.
  QueueDialogAnswer(U("？"));
  EXPECT_TRUE(Open(d, U("実行中断(&C)")));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0],
            "デバッグダイアログ\r\n\r\nこれは、プログラムに不具合が起こったときに、\r\n"
            "プログラムを一行ずつ実行したり、\r\n実行中の変数の値を調べたりするのに便利です。");
  EXPECT_FALSE(HasDialogAnswer());
}

TEST_F(DebugDialogTest, OneDialogPerWindowKeepsItsBoxes) {
  QWidget parent;
  QueueDialogAnswer(U("連続実行"));
  ShowDebugDialog(&parent, in, "");
  auto* d = parent.findChild<TfrmDebug*>();
  ASSERT_NE(d, nullptr);
  d->edtLevel->setText("1");
  QueueDialogAnswer(U("連続実行"));
  ShowDebugDialog(&parent, in, "");
  EXPECT_EQ(parent.findChildren<TfrmDebug*>().size(), 1);
  EXPECT_EQ(d->edtLevel->text(), "1");
}

TEST(DebugInWindow, LineStopStopsAfterEachLineUntilAborted) {
  ClearDialogAnswers();
  ScriptRun r("改行で実行を止める\nAは、1\nBは、2\nCは、3\n");
  for (const char* a : {"一行毎に実行", "一行毎に実行", "実行中断"}) QueueDialogAnswer(U(a));
  ASSERT_TRUE(r.Start());
  EXPECT_FALSE(HasDialogAnswer());
  EXPECT_TRUE(r.Defined("B"));
  EXPECT_FALSE(r.Defined("C"));
}

}  // namespace
}  // namespace sorane
