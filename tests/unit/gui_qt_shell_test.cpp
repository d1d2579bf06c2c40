// The window's services beside its objects on the offscreen platform: the
// tray icon with and without a notification area, the cursor count, z-order,
// the Tエディタ settings and their file; and sound on Qt Multimedia, played
// for real where an audio output exists.
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>

#include "fake_media.h"
#include "gui/dialog_automation.h"
#include "gui/media_qt.h"
#include "gui/shell_qt.h"
#include "gui_script_run.h"
#include "test_files.h"

namespace sorane {
namespace {

struct ShellScript : ScriptRun {
  explicit ShellScript(const char* utf8) : ScriptRun(utf8) {}
  std::string Var(const char* name) {
    THashNode* w = in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? SjisToUtf8(w->Value()) : std::string("(none)");
  }
  QWidget* Widget(const char* name) {
    THashNode* w = in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? host.ObjectWidgets().WidgetOf(w->ObjectIndex) : nullptr;
  }
};

TEST(Shell, TrayTipsAreCutAtACharacterBoundary) {
  std::string wide;
  for (int i = 0; i < 35; ++i) wide += SJ("あ");  // 70 bytes
  EXPECT_EQ(TrayTipText(wide).size(), 62u);
  EXPECT_EQ(TrayTipText("a" + wide).size(), 63u);
  EXPECT_EQ(TrayTipText("short"), "short");
}

// Without a notification area the window keeps its task-bar entry; with one
// it leaves the task bar while the icon shows. Clicks on the icon: the left
// button is 母艦's click, a double click only brings the window forward.
TEST(Shell, TrayIconBothWays) {
  ShellScript r(
      "押した数は、0\n"
      "母艦の、クリックした時は、押した\n"
      "タスクトレイへアイコン表示(1)\n"
      "待機\n"
      "*押した\n押した数は、押した数+1\n戻る\n");
  TQtShell& shell = r.host.Shell();
  shell.tray_available = [] { return false; };
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(SjisToUtf8(r.in.ErrorLog), "");
  ASSERT_NE(shell.Tray(), nullptr);
  EXPECT_FALSE(shell.TaskbarHidden());
  EXPECT_NE(r.window.windowType(), Qt::Tool);
  shell.TrayActivated(QSystemTrayIcon::Trigger);
  shell.TrayActivated(QSystemTrayIcon::DoubleClick);
  EXPECT_EQ(r.Var("押した数"), "1");
  r.host.ShowTrayIcon(false);
  EXPECT_EQ(shell.Tray(), nullptr);

  shell.tray_available = [] { return true; };
  Qt::WindowFlags before = r.window.windowFlags();
  r.host.ShowTrayIcon(true);
  EXPECT_TRUE(shell.TaskbarHidden());
  EXPECT_EQ(r.window.windowType(), Qt::Tool);
  EXPECT_TRUE(r.window.isVisible());
  r.host.ShowTrayIcon(true);  // already shown: nothing changes
  r.host.ShowTrayIcon(false);
  EXPECT_FALSE(shell.TaskbarHidden());
  EXPECT_EQ(r.window.windowFlags(), before);
  EXPECT_TRUE(r.window.isVisible());

  // A right click asks before it closes the window.
  r.host.ShowTrayIcon(true);
  QueueDialogAnswer(kCancelAnswer);
  shell.TrayActivated(QSystemTrayIcon::Context);
  EXPECT_TRUE(r.window.isVisible());
  QueueDialogAnswer(QString::fromUtf8("はい"));
  shell.TrayActivated(QSystemTrayIcon::Context);
  EXPECT_FALSE(r.window.isVisible());
  r.host.ShowTrayIcon(false);
}

TEST(Shell, CursorHidesAndShowsAreCounted) {
  ShellScript r("カーソル表示(0)\nカーソル表示(0)\nカーソル表示(1)\n");
  ASSERT_TRUE(r.Start());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BlankCursor);
  r.host.ShowCursor(true);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Siblings stack in the order of their parent's children, the last on top;
// the window's drawing surface stays below every object.
TEST(Shell, FrontAndBack) {
  ShellScript r(
      "(10,10)に、ボタン1を、ボタンとして、作成\n"
      "(10,10)に、ボタン2を、ボタンとして、作成\n"
      "フォーム1を、フォームとして、作成\n"
      "「ボタン1」を、最前面\n");
  ASSERT_TRUE(r.Start());
  QWidget* b1 = r.Widget("ボタン1");
  QWidget* b2 = r.Widget("ボタン2");
  QWidget* img = r.window.findChild<QWidget*>("img", Qt::FindDirectChildrenOnly);
  ASSERT_TRUE(b1 && b2 && img);
  auto order = [&](QWidget* w) { return r.window.children().indexOf(w); };
  EXPECT_GT(order(b1), order(b2));
  r.host.SendToBack(r.in.S.Objects.IndexOf(Utf8ToSjis("ボタン1")));
  EXPECT_LT(order(b1), order(b2));
  EXPECT_LT(order(img), order(b1));
  QWidget* form = r.Widget("フォーム1");
  int form_index = r.in.S.Objects.IndexOf(Utf8ToSjis("フォーム1"));
  r.host.BringToFront(form_index);
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(form->isVisible());
  r.host.SendToBack(form_index);
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// A new editor has the host's settings; they go to a file and come back.
TEST(Shell, EditorSettingsThroughAFile) {
  QTemporaryDir dir;
  std::string file = (dir.path() + "/editor.ini").toStdString();
  std::string script =
      "編集Tエディタを、Tエディタとして、作成\n"
      "編集Tエディタを、「FILE」へ、Tエディタ設定を保存\n"
      "「FILE」を、読む\n"
      "保存した設定は、それ\n"
      "「[編集Tエディタ]\nsoraneTabWidth=2\nsoraneLineNumbers=1\nsoraneWordWrap=1\n"
      "soraneBackColor=255\nsoraneFontSize=x\n」を、「FILE」へ、保存\n"
      "編集Tエディタを、「FILE」から、Tエディタ設定を読込\n"
      "編集Tエディタを、「ない.ini」から、Tエディタ設定を読込\n"
      "背景は、編集Tエディタの、背景色\n";
  for (size_t at; (at = script.find("FILE")) != std::string::npos;) script.replace(at, 4, file);
  ShellScript r(script.c_str());
  r.in.S.SecurityLevel = 0;  // writes outside the script's folder without asking
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(SjisToUtf8(r.in.ErrorLog), "");
  std::string saved = r.Var("保存した設定");
  EXPECT_NE(saved.find("[編集Tエディタ]"), std::string::npos);
  EXPECT_NE(saved.find("soraneTabWidth=4"), std::string::npos);  // the host's settings
  EXPECT_NE(saved.find("soraneAutoIndent=1"), std::string::npos);
  EXPECT_NE(saved.find("soraneLineNumbers=0"), std::string::npos);
  auto* editor = qobject_cast<QsciScintilla*>(r.Widget("編集Tエディタ"));
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->tabWidth(), 2);
  EXPECT_TRUE(editor->marginLineNumbers(0));
  EXPECT_NE(editor->wrapMode(), QsciScintilla::WrapNone);
  EXPECT_EQ(r.Var("背景"), "255");
  EXPECT_GT(editor->QWidget::font().pointSize(), 0);  // "x" is no size

  // The dialog accepted as it opens changes nothing.
  WindowExtras::EditorSettings before = EditorSettingsOf(editor);
  QueueDialogAnswer(QStringLiteral("OK"));
  r.host.EditorSettingsDialog(r.in.S.Objects.IndexOf(Utf8ToSjis("編集Tエディタ")));
  EXPECT_EQ(EditorSettingsOf(editor), before);
  EXPECT_FALSE(HasDialogAnswer());
}

// ---- Sound ----

// A short sine tone as a WAV file: 16-bit mono PCM.
std::string ToneWav(int ms) {
  const int rate = 8000, samples = rate * ms / 1000;
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  std::string data;
  for (int i = 0; i < samples; ++i)
    data += u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.3))));
  return "RIFF" + u32(36 + data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate) +
         u32(rate * 2) + u16(2) + u16(16) + "data" + u32(data.size()) + data;
}

