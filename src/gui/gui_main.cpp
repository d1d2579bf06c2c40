#include "gui/gui_main.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "debug/editor_link.h"
#include "gui/dialog_automation.h"
#include "gui/play.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "library/files/text_encoding.h"
#include "library/library.h"
#include "library/output/output.h"
#include "platform/files.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/interpreter.h"

namespace sorane {

// A script may hide the host window and work in a フォーム of its own: the run
// goes on while any window of ours is shown.
static bool AnyWindowShown() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) return true;
  return false;
}
namespace {

QtMessageHandler g_qt_default = nullptr;

// Without --verbose only Qt's critical and fatal messages reach standard error;
// its warnings ("XDG_RUNTIME_DIR not set", size hints a window manager ignores)
// say nothing a script's user can act on.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if ((type == QtCriticalMsg || type == QtFatalMsg) && g_qt_default)
    g_qt_default(type, context, text);
}

}  // namespace

bool SaveScreenshot(const QImage& picture, const std::string& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  const char* reason = nullptr;
  if (!picture.save(&buffer, "PNG"))
    reason = "the picture could not be encoded";
  else if (!WriteOsFileAtomic(path, std::string_view(png.constData(), png.size())))
    reason = strerror(errno);
  if (!reason) return true;
  fprintf(stderr, "sorane: cannot save the screenshot %s: %s\n", path.c_str(), reason);
  return false;
}

int RunInWindow(const CommandLine& cl) {
  // The picture is named from the folder the run starts in; the run changes
  // to the script's folder.
  std::string screenshot = cl.screenshot;
  if (!screenshot.empty() && screenshot[0] != '/')
    screenshot = ToOsPath(CurrentFolder()) + screenshot;
  std::string play_path = cl.play;
  if (!play_path.empty() && play_path[0] != '/') play_path = ToOsPath(CurrentFolder()) + play_path;
  if (!HasDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!cl.verbose) g_qt_default = qInstallMessageHandler(QuietQtMessages);

  std::string program = cl.executable;
  int argc = 1;
  char* argv[] = {program.data(), nullptr};
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // ブラウザ objects' web engine
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(true);
  bool no_user = QGuiApplication::platformName() == "offscreen" ||
                 QGuiApplication::platformName() == "minimal";
  if (no_user) qputenv("SORANE_DIALOG_NO_USER", "1");
  InstallFontSubstitutes();
  LoadDialogAnswersFromEnvironment();

  TQtHost host;
  // The dialogs of this host are TDialogHost's.
  static_cast<TDialogHost&>(host.Dialogs())
      .SetErrorsToStandardError(no_user || !screenshot.empty());
  // The security question is a dialog when someone can answer it.
  if (!no_user) SetSecurityAsker(&AskThroughHost);
  Interpreter in(host);
  host.Attach(in);
  struct DetachAtEnd {
    TQtHost& h;
    ~DetachAtEnd() { h.Detach(); }
  } detach{host};
  InstallLibrary(in);
  StartupResult start = ReadCommandLine(in, cl);
  if (start.status != StartupStatus::kReady) {
    if (start.status == StartupStatus::kNoScript)
      fputs("sorane: no script to run (see sorane --help)\n", stderr);
    else if (no_user)
      fprintf(stderr, "%s\n", Q(start.message).toUtf8().constData());
    else
      host.Dialogs().MessageBox(start.message, "");
    return 2;
  }
  TextFileEncoding encoding;
  if (!cl.text_encoding.empty() && ParseTextFileEncoding(cl.text_encoding, encoding))
    SetTextFileEncoding(in, encoding);
  // The actions of --play are read before the script runs: a file that
  // cannot be played ends the run before it starts.
  std::optional<Player> player;
  if (!cl.play.empty()) {
    std::string text;
    if (!ReadFileBytes(FromOsPath(play_path), text)) {
      fprintf(stderr, "sorane: cannot read the play file %s\n", cl.play.c_str());
      return 2;
    }
    PlayFile play = ParsePlay(text, QFileInfo(QString::fromStdString(play_path)).absolutePath());
    if (!play.error.isEmpty()) {
      fprintf(stderr, "sorane: %s:%d: %s\n", cl.play.c_str(), play.error_line,
              play.error.toUtf8().constData());
      return 2;
    }
    player.emplace(host, in, std::move(play), cl.play);
  }
  // The run-time's own topic, served until the run ends.
  std::shared_ptr<void> editor_link = ServeEditorLink(in);
  if (!host.StartRun()) return 1;
  if (player) return player->Run(screenshot);
  if (!screenshot.empty()) {
    // A picture of the window as the run left it; then the run ends.
    host.Loop().ProcessEvents();
    bool saved = SaveScreenshot(host.Form().Snapshot(), screenshot);
    return host.StoppedByError() || !saved ? 1 : 0;
  }
  if (!in.S.StopRequested && (AnyWindowShown() || host.Loop().KeepsRun())) app.exec();
  return host.StoppedByError() ? 1 : 0;
}

}  // namespace sorane

// The entry point of the window module: sorane loads it with dlopen only when
// a window is wanted, so console runs never load Qt.
extern "C" __attribute__((visibility("default"))) int sorane_run_in_window(
    const sorane::CommandLine* command_line) {
  return sorane::RunInWindow(*command_line);
}
