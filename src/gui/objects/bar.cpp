// バー: a scroll bar, horizontal at first, positions 0 to 100.
#include <QScrollBar>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

QScrollBar* Bar(ObjWidget& o) {
  return o.As<QScrollBar>();
}

QWidget* Create(ObjWidget& o, const NewObject&, QWidget* parent) {
  auto* bar = new QScrollBar(Qt::Horizontal, parent);
  bar->setRange(0, 100);
  bar->resize(120, bar->sizeHint().height());
  RaiseOn(o, bar, &QScrollBar::valueChanged, ObjEvent::kChange);
  return bar;
}

// 向き: "縦" vertical, anything else horizontal; turning the bar swaps its sides.
bool SetOrientation(ObjWidget& o, const PropertyValue& v) {
  QScrollBar* bar = Bar(o);
  Qt::Orientation want = v.text == SJ("縦") ? Qt::Vertical : Qt::Horizontal;
  if (want != bar->orientation()) {
    bar->setOrientation(want);
    bar->resize(bar->height(), bar->width());
  }
  return true;
}

constexpr PropertyAccess kRows[] = {
    // A negative position is no position; others are kept inside the range.
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       if (v.number >= 0) Bar(o)->setValue(static_cast<int>(v.number));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Bar(o)->value()); }},
    {PropId::kMaximum,
     [](ObjWidget& o, const PropertyValue& v) {
       Bar(o)->setMaximum(static_cast<int>(v.number));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Bar(o)->maximum()); }},
    {PropId::kMinimum,
     [](ObjWidget& o, const PropertyValue& v) {
       Bar(o)->setMinimum(static_cast<int>(v.number));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Bar(o)->minimum()); }},
    {PropId::kOrientation, SetOrientation,
     [](ObjWidget& o) {
       return TextValue(Bar(o)->orientation() == Qt::Vertical ? SJ("縦") : SJ("横"));
     }},
};

}  // namespace

const KindWidget& BarWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return std::to_string(Bar(o)->value()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Bar(o)->setValue(IntOf(text)); },
  };
  return kind;
}

}  // namespace sorane
