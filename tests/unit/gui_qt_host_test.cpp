// The host window and its dialogs on the offscreen platform: where 表示 draws,
// the drawing surface, the dialogs answered through the test hook, the close
// handler and the error dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <array>

#include "gui/dialog_automation.h"
#include "gui/frm_dialogs.h"
#include "gui/frm_sorane.h"
#include "gui/qt_host.h"
#include "gui/virtual_keys.h"
#include "gui_script_run.h"
#include "library/library.h"
#include "library/output/output.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"

namespace sorane {
namespace {

// Rows and columns of the surface that hold pixels of `color` (±40 per channel).
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
};
Box FindColor(const QImage& img, QColor color, QRect area = QRect()) {
  if (area.isNull()) area = img.rect();
  Box b;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      QColor c = img.pixelColor(x, y);
      if (std::abs(c.red() - color.red()) < 40 && std::abs(c.green() - color.green()) < 40 &&
          std::abs(c.blue() - color.blue()) < 40) {
        b.left = std::min(b.left, x), b.right = std::max(b.right, x);
        b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
      }
    }
  return b;
}

TEST(HostWindow, StartsWithItsDefaults) {
  ScriptRun r("「あ」と、表示\n");
  EXPECT_EQ(r.window.windowTitle(), QString::fromUtf8("そらね"));
  EXPECT_EQ(r.window.size(), QSize(640, 400));
  ASSERT_TRUE(r.Start());
  EXPECT_TRUE(r.window.isVisible());
  EXPECT_EQ(r.Surface().pixelColor(600, 300), QColor(Qt::white));

  ScriptRun hidden("'窓は自分で出す\nAは、「母艦浮上」\n");
  ASSERT_TRUE(hidden.Start());
  EXPECT_FALSE(hidden.window.isVisible());
}

TEST(HostWindow, PrintPlacesLinesAtTheCursor) {
  ScriptRun r(
      "文字色は、赤色\n「■■」と、表示\n「■」と、表示\n(100,200)"
      "へ、移動\n文字色は、青色\n「■」と、表示\n");
  ASSERT_TRUE(r.Start());
  const QImage& img = r.Surface();
  int step = PrintLineHeight(r.host);
  ASSERT_GT(step, 10);
  Box first = FindColor(img, Qt::red, QRect(0, 0, 640, 10 + step));
  Box second = FindColor(img, Qt::red, QRect(0, 10 + step, 640, step));
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_GE(first.left, 10);
  EXPECT_LT(first.left, 14);
  EXPECT_GE(first.top, 10);
  EXPECT_EQ(second.left, first.left);       // same left edge
  EXPECT_EQ(second.top - first.top, step);  // one line height lower
  EXPECT_GT(first.right - first.left, second.right - second.left);
  Box moved = FindColor(img, Qt::blue);
  ASSERT_FALSE(moved.empty());
  EXPECT_GE(moved.left, 100);
  EXPECT_LT(moved.left, 104);
  EXPECT_GE(moved.top, 200);
  EXPECT_LT(moved.top, 200 + step);
  EXPECT_EQ(r.in.S.CursorY, 200 + step);
}

TEST(HostWindow, CentringCentresEachLine) {
  ScriptRun r(
      "文字色は、赤色\nセンタリング\n「■■■■」と、表示\n文字色は、青色\n「■\n■■■■■■」と、表示\n");
  ASSERT_TRUE(r.Start());
  Box red = FindColor(r.Surface(), Qt::red);
  ASSERT_FALSE(red.empty());
  EXPECT_NEAR((red.left + red.right) / 2.0, 320, 4);
  int step = PrintLineHeight(r.host);
  Box short_line = FindColor(r.Surface(), Qt::blue, QRect(0, 10 + step, 640, step));
  Box long_line = FindColor(r.Surface(), Qt::blue, QRect(0, 10 + 2 * step, 640, step));
  EXPECT_NEAR((short_line.left + short_line.right) / 2.0, 320, 4);
  EXPECT_NEAR((long_line.left + long_line.right) / 2.0, 320, 4);
  EXPECT_LT(long_line.left, short_line.left);
}

