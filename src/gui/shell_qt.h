// The host window's services beside its objects, on Qt: the notification-area
// (tray) icon, the mouse cursor, the z-order of objects and the settings of
// Tエディタ objects (WindowExtras).
//
// Tray icon: shown with the window's icon and its caption as tip (at most 63
// bytes of CP932, cut at a character boundary). A left click raises 母艦's
// クリックした時; a right click asks "終了しますか？" and closes the window
// (through its close handler) on yes; any click brings the window to the
// front, hovering does not. While the icon shows, the window leaves the task
// bar (it becomes a tool window) — only where a notification area exists:
// without one the task-bar entry stays, so the window never becomes
// unreachable.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "library/objects/menu_commands.h"
#include "runtime/host.h"

namespace sorane {

class QtObjectBackend;
class TfrmSorane;

// The tip of the tray icon: `caption` (CP932) cut to at most 63 bytes at a
// character boundary.
std::string TrayTipText(const std::string& caption);

class TQtShell : public QObject, public WindowExtras {
 public:
  TQtShell(TfrmSorane& window, QtObjectBackend& objects, HostDialogs& dialogs);
  ~TQtShell() override;

  // Whether the desktop has a notification area (tests may decide).
  std::function<bool()> tray_available;
  // The icon while it is shown; nullptr otherwise.
  QSystemTrayIcon* Tray() const { return tray_.get(); }
  // The window left the task bar for the icon.
  bool TaskbarHidden() const { return taskbar_hidden_; }
  // What a click on the icon does (the icon's own signal calls it).
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);

  void ShowTrayIcon(bool show) override;
  void ShowCursor(bool show) override;
  void BringToFront(int index) override;
  void SendToBack(int index) override;
  EditorSettings GetEditorSettings(int index) override;
  void SetEditorSettings(int index, const EditorSettings& settings) override;
  void EditorSettingsDialog(int index) override;

 protected:
  // 母艦アイコン changes the tray's icon too.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QIcon WindowIcon() const;
  void BringWindowToFront();

  TfrmSorane& window_;
  QtObjectBackend& objects_;
  HostDialogs& dialogs_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  bool taskbar_hidden_ = false;
  Qt::WindowFlags saved_flags_;
  int cursor_count_ = 0;  // below 0: the cursor is hidden
  bool cursor_hidden_ = false;
};

}  // namespace sorane
