// The host window: the top-level form whose client area is covered by the
// drawing surface `img` (draw_surface.h). It carries out the window commands
// (state, border, icon, position, closing through the script's close handler)
// and, as object 0, reports its events to the script: mouse events of the
// surface and resizing. Its key events (seen before the focused control), its
// properties and file drops go through the object backend like those of every
// other object (gui/objects/qt_object_backend.h).
#pragma once

#include <QWidget>

class QMouseEvent;

#include "library/objects/backend.h"
#include "runtime/host.h"

namespace sorane {

class Interpreter;
class QtObjectBackend;
class TDrawSurface;

// The application's title (the host window's caption), which dialogs carry.
// It is kept apart from Qt's display name: Qt appends that name to the title
// of every other window as the desktop shows it.
const QString& ApplicationTitle();
void SetApplicationTitle(const QString& title);

class TfrmSorane : public QWidget, public HostWindow {
  Q_OBJECT
 public:
  TfrmSorane();

  // The run whose close handler a close request asks; nullptr detaches.
  void Attach(Interpreter* in) { in_ = in; }
  // Where the window's events (object 0) go; nullptr: nowhere.
  void SetEventSink(ObjectEventSink* sink) { events_ = sink; }
  // The widgets of the run's objects (the pictures of image objects).
  void SetObjectWidgets(QtObjectBackend* objects) { objects_ = objects; }

  TDrawSurface& Surface() { return *img_; }
  // Image of the window as a person sees it: `img` and the child widgets.
  QImage Snapshot();
  // Sets the window icon from a picture (in memory).
  bool SetIconFromImage(const QImage& picture);

  // HostWindow
  void WindowCommand(WindowAction action) override;
  void SetBorderStyle(int style) override;
  bool SetIconFile(const std::string& os_path) override;
  bool SetIconData(const std::string& ico) override;
  bool SetIconFromObject(int object_index) override;
  Geometry GetGeometry() override;
  void SetGeometry(const Geometry& g) override;
  std::string WindowCaption() override;
  int ScreenWidth() override;
  int ScreenHeight() override;
  void Close() override;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  void Report(const ObjectEvent& event);
  void ReportMouse(QMouseEvent* e, ObjEvent what, bool double_click);

  Interpreter* in_ = nullptr;
  ObjectEventSink* events_ = nullptr;
  QtObjectBackend* objects_ = nullptr;
  TDrawSurface* img_ = nullptr;  // a child: freed with the window
  bool pressed_ = false;         // a button went down on the surface (for the click)
  bool closing_ = false;         // the close request already ran (おわり)
};

// Gives a top-level window (the host window, a フォーム) a border style: 0
// none, 1 single, 2 sizeable, 3 dialog, 4 tool window, 5 sizeable tool window
// (fixed styles keep the present size); BorderStyleOf reads it back (2 at first).
void ApplyBorderStyle(QWidget& window, int style);
int BorderStyleOf(const QWidget& window);

}  // namespace sorane