TEST(HostWindow, ClearKeepsTheColourAndGrowsWithIt) {
  ScriptRun r("「消える」と、表示\n「#0000FF」で、画面クリア\n画面クリア\n「x」と、表示\n");
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.Surface().pixelColor(300, 300), QColor(Qt::blue));
  EXPECT_EQ(r.in.S.CursorY, 10 + PrintLineHeight(r.host));
  r.window.resize(800, 500);
  QApplication::processEvents();
  EXPECT_EQ(r.Surface().size(), QSize(800, 500));
  EXPECT_EQ(r.Surface().pixelColor(790, 490), QColor(Qt::blue));
  // System colours come from the palette.
  EXPECT_EQ(TDrawSurface::ToQColor(0x8000000F), QGuiApplication::palette().color(QPalette::Window));
}

TEST(HostWindow, BadCoordinatesAndFontsGiveTheMessages) {
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  ScriptRun r("(1,2,3)へ、移動\n文字書体は、「存在しない書体|太字|20」\n「字」と、表示\n");
  ASSERT_TRUE(r.Start());
  EXPECT_NE(r.in.ErrorLog.find(SJ("座標の指定エラー")), std::string::npos);
  EXPECT_EQ(CurrentTextFont(r.in).face, SJ("ＭＳ ゴシック"));
  EXPECT_EQ(CurrentTextFont(r.in).size, 20);
  ClearDialogAnswers();

  // A face name of another system is known (not replaced by the default) and
  // is drawn in the installed face of its kind.
  ScriptRun serif("文字書体は、「ＭＳ　明朝」\n「字」と、表示\n");
  ASSERT_TRUE(serif.Start());
  Host::TextFont font = CurrentTextFont(serif.in);
  EXPECT_EQ(font.face, SJ("ＭＳ 明朝"));
  serif.host.Canvas().SetTextFont(font);
  QFont drawn(QString::fromUtf8("ＭＳ 明朝"));
  EXPECT_TRUE(QFontInfo(drawn).family().contains("Serif"))
      << QFontInfo(drawn).family().toStdString();
}

// The surface `img` covers the client area as the window grows, lets the
// mouse through to the window (object 0), and stays below widgets put on the
// window later, as the widgets of script objects will be.
TEST(HostWindow, SurfaceCoversTheClientAreaBelowChildWidgets) {
  ScriptRun r("「#0000FF」で、画面クリア\n");
  ASSERT_TRUE(r.Start());
  TDrawSurface& img = r.host.Canvas();
  EXPECT_EQ(img.objectName(), "img");
  EXPECT_EQ(img.geometry(), r.window.rect());
  r.window.resize(720, 480);
  QApplication::processEvents();
  EXPECT_EQ(img.geometry(), QRect(0, 0, 720, 480));
  EXPECT_EQ(r.window.childAt(100, 100), nullptr);  // the mouse reaches the window

  auto* child = new QPushButton(&r.window);
  child->setGeometry(50, 60, 40, 30);
  child->setStyleSheet("background: red; border: none");
  child->show();
  QApplication::processEvents();
  EXPECT_EQ(r.window.childAt(60, 70), child);
  QImage seen = r.window.Snapshot();
  EXPECT_EQ(seen.pixelColor(70, 75), QColor(Qt::red));
  EXPECT_EQ(seen.pixelColor(300, 300), QColor(Qt::blue));
  // The drawing itself does not hold the widget.
  EXPECT_EQ(r.Surface().pixelColor(70, 75), QColor(Qt::blue));
}

