// チェック: a check box with its caption.
#include <QCheckBox>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

QCheckBox* Check(ObjWidget& o) {
  return o.As<QCheckBox>();
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* check = new QCheckBox(Q(created.caption), parent);
  ApplyCreationFont(check, created);
  KeepBackColor(check, kButtonFaceColor);
  check->resize(check->sizeHint());
  RaiseOn(o, check, &QCheckBox::clicked, ObjEvent::kClick);
  return check;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       Check(o)->setText(Q(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Check(o)->text())); }},
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       Check(o)->setChecked(v.number != 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Check(o)->isChecked()); }},
};

}  // namespace

const KindWidget& CheckWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return std::string(Check(o)->isChecked() ? "1" : "0"); },
      .set_default = [](ObjWidget& o,
                        const std::string& text) { Check(o)->setChecked(IntOf(text) > 0); },
      .empty = [](ObjWidget& o) { Check(o)->setText(QString()); },
      .click_by_signal = true,
  };
  return kind;
}

}  // namespace sorane
