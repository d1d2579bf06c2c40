#include "gui/gui_main.h"

#include <QApplication>
#include <cstdlib>

#include "gui/dialog_automation.h"
#include "gui/qt_host.h"
#include "library/library.h"
#include "library/output/output.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"

namespace sorane {

bool WantsWindow(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i)
    if (args[i] == "--console") return false;
  auto set = [](const char* name) {
    const char* v = getenv(name);
    return v && *v;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int RunInWindow(std::vector<std::string> args) {
  std::string screenshot;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0 && args[i] == "--screenshot" && i + 1 < args.size()) {
      screenshot = args[++i];
      continue;
    }
    rest.push_back(args[i]);
  }
  int argc = 1;
  char* argv[] = {args[0].data(), nullptr};
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // ブラウザ objects' web engine
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(true);
  InstallFontSubstitutes();
  LoadDialogAnswersFromEnvironment();

  TQtHost host;
  Interpreter in(host);
  host.Attach(in);
  struct DetachAtEnd {
    TQtHost& h;
    ~DetachAtEnd() { h.Detach(); }
  } detach{host};
  InstallLibrary(in);
  StartupResult start = ReadCommandLine(in, rest);
  if (start.status != StartupStatus::kReady) {
    if (!start.message.empty()) host.Dialogs().MessageBox(start.message, "");
    return 2;
  }
  if (!host.StartRun()) return 1;
  if (!screenshot.empty()) {
    // A picture of the window as the run left it; then the run ends.
    host.Loop().ProcessEvents();
    bool saved = host.Form().Snapshot().save(QString::fromStdString(screenshot), "PNG");
    return host.StoppedByError() ? 1 : saved ? 0 : 2;
  }
  if (!in.S.StopRequested && (host.Form().isVisible() || host.Loop().LabelTimerActive()))
    app.exec();
  return host.StoppedByError() ? 1 : 0;
}

}  // namespace sorane