TEST(HostDialogs, AnsweredThroughTheHook) {
  for (const char* a : {"山田", "いいえ", "キャンセル", "青", "自由入力", "速達", "キャンセル(&C)",
                        "#00FF00", "/tmp/a.txt"})
    QueueDialogAnswer(QString::fromUtf8(a));
  ScriptRun r(
      "「名前？」と、尋ねる\nAは、それ\n"
      "「包む？」と、二択\nBは、それ\n"
      "「確定？」と、三択\nCは、それ\n"
      "「色？」を、「赤|青」の、リストから選択\nDは、それ\n"
      "「何？」が、「a|b」の、どれか尋ねる\nEは、それ\n"
      "「送料？」を、「普通\n速達」の、ボタンで選択\nFは、それ\n"
      "ダイアログキャンセルの値は、「取消」\n「初め」の、メモ記入\nGは、それ\n"
      "色選択\nHは、それ\n"
      "「txt」の、読込ファイル選択\nIは、それ\n");
  ASSERT_TRUE(r.Start());
  auto var = [&](const char* name) {
    THashNode* w = r.in.S.Words.Find(name, false);
    return w ? SjisToUtf8(w->Value()) : std::string("<none>");
  };
  EXPECT_EQ(var("A"), "山田");
  EXPECT_EQ(var("B"), "0");
  EXPECT_EQ(var("C"), "2");
  EXPECT_EQ(var("D"), "青");
  EXPECT_EQ(var("E"), "自由入力");
  EXPECT_EQ(var("F"), "速達");
  EXPECT_EQ(var("G"), "取消");
  EXPECT_EQ(var("H"), "65280");
  EXPECT_EQ(var("I"), "/tmp/a.txt");
  EXPECT_FALSE(HasDialogAnswer());
}

// The progress window of transfers: message, bar, and a stop button that the
// transfer sees as stopped until the next transfer starts.
TEST(HostDialogs, ProgressWindowShowsAndStops) {
  ScriptRun r("");
  HostDialogs& dialogs = r.host.Dialogs();
  dialogs.ShowProgress(Utf8ToSjis("a.txtをダウンロード中"));
  auto* prog = r.window.findChild<TfrmProg*>();
  ASSERT_TRUE(prog);
  EXPECT_TRUE(prog->isVisible());
  EXPECT_EQ(prog->windowTitle(), QString::fromUtf8("進行度表示"));
  EXPECT_EQ(prog->lblMsg->text(), QString::fromUtf8("a.txtをダウンロード中"));
  dialogs.UpdateProgress(50, 200);
  EXPECT_EQ(prog->progBar->value(), 25);
  dialogs.UpdateProgress(1, 0);  // size not known: busy
  EXPECT_EQ(prog->progBar->maximum(), 0);
  EXPECT_FALSE(dialogs.ProgressStopped());
  prog->btnStop->click();
  EXPECT_TRUE(dialogs.ProgressStopped());
  dialogs.CloseProgress();
  EXPECT_FALSE(prog->isVisible());
  dialogs.ShowProgress("next");
  EXPECT_FALSE(dialogs.ProgressStopped());
  EXPECT_EQ(prog->progBar->value(), 0);
  dialogs.CloseProgress();
}

TEST(HostWindow, CloseHandlerRefusesThenAllows) {
  ScriptRun r(
      "`閉じる時`に、終了処理設定\n閉じた回は、0\n待機\n"
      "*閉じる時\n閉じた回は、閉じた回+1\nもし、閉じた回=1ならば、`閉じる時`に、終了処理設定\n");
  ASSERT_TRUE(r.Start());
  ASSERT_TRUE(r.window.isVisible()) << SjisToUtf8(r.in.ErrorLog);
  r.window.close();  // the handler re-arms itself: refused
  EXPECT_TRUE(r.window.isVisible());
  EXPECT_FALSE(r.in.S.StopRequested);
  r.window.close();  // the second time it lets the window close
  EXPECT_FALSE(r.window.isVisible());
  EXPECT_TRUE(r.in.S.StopRequested);
}

