// コンボ: a combo box whose text can be typed (編集 0 leaves a choice of its
// items only). Choosing an item is its click; a typed text or a new choice
// its change.
#include <QComboBox>
#include <QLineEdit>

#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

QComboBox* Combo(ObjWidget& o) {
  return o.As<QComboBox>();
}

// The edit field of an editable combo box: no length limit, typed texts are
// not added to the items, and its mouse events are the object's.
void SetUpEdit(ObjWidget& o) {
  QComboBox* combo = Combo(o);
  combo->setInsertPolicy(QComboBox::NoInsert);
  if (QLineEdit* edit = combo->lineEdit()) {
    edit->setMaxLength(std::numeric_limits<int>::max());
    QtObjectBackend::TakeMouse(o.index, edit);
  }
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  o.widget = combo;
  SetUpEdit(o);
  ApplyCreationFont(combo, created);
  combo->resize(combo->sizeHint().expandedTo(QSize(120, 0)));
  RaiseOn(o, combo, &QComboBox::activated, ObjEvent::kClick);
  RaiseOn(o, combo, &QComboBox::editTextChanged, ObjEvent::kChange);
  // Without an edit field the choice is the change.
  QtObjectBackend* backend = o.backend;
  int index = o.index;
  QObject::connect(combo, &QComboBox::currentIndexChanged, BackendObject(backend),
                   [backend, index, combo] {
                     if (!combo->isEditable()) ReportEvent(backend, index, ObjEvent::kChange);
                   });
  return combo;
}

// New items keep the text and choose none, as no change.
bool SetItems(ObjWidget& o, const PropertyValue& v) {
  QComboBox* combo = Combo(o);
  QSignalBlocker quiet(combo);
  QString text = combo->currentText();
  combo->clear();
  combo->addItems(QLines(v.text));
  combo->setCurrentIndex(-1);
  if (combo->isEditable()) combo->setEditText(text);
  return true;
}

QStringList Items(QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i));
  return items;
}

void SetText(ObjWidget& o, const std::string& text) {
  QComboBox* combo = Combo(o);
  if (combo->isEditable())
    combo->setEditText(Q(text));
  else
    combo->setCurrentIndex(combo->findText(Q(text)));
}

bool SetEditable(ObjWidget& o, const PropertyValue& v) {
  Combo(o)->setEditable(v.number != 0);
  SetUpEdit(o);
  return true;
}

// The selection rows work on the edit field; a choice-only combo has none.
QLineEdit* Field(ObjWidget& o) {
  return Combo(o)->lineEdit();
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       SetText(o, v.text);
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Combo(o)->currentText())); }},
    {PropId::kItems, SetItems, [](ObjWidget& o) { return TextValue(LinesText(Items(Combo(o)))); }},
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       if (v.number >= 0 && v.number < Combo(o)->count())
         Combo(o)->setCurrentIndex(static_cast<int>(v.number));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Combo(o)->currentIndex()); }},
    {PropId::kEditable, SetEditable,
     [](ObjWidget& o) { return FlagValue(Combo(o)->isEditable()); }},
    {PropId::kSelText,
     [](ObjWidget& o, const PropertyValue& v) {
       if (QLineEdit* field = Field(o)) field->insert(Q(v.text));
       return true;
     },
     [](ObjWidget& o) {
       QLineEdit* field = Field(o);
       return TextValue(field ? S(field->selectedText()) : std::string());
     }},
    {PropId::kSelStart,
     [](ObjWidget& o, const PropertyValue& v) {
       if (QLineEdit* field = Field(o)) SetLineSelection(field, {static_cast<int>(v.number), 0});
       return true;
     },
     [](ObjWidget& o) {
       QLineEdit* field = Field(o);
       return NumberValue(field ? LineSelection(field).start : 0);
     }},
    {PropId::kSelLength,
     [](ObjWidget& o, const PropertyValue& v) {
       if (QLineEdit* field = Field(o))
         SetLineSelection(field, {LineSelection(field).start, static_cast<int>(v.number)});
       return true;
     },
     [](ObjWidget& o) {
       QLineEdit* field = Field(o);
       return NumberValue(field ? LineSelection(field).length : 0);
     }},
};

}  // namespace

const KindWidget& ComboWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Combo(o)->currentText()); },
      .set_default = SetText,
      .empty =
          [](ObjWidget& o) {
            Combo(o)->clear();
            Combo(o)->clearEditText();
          },
      .item_count = [](ObjWidget& o) { return Combo(o)->count(); },
  };
  return kind;
}

}  // namespace sorane
