// Tエディタ: the editor component (QScintilla), both scroll bars, CR LF line
// breaks kept in its text. Positions count characters as scripts do; the
// editor counts bytes of UTF-8, converted here.
#include <Qsci/qsciscintilla.h>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

QsciScintilla* Editor(ObjWidget& o) {
  return o.As<QsciScintilla>();
}

long Send(QsciScintilla* e, unsigned int message, unsigned long w = 0, long l = 0) {
  return e->SendScintilla(message, w, l);
}

// Editor positions (UTF-8 bytes) and UTF-16 indexes of its text.
int Utf16Of(const QString& text, long bytes) {
  return static_cast<int>(QString::fromUtf8(text.toUtf8().left(static_cast<int>(bytes))).size());
}
long BytesOf(const QString& text, int utf16) {
  return text.left(utf16).toUtf8().size();
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* editor = new QsciScintilla(parent);
  editor->setUtf8(true);
  editor->setEolMode(QsciScintilla::EolWindows);
  editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ApplyCreationFont(editor, created);
  editor->setFont(editor->QWidget::font());  // the editor's own text styles
  editor->resize(185, 89);
  RaiseOn(o, editor, &QsciScintilla::textChanged, ObjEvent::kChange);
  return editor;
}

TextSelection Selection(QsciScintilla* e) {
  QString text = e->text();
  return SelectionIn(text, Utf16Of(text, Send(e, QsciScintillaBase::SCI_GETSELECTIONSTART)),
                     Utf16Of(text, Send(e, QsciScintillaBase::SCI_GETSELECTIONEND)), false);
}

void Select(QsciScintilla* e, TextSelection selection) {
  QString text = e->text();
  auto [start, end] = Utf16Selection(text, selection, false);
  Send(e, QsciScintillaBase::SCI_SETSEL, BytesOf(text, start), BytesOf(text, end));
}

// The caret's line, and its column in characters of that line.
std::pair<int, int> Caret(QsciScintilla* e) {
  long pos = Send(e, QsciScintillaBase::SCI_GETCURRENTPOS);
  int line = static_cast<int>(Send(e, QsciScintillaBase::SCI_LINEFROMPOSITION, pos));
  long start = Send(e, QsciScintillaBase::SCI_POSITIONFROMLINE, line);
  QString text = e->text(line);
  return {line, CharsOf(text, 0, Utf16Of(text, pos - start), false)};
}

// A line or column outside the text changes nothing.
void MoveCaret(QsciScintilla* e, int line, int column) {
  if (line < 0 || line >= e->lines() || column < 0) return;
  QString text = e->text(line);
  while (text.endsWith(QChar('\n')) || text.endsWith(QChar('\r'))) text.chop(1);
  int u16 = Utf16After(text, 0, column, false);
  long pos = Send(e, QsciScintillaBase::SCI_POSITIONFROMLINE, line) + BytesOf(text, u16);
  Send(e, QsciScintillaBase::SCI_GOTOPOS, pos);
}

int IntValue(const PropertyValue& v) {
  return static_cast<int>(std::clamp<int64_t>(v.number, -1, INT32_MAX));
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       Editor(o)->setText(Q(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Editor(o)->text())); }},
    {PropId::kSelText,
     [](ObjWidget& o, const PropertyValue& v) {
       Editor(o)->replaceSelectedText(Q(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Editor(o)->selectedText())); }},
    {PropId::kSelStart,
     [](ObjWidget& o, const PropertyValue& v) {
       Select(Editor(o), {IntValue(v), 0});
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Selection(Editor(o)).start); }},
    {PropId::kSelLength,
     [](ObjWidget& o, const PropertyValue& v) {
       Select(Editor(o), {Selection(Editor(o)).start, IntValue(v)});
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Selection(Editor(o)).length); }},
    {PropId::kColumn,
     [](ObjWidget& o, const PropertyValue& v) {
       MoveCaret(Editor(o), Caret(Editor(o)).first, IntValue(v));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Caret(Editor(o)).second); }},
    {PropId::kRow,
     [](ObjWidget& o, const PropertyValue& v) {
       MoveCaret(Editor(o), IntValue(v), 0);
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Caret(Editor(o)).first); }},
    {PropId::kBackColor,
     [](ObjWidget& o, const PropertyValue& v) {
       uint32_t color = static_cast<uint32_t>(v.number);
       Editor(o)->setPaper(ColorOf(color));
       KeepBackColor(Editor(o), color);
       return true;
     },
     [](ObjWidget& o) { return NumberValue(BackColor(Editor(o), kWindowColor)); }},
};

}  // namespace

const KindWidget& TEditorWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Editor(o)->text()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Editor(o)->setText(Q(text)); },
      .empty = [](ObjWidget& o) { Editor(o)->clear(); },
      .mouse_widgets =
          [](QWidget* w, QList<QWidget*>& out) {
            out.push_back(static_cast<QsciScintilla*>(w)->viewport());
          },
  };
  return kind;
}

}  // namespace sorane