TEST(ErrorDialog, ButtonsContinueOrStop) {
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  QueueDialogAnswer(QString::fromUtf8("終了(&C)"));
  ScriptRun r("未定義の語一\nAは、「続いた」\n未定義の語二\nBは、「続かない」\n");
  ASSERT_TRUE(r.Start());
  THashNode* a = r.in.S.Words.Find("A", false);
  ASSERT_TRUE(a) << SjisToUtf8(r.in.ErrorLog);
  EXPECT_EQ(SjisToUtf8(a->Value()), "続いた");
  EXPECT_EQ(r.in.S.Words.Find("B", false), nullptr);
  EXPECT_TRUE(r.in.S.StopRequested);
  EXPECT_TRUE(r.host.StoppedByError());

  TfrmError plain(nullptr, false), debug(nullptr, true);
  EXPECT_EQ(plain.windowTitle(), QString::fromUtf8("実行中にエラーが発生しました。"));
  EXPECT_TRUE(plain.btnDebug->isHidden());
  EXPECT_FALSE(debug.btnDebug->isHidden());
  QueueDialogAnswer(QString::fromUtf8("デバッグする(&D)"));
  bool requested = false;
  EXPECT_TRUE(debug.Ask(requested));
  EXPECT_TRUE(requested);
}

TEST(HostWindow, PrintFitsThePageAndIconFilesAreTemporary) {
  // Wide windows fill the width, tall ones the height; never beyond either.
  EXPECT_EQ(TDrawSurface::FitToPage(QSize(640, 400), QRect(0, 0, 1000, 2000)),
            QRect(0, 0, 1000, 625));
  EXPECT_EQ(TDrawSurface::FitToPage(QSize(400, 640), QRect(0, 0, 1000, 800)),
            QRect(0, 0, 500, 800));
  EXPECT_EQ(TDrawSurface::FitToPage(QSize(640, 400), QRect(0, 0, 1000, 500)),
            QRect(0, 0, 800, 500));

  TfrmSorane w;
  QImage picture(32, 32, QImage::Format_RGB32);
  picture.fill(Qt::red);
  auto leftovers = [] {
    return QDir(QDir::tempPath()).entryList({"sorane-icon-*"}, QDir::Files).size();
  };
  qsizetype before = leftovers();
  EXPECT_TRUE(w.SetIconFromImage(picture));
  EXPECT_FALSE(w.windowIcon().isNull());
  EXPECT_EQ(leftovers(), before);
  EXPECT_FALSE(w.SetIconFile("/nonexistent/icon.ico"));
}

