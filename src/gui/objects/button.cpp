// ボタン: a push button showing its caption, and the picture 画像 names beside
// it. One push button shows a picture and any text colour, so setting them
// never replaces the widget (which may be the very button being clicked).
#include <QFontMetrics>
#include <QPushButton>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

QPushButton* Button(ObjWidget& o) {
  return o.As<QPushButton>();
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* button = new QPushButton(Q(created.caption), parent);
  ApplyCreationFont(button, created);
  button->resize(button->sizeHint());
  RaiseOn(o, button, &QPushButton::clicked, ObjEvent::kClick);
  return button;
}

// A caption wider than the button widens it to the text and a margin.
bool SetText(ObjWidget& o, const PropertyValue& v) {
  QPushButton* button = Button(o);
  QString caption = Q(v.text);
  button->setText(caption);
  int width = QFontMetrics(button->font()).horizontalAdvance(caption);
  if (width > button->width()) button->resize(width + 10, button->height());
  return true;
}

PropertyValue GetText(ObjWidget& o) {
  return TextValue(S(Button(o)->text()));
}

// An empty name takes the picture away; an unreadable one is refused.
bool SetPicture(ObjWidget& o, const PropertyValue& v) {
  QPushButton* button = Button(o);
  if (v.text.empty()) {
    button->setIcon(QIcon());
    return true;
  }
  QImage picture = LoadPicture(v.text);
  if (picture.isNull()) return false;
  button->setIcon(QIcon(QPixmap::fromImage(picture)));
  button->setIconSize(picture.size());
  return true;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText, SetText, GetText},
    {PropId::kPicture, SetPicture, nullptr},
};

}  // namespace

const KindWidget& ButtonWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Button(o)->text()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Button(o)->setText(Q(text)); },
      .click_by_signal = true,
  };
  return kind;
}

}  // namespace sorane
