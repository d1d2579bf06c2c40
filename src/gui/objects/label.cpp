// ラベル: a static text, see-through at first, sized to its text.
#include <QEvent>
#include <QLabel>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

// Sized to its text, again whenever its font changes.
class TLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void changeEvent(QEvent* e) override {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange) adjustSize();
  }
};

QLabel* Label(ObjWidget& o) {
  return o.As<QLabel>();
}

void SetCaption(ObjWidget& o, const std::string& text) {
  Label(o)->setText(Q(text));
  Label(o)->adjustSize();
}

QWidget* Create(ObjWidget&, const NewObject& created, QWidget* parent) {
  auto* label = new TLabel(Q(created.caption), parent);
  label->setTextFormat(Qt::PlainText);  // a "<b>" in a caption is shown, not applied
  label->setAutoFillBackground(false);
  ApplyCreationFont(label, created);
  KeepBackColor(label, kButtonFaceColor);
  label->adjustSize();
  return label;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       SetCaption(o, v.text);
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Label(o)->text())); }},
    // See-through: the colour behind it shows instead of its background colour.
    {PropId::kTransparent,
     [](ObjWidget& o, const PropertyValue& v) {
       Label(o)->setAutoFillBackground(v.number == 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(!Label(o)->autoFillBackground()); }},
};

}  // namespace

const KindWidget& LabelWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Label(o)->text()); },
      .set_default = SetCaption,
      .empty = [](ObjWidget& o) { Label(o)->clear(); },
  };
  return kind;
}

}  // namespace sorane
