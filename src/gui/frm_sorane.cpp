#include "gui/frm_sorane.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QScreen>

#include "gui/draw_surface.h"
#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"
#include "gui/virtual_keys.h"
#include "library/output/output.h"
#include "runtime/interpreter.h"

namespace sorane {

// An event of object 0.
static ObjectEvent HostEvent(ObjEvent what) {
  ObjectEvent event;
  event.index = 0;
  event.what = what;
  return event;
}

static QString& TitleOfApplication() {
  static QString title = QString::fromUtf8("そらね");
  return title;
}

const QString& ApplicationTitle() {
  return TitleOfApplication();
}

void SetApplicationTitle(const QString& title) {
  TitleOfApplication() = title;
}

TfrmSorane::TfrmSorane() {
  setObjectName("frmSorane");
  setWindowTitle(QString::fromUtf8("そらね"));
  SetApplicationTitle(QString::fromUtf8("そらね"));
  resize(640, 400);
  img_ = new TDrawSurface(this);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    QSize frame = frameGeometry().size();
    move(area.left() + (area.width() - frame.width()) / 2,
         area.top() + (area.height() - frame.height()) / 2);
  }
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

QImage TfrmSorane::Snapshot() {
  return grab().toImage();
}

void TfrmSorane::resizeEvent(QResizeEvent* e) {
  // The client area: below the menu bar once there is one.
  img_->FitTo(contentsRect().size());
  img_->move(contentsRect().topLeft());
  QWidget::resizeEvent(e);
  Report(HostEvent(ObjEvent::kChange));
}

void TfrmSorane::closeEvent(QCloseEvent* e) {
  if (!closing_ && in_ && !CloseRequest(*in_)) {
    e->ignore();
    return;
  }
  closing_ = true;
  e->accept();
}

// ---- Events of object 0 ----

void TfrmSorane::Report(const ObjectEvent& event) {
  if (events_) events_->ObjectEventOccurred(event);
}

void TfrmSorane::ReportMouse(QMouseEvent* e, ObjEvent what, bool double_click) {
  QPoint at = e->position().toPoint() - contentsRect().topLeft();
  ObjectEvent event = HostEvent(what);
  event.x = at.x();
  event.y = at.y();
  event.special_keys = SpecialKeysText(e->modifiers(), e->buttons() | e->button(), double_click);
  Report(event);
}

void TfrmSorane::mousePressEvent(QMouseEvent* e) {
  pressed_ = e->button() == Qt::LeftButton;
  ReportMouse(e, ObjEvent::kMouseDown, false);
}

void TfrmSorane::mouseReleaseEvent(QMouseEvent* e) {
  bool click =
      pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  ReportMouse(e, ObjEvent::kMouseUp, false);
  if (click) Report(HostEvent(ObjEvent::kClick));
}

void TfrmSorane::mouseDoubleClickEvent(QMouseEvent* e) {
  pressed_ = false;  // the release of a double click is no click
  Report(HostEvent(ObjEvent::kDblClick));
  ReportMouse(e, ObjEvent::kMouseDown, true);
}

void TfrmSorane::mouseMoveEvent(QMouseEvent* e) {
  ReportMouse(e, ObjEvent::kMouseMove, false);
}

// ---- Window state and services ----

void TfrmSorane::Close() {
  closing_ = true;
  close();
}

int TfrmSorane::ScreenWidth() {
  QScreen* s = screen();
  return s ? s->size().width() : 1024;
}

int TfrmSorane::ScreenHeight() {
  QScreen* s = screen();
  return s ? s->size().height() : 768;
}

void TfrmSorane::WindowCommand(WindowAction action) {
  switch (action) {
    case WindowAction::kMaximise:
      showMaximized();
      break;
    case WindowAction::kMinimise:
    case WindowAction::kMinimiseForm:
      showMinimized();
      break;
    case WindowAction::kNormal:
      showNormal();
      break;
    case WindowAction::kRestore:
      setWindowFlag(Qt::WindowStaysOnTopHint, false);
      setWindowFlag(Qt::FramelessWindowHint, false);
      unsetCursor();
      showNormal();
      break;
    case WindowAction::kFullScreen:
      setWindowFlag(Qt::WindowStaysOnTopHint, true);
      setWindowFlag(Qt::FramelessWindowHint, true);
      showFullScreen();
      break;
    case WindowAction::kShow:
      show();
      QCoreApplication::processEvents();
      break;
    case WindowAction::kRepaint:
      repaint();
      QCoreApplication::processEvents();
      break;
  }
}

void TfrmSorane::SetBorderStyle(int style) {
  ApplyBorderStyle(*this, style);
}

static constexpr char kBorderStyleKey[] = "soraneBorderStyle";

void ApplyBorderStyle(QWidget& window, int style) {
  bool visible = window.isVisible();
  Qt::WindowFlags flags = Qt::Window;
  switch (style) {
    case 0:
      flags |= Qt::FramelessWindowHint;
      break;
    case 1:
    case 3:
      flags |= Qt::MSWindowsFixedSizeDialogHint;
      break;
    case 4:
    case 5:
      flags = Qt::Tool;
      break;
    default:
      break;
  }
  window.setWindowFlags(flags);
  if (style == 1 || style == 3 || style == 4) {
    window.setFixedSize(window.size());
  } else {
    // Sizeable again, at the present size.
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  window.setProperty(kBorderStyleKey, style);
  if (visible) window.show();
}

int BorderStyleOf(const QWidget& window) {
  QVariant style = window.property(kBorderStyleKey);
  return style.isValid() ? style.toInt() : 2;
}

bool TfrmSorane::SetIconFile(const std::string& os_path) {
  QImage picture(QString::fromStdString(os_path));
  if (picture.isNull()) return false;
  return SetIconFromImage(picture);
}

// The picture of an イメージ object; false for another object or an empty image.
bool TfrmSorane::SetIconFromObject(int object_index) {
  auto* image = objects_ ? dynamic_cast<TDrawSurface*>(objects_->WidgetOf(object_index)) : nullptr;
  return image && !image->Picture().isNull() && SetIconFromImage(image->Picture());
}

bool TfrmSorane::SetIconFromImage(const QImage& picture) {
  // Made in memory: no file another run could read or replace.
  if (picture.isNull()) return false;
  QIcon icon(QPixmap::fromImage(picture));
  if (icon.isNull()) return false;
  setWindowIcon(icon);
  QApplication::setWindowIcon(icon);
  return true;
}

bool TfrmSorane::SetIconData(const std::string& ico) {
  QImage picture;
  if (!picture.loadFromData(reinterpret_cast<const uchar*>(ico.data()), int(ico.size()), "ICO"))
    return false;
  return SetIconFromImage(picture);
}

HostWindow::Geometry TfrmSorane::GetGeometry() {
  Geometry g;
  g.state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
  QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
  g.top = r.top();
  g.left = r.left();
  g.height = r.height();
  g.width = r.width();
  return g;
}

void TfrmSorane::SetGeometry(const Geometry& g) {
  setGeometry(g.left, g.top, g.width, g.height);
  if (g.state == 1) showMinimized();
  if (g.state == 2) showMaximized();
  if (g.state == 0 && (isMinimized() || isMaximized())) showNormal();
}

std::string TfrmSorane::WindowCaption() {
  return S(windowTitle());
}

}  // namespace sorane
