// トラック: a box the user moves by dragging inside it and resizes by dragging
// its edges and corners, never smaller than 10 × 10 pixels. Each move or
// resize by the user is its change event.
#include <QMouseEvent>
#include <QPainter>

#include "gui/objects/qt_object_backend.h"

namespace sorane {

namespace {

constexpr int kMinimum = 10;
constexpr int kGrip = 5;  // pixels of an edge that resize instead of moving

class TTrackBox : public QWidget {
 public:
  TTrackBox(QWidget* parent, QtObjectBackend* backend, int index)
      : QWidget(parent), backend_(backend), index_(index) {
    setMinimumSize(kMinimum, kMinimum);
    setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DashLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::WindowText));
    int w = width() - kGrip, h = height() - kGrip;
    for (QPoint at : {QPoint(0, 0), QPoint(w / 2, 0), QPoint(w, 0), QPoint(0, h / 2),
                      QPoint(w, h / 2), QPoint(0, h), QPoint(w / 2, h), QPoint(w, h)})
      p.drawRect(QRect(at, QSize(kGrip, kGrip)));
  }

  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return;
    edges_ = EdgesAt(e->position().toPoint());
    start_mouse_ = e->globalPosition().toPoint();
    start_ = geometry();
    dragging_ = true;
  }

  void mouseMoveEvent(QMouseEvent* e) override {
    if (!dragging_) {
      setCursor(CursorFor(EdgesAt(e->position().toPoint())));
      return;
    }
    QPoint d = e->globalPosition().toPoint() - start_mouse_;
    QRect r = start_;
    if (edges_ == 0) r.translate(d);
    if (edges_ & kLeft) r.setLeft(std::min(r.left() + d.x(), r.right() + 1 - kMinimum));
    if (edges_ & kRight) r.setRight(std::max(r.right() + d.x(), r.left() + kMinimum - 1));
    if (edges_ & kTop) r.setTop(std::min(r.top() + d.y(), r.bottom() + 1 - kMinimum));
    if (edges_ & kBottom) r.setBottom(std::max(r.bottom() + d.y(), r.top() + kMinimum - 1));
    if (r == geometry()) return;
    setGeometry(r);
    if (backend_) ReportEvent(backend_, index_, ObjEvent::kChange);
  }

  void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }

 private:
  enum { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

  int EdgesAt(QPoint at) const {
    int edges = 0;
    if (at.x() < kGrip) edges |= kLeft;
    if (at.x() >= width() - kGrip) edges |= kRight;
    if (at.y() < kGrip) edges |= kTop;
    if (at.y() >= height() - kGrip) edges |= kBottom;
    return edges;
  }

  static Qt::CursorShape CursorFor(int edges) {
    switch (edges) {
      case kLeft | kTop:
      case kRight | kBottom:
        return Qt::SizeFDiagCursor;
      case kRight | kTop:
      case kLeft | kBottom:
        return Qt::SizeBDiagCursor;
      case kLeft:
      case kRight:
        return Qt::SizeHorCursor;
      case kTop:
      case kBottom:
        return Qt::SizeVerCursor;
      default:
        return Qt::SizeAllCursor;
    }
  }

  QPointer<QtObjectBackend> backend_;
  int index_;
  int edges_ = 0;
  bool dragging_ = false;
  QPoint start_mouse_;
  QRect start_;
};

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* box = new TTrackBox(parent, o.backend, o.index);
  ApplyCreationFont(box, created);
  box->resize(100, 100);
  return box;
}

}  // namespace

const KindWidget& TrackWidget() {
  static const KindWidget kind{.create = Create};
  return kind;
}

}  // namespace sorane
