// Tエディタ: the editor component (QScintilla), both scroll bars, CR LF line
// breaks kept in its text. Positions count characters as scripts do; the
// editor counts bytes of UTF-8, converted here. A new editor starts with the
// host window's editor settings, then takes the text font as other objects do;
// Tエディタ設定 and its file commands change the settings later.
#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

#include "gui/dialog_automation.h"
#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"
#include "library/objects/properties.h"

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

// The host window's editor settings, which every new editor copies.
const WindowExtras::EditorSettings& HostEditorSettings() {
  static const WindowExtras::EditorSettings settings = {
      {"TabWidth", "4"}, {"LineNumbers", "0"}, {"WordWrap", "0"}, {"AutoIndent", "1"}};
  return settings;
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* editor = new QsciScintilla(parent);
  editor->setUtf8(true);
  editor->setEolMode(QsciScintilla::EolWindows);
  editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ApplyEditorSettings(editor, HostEditorSettings());
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

void SetFont(QsciScintilla* e, const QFont& font) {
  e->QWidget::setFont(font);
  e->setFont(font);  // the editor's own text styles
}

void ShowLineNumbers(QsciScintilla* e, bool on) {
  e->setMarginLineNumbers(0, on);
  e->setMarginWidth(0, on ? e->fontMetrics().horizontalAdvance(QStringLiteral("000000")) : 0);
}

}  // namespace

WindowExtras::EditorSettings EditorSettingsOf(QWidget* widget) {
  auto* e = qobject_cast<QsciScintilla*>(widget);
  if (!e) return {};
  auto number = [](int64_t n) { return std::to_string(n); };
  return {
      {"Font", S(e->QWidget::font().family())},
      {"FontSize", number(e->QWidget::font().pointSize())},
      {"FontColor", number(ValueOf(e->color()))},
      {"BackColor", number(BackColor(e, kWindowColor))},
      {"TabWidth", number(e->tabWidth())},
      {"LineNumbers", e->marginLineNumbers(0) ? "1" : "0"},
      {"WordWrap", e->wrapMode() == QsciScintilla::WrapNone ? "0" : "1"},
      {"AutoIndent", e->autoIndent() ? "1" : "0"},
  };
}

void ApplyEditorSettings(QWidget* widget, const WindowExtras::EditorSettings& settings) {
  auto* e = qobject_cast<QsciScintilla*>(widget);
  if (!e) return;
  for (const auto& [name, value] : settings) {
    int64_t n = 0;
    bool is_number = ReadIntegerText(value, n);
    if (name == "Font") {
      QFont font = e->QWidget::font();
      if (!value.empty()) font.setFamily(Q(value));
      SetFont(e, font);
      continue;
    }
    if (!is_number) continue;
    if (name == "FontSize" && n > 0) {
      QFont font = e->QWidget::font();
      font.setPointSize(static_cast<int>(std::min<int64_t>(n, 1000)));
      SetFont(e, font);
    } else if (name == "FontColor") {
      e->setColor(ColorOf(static_cast<uint32_t>(n)));
    } else if (name == "BackColor") {
      e->setPaper(ColorOf(static_cast<uint32_t>(n)));
      KeepBackColor(e, static_cast<uint32_t>(n));
    } else if (name == "TabWidth" && n > 0) {
      e->setTabWidth(static_cast<int>(std::min<int64_t>(n, 64)));
    } else if (name == "LineNumbers") {
      ShowLineNumbers(e, n != 0);
    } else if (name == "WordWrap") {
      e->setWrapMode(n != 0 ? QsciScintilla::WrapWord : QsciScintilla::WrapNone);
    } else if (name == "AutoIndent") {
      e->setAutoIndent(n != 0);
    }
  }
}

// The settings in one dialog: font, colours, tab width and the switches.
void RunEditorSettingsDialog(QWidget* widget) {
  auto* e = qobject_cast<QsciScintilla*>(widget);
  if (!e) return;
  QDialog dialog(e->window());
  dialog.setWindowTitle(QString::fromUtf8("エディタの設定"));
  auto* form = new QFormLayout(&dialog);
  auto* face = new QFontComboBox(&dialog);
  face->setCurrentFont(e->QWidget::font());
  // The face as the box shows it: a face named by another name (a substitute)
  // stays as named unless another one is chosen.
  const QString shown_face = face->currentFont().family();
  auto* size = new QSpinBox(&dialog);
  size->setRange(1, 200);
  size->setValue(e->QWidget::font().pointSize());
  auto* tab = new QSpinBox(&dialog);
  tab->setRange(1, 64);
  tab->setValue(e->tabWidth());
  auto colour_button = [&](QColor initial) {
    auto* b = new QPushButton(&dialog);
    b->setProperty("colour", initial);
    b->setText(initial.name());
    QObject::connect(b, &QPushButton::clicked, &dialog, [b, &dialog] {
      QColor c = QColorDialog::getColor(b->property("colour").value<QColor>(), &dialog);
      if (!c.isValid()) return;
      b->setProperty("colour", c);
      b->setText(c.name());
    });
    return b;
  };
  QPushButton* text_colour = colour_button(e->color());
  QPushButton* back_colour = colour_button(e->paper());
  auto check = [&](bool on) {
    auto* c = new QCheckBox(&dialog);
    c->setChecked(on);
    return c;
  };
  QCheckBox* numbers = check(e->marginLineNumbers(0));
  QCheckBox* wrap = check(e->wrapMode() != QsciScintilla::WrapNone);
  QCheckBox* indent = check(e->autoIndent());
  form->addRow(QString::fromUtf8("フォント"), face);
  form->addRow(QString::fromUtf8("サイズ"), size);
  form->addRow(QString::fromUtf8("文字色"), text_colour);
  form->addRow(QString::fromUtf8("背景色"), back_colour);
  form->addRow(QString::fromUtf8("タブ幅"), tab);
  form->addRow(QString::fromUtf8("行番号"), numbers);
  form->addRow(QString::fromUtf8("折り返し"), wrap);
  form->addRow(QString::fromUtf8("自動インデント"), indent);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (RunDialog(dialog) != QDialog::Accepted) return;
  auto number = [](int64_t n) { return std::to_string(n); };
  auto colour = [&](QPushButton* b) {
    return number(ValueOf(b->property("colour").value<QColor>()));
  };
  QString family = face->currentFont().family();
  if (family == shown_face) family = e->QWidget::font().family();
  ApplyEditorSettings(e, {{"Font", S(family)},
                          {"FontSize", number(size->value())},
                          {"FontColor", colour(text_colour)},
                          {"BackColor", colour(back_colour)},
                          {"TabWidth", number(tab->value())},
                          {"LineNumbers", numbers->isChecked() ? "1" : "0"},
                          {"WordWrap", wrap->isChecked() ? "1" : "0"},
                          {"AutoIndent", indent->isChecked() ? "1" : "0"}});
}

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
