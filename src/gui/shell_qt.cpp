#include "gui/shell_qt.h"

#include <QApplication>
#include <QEvent>
#include <QMenuBar>
#include <QStyle>

#include "gui/frm_sorane.h"
#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

std::string TrayTipText(const std::string& caption) {
  constexpr size_t kMaxBytes = 63;
  size_t end = 0;
  while (end < caption.size()) {
    size_t next = end + CharLen(caption, end);
    if (next > kMaxBytes) break;
    end = next;
  }
  return caption.substr(0, end);
}

TQtShell::TQtShell(TfrmSorane& window, QtObjectBackend& objects, HostDialogs& dialogs)
    : tray_available([] { return QSystemTrayIcon::isSystemTrayAvailable(); }),
      window_(window),
      objects_(objects),
      dialogs_(dialogs) {}

TQtShell::~TQtShell() {
  if (cursor_hidden_) QApplication::restoreOverrideCursor();
}

// ---- The tray icon ----

QIcon TQtShell::WindowIcon() const {
  QIcon icon = window_.windowIcon();
  if (icon.isNull()) icon = QApplication::windowIcon();
  if (icon.isNull()) icon = window_.style()->standardIcon(QStyle::SP_ComputerIcon);
  return icon;
}

void TQtShell::ShowTrayIcon(bool show) {
  if (show == (tray_ != nullptr)) return;
  if (show) {
    tray_ = std::make_unique<QSystemTrayIcon>(WindowIcon());
    tray_->setToolTip(Q(TrayTipText(window_.WindowCaption())));
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { TrayActivated(reason); });
    window_.installEventFilter(this);
    tray_->show();
    if (tray_available()) {
      // Out of the task bar: a tool window, with the same place and state.
      saved_flags_ = window_.windowFlags();
      bool visible = window_.isVisible();
      window_.setWindowFlags((saved_flags_ & ~Qt::WindowType_Mask) | Qt::Tool);
      if (visible) window_.show();
      taskbar_hidden_ = true;
    }
    return;
  }
  window_.removeEventFilter(this);
  tray_->hide();
  tray_.reset();
  if (taskbar_hidden_) {
    bool visible = window_.isVisible();
    window_.setWindowFlags(saved_flags_);
    if (visible) window_.show();
    taskbar_hidden_ = false;
  }
}

void TQtShell::BringWindowToFront() {
  if (window_.isMinimized()) window_.showNormal();
  window_.raise();
  window_.activateWindow();
}

void TQtShell::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger: {
      BringWindowToFront();
      ObjectEvent click;
      click.index = 0;
      click.what = ObjEvent::kClick;
      objects_.Report(click);
      return;
    }
    case QSystemTrayIcon::Context:
      BringWindowToFront();
      if (dialogs_.AskYesNo(SJ("終了しますか？"), false) == 0) window_.close();
      return;
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::MiddleClick:
      BringWindowToFront();
      return;
    case QSystemTrayIcon::Unknown:
      return;
  }
}

bool TQtShell::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && tray_) {
    if (event->type() == QEvent::WindowIconChange) tray_->setIcon(WindowIcon());
    if (event->type() == QEvent::WindowTitleChange)
      tray_->setToolTip(Q(TrayTipText(window_.WindowCaption())));
  }
  return false;
}

// ---- The cursor ----

// Shows and hides are counted; the cursor is hidden over the run's windows
// while the hides outnumber the shows. The window takes input-method text
// while shown, not while hidden.
void TQtShell::ShowCursor(bool show) {
  cursor_count_ += show ? 1 : -1;
  bool hide = cursor_count_ < 0;
  if (hide && !cursor_hidden_) QApplication::setOverrideCursor(Qt::BlankCursor);
  if (!hide && cursor_hidden_) QApplication::restoreOverrideCursor();
  cursor_hidden_ = hide;
  window_.setAttribute(Qt::WA_InputMethodEnabled, show);
}

// ---- Z-order ----

namespace {

// A window's drawing surface stays below every object placed on it.
void KeepSurfaceBelow(QWidget* parent) {
  if (!parent) return;
  if (QWidget* img = parent->findChild<QWidget*>("img", Qt::FindDirectChildrenOnly)) img->lower();
}

void StayOnTop(QWidget* window, bool on) {
  if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  bool visible = window->isVisible();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (visible) window->show();
}

}  // namespace

void TQtShell::BringToFront(int index) {
  QWidget* w = objects_.WidgetOf(index);
  if (!w || MenuItemAction(w)) return;
  if (w->isWindow()) StayOnTop(w, true);
  w->raise();
  // The menu bar stays over what the window holds.
  if (w->parentWidget() == &window_)
    if (QMenuBar* bar = HostMenuBar(&window_)) bar->raise();
}

void TQtShell::SendToBack(int index) {
  QWidget* w = objects_.WidgetOf(index);
  if (!w || MenuItemAction(w)) return;
  if (w->isWindow()) StayOnTop(w, false);
  w->lower();
  if (!w->isWindow()) KeepSurfaceBelow(w->parentWidget());
}

// ---- Editor settings ----

WindowExtras::EditorSettings TQtShell::GetEditorSettings(int index) {
  QWidget* w = objects_.WidgetOf(index);
  return w ? EditorSettingsOf(w) : EditorSettings{};
}

void TQtShell::SetEditorSettings(int index, const EditorSettings& settings) {
  if (QWidget* w = objects_.WidgetOf(index)) ApplyEditorSettings(w, settings);
}

void TQtShell::EditorSettingsDialog(int index) {
  if (QWidget* w = objects_.WidgetOf(index)) RunEditorSettingsDialog(w);
}

}  // namespace sorane
