// ラジオ: a radio group, one radio button per line of アイテム, one chosen at most.
#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

class TRadioGroup : public QGroupBox {
 public:
  TRadioGroup(QWidget* parent) : QGroupBox(parent), group_(new QButtonGroup(this)) {
    new QVBoxLayout(this);
  }
  QButtonGroup* Group() const { return group_; }
  QList<QAbstractButton*> Buttons() const { return group_->buttons(); }

  // The old buttons may be the one being clicked: they go later.
  void SetItems(const QStringList& items) {
    for (QAbstractButton* b : group_->buttons()) {
      group_->removeButton(b);
      layout()->removeWidget(b);
      b->hide();
      b->deleteLater();
    }
    int id = 0;
    for (const QString& item : items) {
      auto* b = new QRadioButton(item, this);
      group_->addButton(b, id++);
      layout()->addWidget(b);
    }
  }

  // -1 (or any row outside the items) chooses none when `clear` is set.
  void Choose(int row, bool clear) {
    if (QAbstractButton* b = group_->button(row)) {
      b->setChecked(true);
    } else if (clear && group_->checkedButton()) {
      group_->setExclusive(false);
      group_->checkedButton()->setChecked(false);
      group_->setExclusive(true);
    }
  }

 private:
  QButtonGroup* group_;
};

TRadioGroup* Radio(ObjWidget& o) {
  return o.As<TRadioGroup>();
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* radio = new TRadioGroup(parent);
  ApplyCreationFont(radio, created);
  radio->resize(185, 105);
  RaiseOn(o, radio->Group(), &QButtonGroup::idClicked, ObjEvent::kClick);
  return radio;
}

bool SetChosenText(ObjWidget& o, const PropertyValue& v) {
  if (QAbstractButton* b = Radio(o)->Group()->checkedButton()) b->setText(Q(v.text));
  return true;
}

PropertyValue ChosenText(ObjWidget& o) {
  QAbstractButton* b = Radio(o)->Group()->checkedButton();
  return TextValue(b ? S(b->text()) : std::string());
}

constexpr PropertyAccess kRows[] = {
    {PropId::kItems,
     [](ObjWidget& o, const PropertyValue& v) {
       Radio(o)->SetItems(QLines(v.text));
       return true;
     },
     [](ObjWidget& o) {
       QStringList items;
       for (QAbstractButton* b : Radio(o)->Buttons()) items.push_back(b->text());
       return TextValue(LinesText(items));
     }},
    {PropId::kText, SetChosenText, ChosenText},
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       if (v.number >= 0 && v.number < Radio(o)->Buttons().size())
         Radio(o)->Choose(static_cast<int>(v.number), false);
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Radio(o)->Group()->checkedId()); }},
};

}  // namespace

const KindWidget& RadioWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return std::to_string(Radio(o)->Group()->checkedId()); },
      .set_default = [](ObjWidget& o,
                        const std::string& text) { Radio(o)->Choose(IntOf(text), true); },
      .item_count = [](ObjWidget& o) { return static_cast<int>(Radio(o)->Buttons().size()); },
      .click_by_signal = true,
  };
  return kind;
}

}  // namespace sorane
