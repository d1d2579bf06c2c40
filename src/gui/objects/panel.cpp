// パネル: a raised panel that other objects can be put on, showing its caption
// in the middle (empty at first).
#include <QFrame>
#include <QPainter>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

class TPanelBox : public QFrame {
 public:
  explicit TPanelBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
  }
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption) {
    caption_ = caption;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QFrame::paintEvent(e);
    QPainter p(this);
    p.drawText(contentsRect(), Qt::AlignCenter, caption_);
  }

 private:
  QString caption_;
};

TPanelBox* Panel(ObjWidget& o) {
  return o.As<TPanelBox>();
}

QWidget* Create(ObjWidget&, const NewObject&, QWidget* parent) {
  auto* panel = new TPanelBox(parent);
  panel->resize(185, 41);
  return panel;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       Panel(o)->SetCaption(Q(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Panel(o)->Caption())); }},
};

}  // namespace

const KindWidget& PanelWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Panel(o)->Caption()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Panel(o)->SetCaption(Q(text)); },
  };
  return kind;
}

}  // namespace sorane