// The window-state commands change the real window: maximised, normal again,
// full screen on top without a frame, border styles, and the form commands on
// 母艦; the position record restores the bounds it saved.
TEST(HostWindow, StateCommandsAndPositionRecord) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ScriptRun r("「あ」と、表示\n");
  ASSERT_TRUE(r.Start());
  auto run = [&](const std::string& utf8) {
    r.in.RunNested(TPos::Start(r.in.StoreSource(r.in.Preprocess(Utf8ToSjis(utf8)))));
    QCoreApplication::processEvents();
  };
  run("母艦最大化");
  EXPECT_TRUE(r.window.windowState() & Qt::WindowMaximized);
  run("母艦元のサイズ");
  EXPECT_FALSE(r.window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
  run("母艦全画面化");
  EXPECT_TRUE(r.window.windowState() & Qt::WindowFullScreen);
  EXPECT_TRUE(r.window.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(r.window.windowFlags() & Qt::FramelessWindowHint);
  run("母艦元のサイズ");
  EXPECT_FALSE(r.window.windowFlags() & Qt::WindowStaysOnTopHint);
  run("枠固定に、母艦スタイル設定");
  EXPECT_EQ(r.window.minimumSize(), r.window.maximumSize());
  run("枠なしに、母艦スタイル設定");
  EXPECT_TRUE(r.window.windowFlags() & Qt::FramelessWindowHint);
  run("枠可変に、母艦スタイル設定");
  EXPECT_NE(r.window.minimumSize(), r.window.maximumSize());
  run("母艦を、最大化");
  EXPECT_TRUE(r.window.windowState() & Qt::WindowMaximized);
  run("母艦を、フォーム元のサイズ");
  EXPECT_FALSE(r.window.windowState() & Qt::WindowMaximized);
  EXPECT_TRUE(r.in.ErrorLog.empty()) << SjisToUtf8(r.in.ErrorLog);

  std::string ini = dir.filePath("pos.ini").toStdString();
  r.in.S.SecurityLevel = 0;  // the temporary folder is outside the script's
  r.window.setGeometry(40, 50, 300, 200);
  QCoreApplication::processEvents();
  run("「" + ini + "」へ、フォームの位置記録");
  r.window.setGeometry(5, 6, 500, 400);
  QCoreApplication::processEvents();
  run("「" + ini + "」から、フォームの位置復元");
  EXPECT_EQ(r.window.geometry().size(), QSize(300, 200));
  EXPECT_TRUE(r.in.ErrorLog.empty()) << SjisToUtf8(r.in.ErrorLog);
}

// 母艦印刷 asks the printer set-up first: cancelled, nothing is printed; accepted
// without a printer, the page goes to a PDF beside the program.
TEST(HostWindow, PrintAsksTheSetUpFirst) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString pdf = dir.filePath("prog.pdf");
  ScriptRun r("「印刷する」と、表示\n母艦印刷\n母艦印刷\n");
  r.in.S.ProgramPath = dir.filePath("prog.srn").toStdString();
  QueueDialogAnswer(kCancelAnswer);
  QueueDialogAnswer("OK");
  ASSERT_TRUE(r.Start());
  EXPECT_TRUE(r.in.ErrorLog.empty()) << SjisToUtf8(r.in.ErrorLog);
  EXPECT_FALSE(HasDialogAnswer());
  ASSERT_TRUE(QFile::exists(pdf));
  EXPECT_GT(QFileInfo(pdf).size(), 1000);
}

// Events of object 0: the window sees keys before the focused control (which
// still gets them), numbers them as virtual keys, and raises mouse events of
// its surface and the change event when resized.
TEST(HostEvents, KeysMouseAndResizeReachTheHandlers) {
  ScriptRun r(
      "キー一は、0\nキー二は、0\n特殊は、「」\n変更回数は、0\nクリック回数は、0\n"
      "母艦の、キー押した時は、押した\n母艦の、キー離した時は、離した\n"
      "母艦の、変更した時は、変わった\n母艦の、クリックした時は、(クリック回数は、クリック回数+1)\n"
      "待機\n"
      "*押した\nキー一は、押されたキー\n特殊は、押された特殊キー\n戻る\n"
      "*離した\nキー二は、押されたキー\n戻る\n"
      "*変わった\n変更回数は、変更回数+1\n戻る\n");
  ASSERT_TRUE(r.Start());
  ASSERT_TRUE(r.in.ErrorLog.empty()) << SjisToUtf8(r.in.ErrorLog);
  auto var = [&](const char* name) {
    THashNode* w = r.in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? SjisToUtf8(w->Value()) : std::string("(none)");
  };
  auto* edit = new QLineEdit(&r.window);
  edit->show();
  edit->setFocus();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, "A");
  QApplication::sendEvent(edit, &down);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier);
  QApplication::sendEvent(edit, &up);
  EXPECT_EQ(var("キー一"), "65");
  EXPECT_EQ(var("特殊"), "Shift");
  EXPECT_EQ(var("キー二"), "116");
  EXPECT_EQ(edit->text(), "A");  // the control still got its key

  QPointF at(30, 40);
  QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&r.window, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton,
                      Qt::ControlModifier);
  QApplication::sendEvent(&r.window, &release);
  EXPECT_EQ(var("マウスX"), "30");
  EXPECT_EQ(var("マウスY"), "40");
  EXPECT_EQ(var("押された特殊キー"), "Ctrl\r\nLeft");
  EXPECT_EQ(var("クリック回数"), "1");

  r.window.resize(700, 450);
  EXPECT_EQ(var("変更回数"), "1");
  EXPECT_EQ(r.Surface().size(), QSize(700, 450));
  EXPECT_TRUE(r.in.ErrorLog.empty()) << SjisToUtf8(r.in.ErrorLog);
}

