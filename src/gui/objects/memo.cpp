// メモ: a multi-line edit, both scroll bars at first. Its text has CR LF line
// breaks for scripts, and positions count each of them as two characters.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

constexpr char kScrollBarsKey[] = "soraneScrollBars";

QPlainTextEdit* Memo(ObjWidget& o) {
  return o.As<QPlainTextEdit>();
}

// スクロールバー: "縦", "横", "両方" or none. Without a horizontal bar long
// lines wrap.
void SetScrollBars(QPlainTextEdit* memo, const std::string& which) {
  bool vertical = which == SJ("縦") || which == SJ("両方");
  bool horizontal = which == SJ("横") || which == SJ("両方");
  memo->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  memo->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  memo->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
  memo->setProperty(kScrollBarsKey, vertical || horizontal ? Q(which) : QString());
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  SetScrollBars(memo, SJ("両方"));
  ApplyCreationFont(memo, created);
  memo->resize(185, 89);
  RaiseOn(o, memo, &QPlainTextEdit::textChanged, ObjEvent::kChange);
  return memo;
}

TextSelection Selection(QPlainTextEdit* memo) {
  QTextCursor c = memo->textCursor();
  return SelectionIn(memo->toPlainText(), c.selectionStart(), c.selectionEnd(), true);
}

void Select(QPlainTextEdit* memo, TextSelection selection) {
  auto [start, end] = Utf16Selection(memo->toPlainText(), selection, true);
  QTextCursor c = memo->textCursor();
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  memo->setTextCursor(c);
}

// 列 moves the caret forward from the selection start; 行 puts it at the start
// of a line and scrolls by as many lines as it moved.
bool SetColumn(ObjWidget& o, const PropertyValue& v) {
  QPlainTextEdit* memo = Memo(o);
  Select(memo, {Selection(memo).start + static_cast<int>(std::max<int64_t>(0, v.number)), 0});
  return true;
}

PropertyValue GetColumn(ObjWidget& o) {
  QTextCursor c = Memo(o)->textCursor();
  return NumberValue(CharsOf(c.block().text(), 0, c.positionInBlock(), false));
}

bool SetRow(ObjWidget& o, const PropertyValue& v) {
  QPlainTextEdit* memo = Memo(o);
  QTextBlock line = memo->document()->findBlockByNumber(static_cast<int>(v.number));
  if (!line.isValid()) return true;
  int from = memo->textCursor().blockNumber();
  QTextCursor c(line);
  memo->setTextCursor(c);
  QScrollBar* bar = memo->verticalScrollBar();
  bar->setValue(bar->value() + line.blockNumber() - from);
  return true;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText,
     [](ObjWidget& o, const PropertyValue& v) {
       Memo(o)->setPlainText(QMultiline(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(MultilineText(Memo(o)->toPlainText())); }},
    {PropId::kEditable,
     [](ObjWidget& o, const PropertyValue& v) {
       Memo(o)->setReadOnly(v.number == 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(!Memo(o)->isReadOnly()); }},
    {PropId::kScrollBars,
     [](ObjWidget& o, const PropertyValue& v) {
       SetScrollBars(Memo(o), v.text);
       return true;
     },
     [](ObjWidget& o) { return TextValue(S(Memo(o)->property(kScrollBarsKey).toString())); }},
    {PropId::kSelText,
     [](ObjWidget& o, const PropertyValue& v) {
       Memo(o)->insertPlainText(QMultiline(v.text));
       return true;
     },
     [](ObjWidget& o) {
       QString selected = Memo(o)->textCursor().selectedText();
       selected.replace(QChar::ParagraphSeparator, QChar('\n'));
       return TextValue(MultilineText(selected));
     }},
    {PropId::kSelStart,
     [](ObjWidget& o, const PropertyValue& v) {
       Select(Memo(o), {static_cast<int>(v.number), 0});
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Selection(Memo(o)).start); }},
    {PropId::kSelLength,
     [](ObjWidget& o, const PropertyValue& v) {
       Select(Memo(o), {Selection(Memo(o)).start, static_cast<int>(v.number)});
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Selection(Memo(o)).length); }},
    {PropId::kColumn, SetColumn, GetColumn},
    {PropId::kRow, SetRow,
     [](ObjWidget& o) { return NumberValue(Memo(o)->textCursor().blockNumber()); }},
};

}  // namespace

const KindWidget& MemoWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return MultilineText(Memo(o)->toPlainText()); },
      .set_default = [](ObjWidget& o,
                        const std::string& text) { Memo(o)->setPlainText(QMultiline(text)); },
      .empty = [](ObjWidget& o) { Memo(o)->clear(); },
      .drop =
          [](ObjWidget& o, const std::string& names) {
            for (const QString& name : QLines(names)) Memo(o)->appendPlainText(name);
          },
      .mouse_widgets =
          [](QWidget* w, QList<QWidget*>& out) {
            out.push_back(static_cast<QPlainTextEdit*>(w)->viewport());
          },
  };
  return kind;
}

}  // namespace sorane