TEST(Media, NoAudioOutputMeansTheDeviceCannotOpen) {
  QTemporaryDir dir;
  std::string wav = (dir.path() + "/tone.wav").toStdString();
  WriteRaw(wav, ToneWav(300));
  TQtMedia media;
  media.has_output = [] { return false; };
  HostMedia::Failure failure = HostMedia::Failure::kNone;
  EXPECT_EQ(media.OpenMedia(wav, failure), 0);
  EXPECT_EQ(failure, HostMedia::Failure::kCannotOpen);
  EXPECT_EQ(media.MediaMode(1), HostMedia::Mode::kNotReady);
}

// アニメ's 効果音 sounds once each time the frames start, on the host's
// media service, and stops when the box is emptied.
TEST(Media, AnimeSoundPlaysWithItsFrames) {
  QTemporaryDir dir;
  QImage frame(8, 8, QImage::Format_RGB32);
  frame.fill(Qt::red);
  ASSERT_TRUE(frame.save(dir.path() + "/f.png"));
  std::string wav = (dir.path() + "/tone.wav").toStdString();
  WriteRaw(wav, ToneWav(100));
  std::string script =
      "アニメ1を、アニメとして、作成\n"
      "アニメ1の、効果音は、「DIR/tone.wav」\n"
      "アニメ1の、画像は、「DIR/f.png\nDIR/f.png」\n"
      "アニメ1を、オブジェクト破壊\n";
  for (size_t at; (at = script.find("DIR")) != std::string::npos;)
    script.replace(at, 3, dir.path().toStdString());
  ShellScript r(script.c_str());
  FakeMedia media;
  r.host.ObjectWidgets().SetMedia(&media);
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(SjisToUtf8(r.in.ErrorLog), "");
  EXPECT_EQ(media.calls, (std::vector<std::string>{"open " + wav, "play 1 -1 -1 0", "close 1"}));
}

TEST(Media, PlaysAGeneratedWaveWhereAnAudioOutputExists) {
  TQtMedia media;
  if (!media.has_output()) GTEST_SKIP() << "no audio output here: real playback not tried";
  QTemporaryDir dir;
  std::string wav = (dir.path() + "/tone.wav").toStdString();
  WriteRaw(wav, ToneWav(300));
  HostMedia::Failure failure = HostMedia::Failure::kNone;
  int player = media.OpenMedia(wav, failure);
  ASSERT_NE(player, 0);
  EXPECT_NEAR(media.MediaLength(player), 300, 30);
  media.PlayMedia(player, -1, -1, false);
  bool played = false;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 5000) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    HostMedia::Mode mode = media.MediaMode(player);
    played = played || mode == HostMedia::Mode::kPlaying;
    if (played && mode == HostMedia::Mode::kStopped) break;
  }
  EXPECT_TRUE(played);
  EXPECT_EQ(media.MediaMode(player), HostMedia::Mode::kStopped);
  media.CloseMedia(player);
  // Not a media file at all: a format that cannot be played.
  std::string text = (dir.path() + "/text.wav").toStdString();
  WriteRaw(text, "not a sound");
  EXPECT_EQ(media.OpenMedia(text, failure), 0);
}

}  // namespace
}  // namespace sorane
