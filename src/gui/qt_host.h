// The windowed host: the host window with its drawing surface, the dialogs,
// the Qt event loop with the label timer, the desktop clipboard and the
// widgets of script objects, each behind its own interface of Host.
#pragma once

#include <QImage>
#include <memory>

#include "gui/dialog_host.h"
#include "gui/draw_surface.h"
#include "gui/frm_sorane.h"
#include "gui/media_qt.h"
#include "gui/objects/qt_object_backend.h"
#include "gui/qt_event_loop.h"
#include "gui/shell_qt.h"
#include "library/objects/backend.h"
#include "library/objects/object_events.h"
#include "runtime/host.h"

namespace sorane {

class Interpreter;

class TQtClipboard : public HostClipboard {
 public:
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  Bitmap ClipboardPicture() override;  // canvas_qt.cpp
  void SetClipboardPicture(const Bitmap& picture) override;
};

// The host window's other services (tray, cursor, z-order, editor settings)
// are WindowExtras of the host itself, carried out by its shell.
class TQtHost : public Host, public WindowExtras {
 public:
  TQtHost();
  ~TQtHost() override;

  // Connects the window, the dialogs, the label timer and the widgets' events
  // to the run. Detach before the interpreter goes: later window events then
  // reach no script.
  void Attach(Interpreter& in);
  void Detach();

  // Prepares and runs the program: hidden when the program text holds 母艦浮上,
  // otherwise shown first. Returns false when preparation failed.
  bool StartRun();
  // True when the run was stopped through the error dialog.
  bool StoppedByError() const { return dialogs_.StoppedByError(); }

  TfrmSorane& Form() { return window_; }
  TDrawSurface& Canvas() { return window_.Surface(); }
  TQtEventLoop& Loop() { return loop_; }
  QtObjectBackend& ObjectWidgets() { return objects_; }

  HostSurface& Surface() override { return window_.Surface(); }
  HostDialogs& Dialogs() override { return dialogs_; }
  HostWindow& Window() override { return window_; }
  HostEventLoop& EventLoop() override { return loop_; }
  HostClipboard& Clipboard() override { return clipboard_; }
  ObjectBackend& Objects() override { return objects_; }
  HostMedia& Media() override { return media_; }
  TQtMedia& QtMedia() { return media_; }
  TQtShell& Shell() { return shell_; }

  void ShowTrayIcon(bool show) override { shell_.ShowTrayIcon(show); }
  void ShowCursor(bool show) override { shell_.ShowCursor(show); }
  void BringToFront(int index) override { shell_.BringToFront(index); }
  void SendToBack(int index) override { shell_.SendToBack(index); }
  EditorSettings GetEditorSettings(int index) override { return shell_.GetEditorSettings(index); }
  void SetEditorSettings(int index, const EditorSettings& settings) override {
    shell_.SetEditorSettings(index, settings);
  }
  void EditorSettingsDialog(int index) override { shell_.EditorSettingsDialog(index); }

 private:
  Interpreter* in_ = nullptr;
  TfrmSorane window_;
  TDialogHost dialogs_{window_, window_.Surface()};
  TQtEventLoop loop_;
  TQtClipboard clipboard_;
  TQtMedia media_;
  // The widgets of script objects; object 0 is window_.
  QtObjectBackend objects_{window_};
  TQtShell shell_{window_, objects_, dialogs_};
  std::unique_ptr<ObjectEventDispatcher> events_;
};

}  // namespace sorane