// The window's label timer jumps once while the script waits; 0 seconds never
// fires.
TEST(HostEvents, LabelTimerFiresOnceWhileWaiting) {
  ScriptRun r(
      "回は、0\n0.05秒後に、時間へ飛ぶ、タイマー設定\n待機\n"
      "*時間\n回は、回+1\n0秒後に、時間へ飛ぶ、タイマー設定\n戻る\n");
  ASSERT_TRUE(r.Start());
  EXPECT_TRUE(r.host.Loop().LabelTimerActive());
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 400) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  THashNode* count = r.in.S.Words.Find(Utf8ToSjis("回"), false);
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->Value(), "1");
  EXPECT_FALSE(r.host.Loop().LabelTimerActive());
  EXPECT_TRUE(r.in.ErrorLog.empty()) << SjisToUtf8(r.in.ErrorLog);
}

TEST(HostEvents, VirtualKeyNumbers) {
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Return, Qt::NoModifier), 13);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Enter, Qt::KeypadModifier), 13);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Escape, Qt::NoModifier), 27);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Z, Qt::NoModifier), 90);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_7, Qt::NoModifier), 55);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_7, Qt::KeypadModifier), 103);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_ParenLeft, Qt::ShiftModifier), 56);  // shifted 8
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Left, Qt::NoModifier), 37);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_F12, Qt::NoModifier), 123);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Asterisk, Qt::KeypadModifier), 106);
  EXPECT_EQ(VirtualKeyOf(Qt::Key_Control, Qt::ControlModifier), 17);
  EXPECT_EQ(SpecialKeysText(Qt::ShiftModifier | Qt::AltModifier, Qt::RightButton, true),
            "Shift\r\nAlt\r\nRight\r\nDouble");
  EXPECT_EQ(SpecialKeysText(Qt::NoModifier, Qt::NoButton, false), "");
}

// The window as --screenshot saves it, against a stored picture. Fonts render
// slightly differently between machines, so 16 x 16 cells are compared by their
// mean colour with a generous tolerance: misplaced or miscoloured text, a wrong
// background or a wrong size still fail.
TEST(Screenshot, MatchesTheStoredSample) {
  ScriptRun r(
      "「#FFFFCC」で、画面クリア\n文字色は、赤色\n文字サイズは、20\n"
      "「こんにちは、そらね」と、表示\nセンタリング\n文字色は、青色\n「中央の行」と、表示\n");
  ASSERT_TRUE(r.Start());
  QImage got = r.window.Snapshot().convertToFormat(QImage::Format_RGB32);
  QImage want(SORANE_TEST_DATA "/gui_screenshot_sample.png");
  ASSERT_FALSE(want.isNull());
  want = want.convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(got.size(), want.size());
  auto mean = [](const QImage& img, int cx, int cy) {
    long r = 0, g = 0, b = 0;
    for (int y = cy; y < cy + 16; ++y)
      for (int x = cx; x < cx + 16; ++x) {
        QColor c = img.pixelColor(x, y);
        r += c.red(), g += c.green(), b += c.blue();
      }
    return std::array<long, 3>{r / 256, g / 256, b / 256};
  };
  int bad = 0;
  for (int y = 0; y + 16 <= got.height(); y += 16)
    for (int x = 0; x + 16 <= got.width(); x += 16) {
      auto a = mean(got, x, y), b = mean(want, x, y);
      for (int i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > 48) ++bad;
    }
  EXPECT_LE(bad, 6) << "cells differing from the stored sample";
}

}  // namespace
}  // namespace sorane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("SORANE_DIALOG_NO_USER", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // ブラウザ objects' web engine
  QApplication app(argc, argv);
  sorane::InstallFontSubstitutes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
