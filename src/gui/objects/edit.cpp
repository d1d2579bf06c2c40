// エディタ: a one-line edit field.
#include <QLineEdit>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

TextSelection LineSelection(const QLineEdit* edit) {
  int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  int end = edit->hasSelectedText() ? edit->selectionEnd() : start;
  return SelectionIn(edit->text(), start, end, false);
}

// A length of 0 puts the caret at the start.
void SetLineSelection(QLineEdit* edit, TextSelection selection) {
  auto [start, end] = Utf16Selection(edit->text(), selection, false);
  if (end > start)
    edit->setSelection(start, end - start);
  else
    edit->setCursorPosition(start);
}

namespace {

QLineEdit* Edit(ObjWidget& o) {
  return o.As<QLineEdit>();
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(std::numeric_limits<int>::max());
  ApplyCreationFont(edit, created);
  edit->resize(edit->sizeHint());
  RaiseOn(o, edit, &QLineEdit::textChanged, ObjEvent::kChange);
  return edit;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       Edit(o)->setText(Q(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Edit(o)->text())); }},
    {PropId::kEditable,
     [](ObjWidget& o, const PropertyValue& v) {
       Edit(o)->setReadOnly(v.number == 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(!Edit(o)->isReadOnly()); }},
    {PropId::kSelText,
     [](ObjWidget& o, const PropertyValue& v) {
       Edit(o)->insert(Q(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Edit(o)->selectedText())); }},
    {PropId::kSelStart,
     [](ObjWidget& o, const PropertyValue& v) {
       SetLineSelection(Edit(o), {static_cast<int>(v.number), 0});
       return true;
     },
     [](ObjWidget& o) { return NumberValue(LineSelection(Edit(o)).start); }},
    {PropId::kSelLength,
     [](ObjWidget& o, const PropertyValue& v) {
       SetLineSelection(Edit(o), {LineSelection(Edit(o)).start, static_cast<int>(v.number)});
       return true;
     },
     [](ObjWidget& o) { return NumberValue(LineSelection(Edit(o)).length); }},
};

}  // namespace

const KindWidget& EditWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Edit(o)->text()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Edit(o)->setText(Q(text)); },
      .empty = [](ObjWidget& o) { Edit(o)->clear(); },
      // Dropped names become the text, one per line as the event has them.
      .drop =
          [](ObjWidget& o, const std::string& names) {
            std::string text = names;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            Edit(o)->setText(Q(text));
          },
  };
  return kind;
}

}  // namespace sorane
