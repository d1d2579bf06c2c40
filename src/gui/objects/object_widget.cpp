// Values, texts, pictures, fonts and colours at the boundary between the
// script objects and their Qt widgets.
#include "gui/objects/object_widget.h"

#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>

#include "gui/draw_surface.h"
#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"
#include "platform/files.h"
#include "text/number.h"

namespace sorane {

QObject* BackendObject(QtObjectBackend* backend) {
  return backend;
}

void ReportEvent(QtObjectBackend* backend, int index, ObjEvent what) {
  ObjectEvent event;
  event.index = index;
  event.what = what;
  backend->Report(event);
}

PropertyValue TextValue(std::string text) {
  PropertyValue v;
  v.text = std::move(text);
  return v;
}

PropertyValue NumberValue(int64_t number) {
  PropertyValue v;
  v.number = number;
  v.text = std::to_string(number);
  return v;
}

PropertyValue FlagValue(bool on) {
  return NumberValue(on ? 1 : 0);
}

int IntOf(const std::string& text) {
  return ToInt32(ParseNumber(text));
}

// ---- Texts ----

QStringList QLines(const std::string& text) {
  QStringList lines = Q(text).split(QChar('\n'));
  for (QString& line : lines)
    if (line.endsWith(QChar('\r'))) line.chop(1);
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  return lines;
}

std::string LinesText(const QStringList& lines) {
  if (lines.isEmpty()) return {};
  return S(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

QString QMultiline(const std::string& text) {
  QString q = Q(text);
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  q.replace(QChar('\r'), QChar('\n'));
  return q;
}

std::string MultilineText(const QString& text) {
  QString q = text;
  q.replace(QChar('\n'), QStringLiteral("\r\n"));
  return S(q);
}

// One character of the CP932 text per code point: a surrogate pair is one
// character (CP932 holds none of them, so it becomes one replacement).
int CharsOf(const QString& text, int utf16_from, int utf16_to, bool crlf) {
  utf16_from = std::clamp(utf16_from, 0, int(text.size()));
  utf16_to = std::clamp(utf16_to, utf16_from, int(text.size()));
  int chars = 0;
  for (int i = utf16_from; i < utf16_to; ++i) {
    QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < utf16_to && text[i + 1].isLowSurrogate()) ++i;
    chars += crlf && c == QChar('\n') ? 2 : 1;
  }
  return chars;
}

int Utf16After(const QString& text, int utf16_from, int chars, bool crlf) {
  int i = std::clamp(utf16_from, 0, int(text.size()));
  while (chars > 0 && i < text.size()) {
    QChar c = text[i];
    chars -= crlf && c == QChar('\n') ? 2 : 1;
    i += c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
  }
  return i;
}

TextSelection SelectionIn(const QString& text, int utf16_start, int utf16_end, bool crlf) {
  TextSelection s;
  s.start = CharsOf(text, 0, utf16_start, crlf);
  s.length = CharsOf(text, utf16_start, utf16_end, crlf);
  return s;
}

std::pair<int, int> Utf16Selection(const QString& text, TextSelection selection, bool crlf) {
  int start = Utf16After(text, 0, std::max(0, selection.start), crlf);
  return {start, Utf16After(text, start, std::max(0, selection.length), crlf)};
}

QImage LoadPicture(const std::string& name) {
  if (name.empty()) return QImage();
  return QImage(QString::fromStdString(ToOsPath(name)));
}

// ---- Fonts and colours ----

void ApplyCreationFont(QWidget* widget, const NewObject& created) {
  uint8_t use = KindRowOf(created.kind).font_use;
  if (use == 0) return;
  QFont font = widget->font();
  if ((use & kFontFace) && !created.font.face.empty()) font.setFamily(Q(created.font.face));
  if (use & kFontStyle) {
    font.setBold(created.font.bold);
    font.setItalic(created.font.italic);
    font.setUnderline(created.font.underline);
  }
  if ((use & kFontSize) && created.font.size > 0) font.setPointSize(created.font.size);
  widget->setFont(font);
  if (use & kFontColor) SetTextColor(widget, created.font.color);
}

QColor ColorOf(uint32_t value) {
  return TDrawSurface::ToQColor(value);
}

uint32_t ValueOf(const QColor& color) {
  return uint32_t(color.red()) | uint32_t(color.green()) << 8 | uint32_t(color.blue()) << 16;
}

static constexpr char kBackColorKey[] = "soraneBackColor";
static constexpr char kTextColorKey[] = "soraneTextColor";

void SetBackColor(QWidget* widget, uint32_t value) {
  QPalette palette = widget->palette();
  if (value == 0xFFFFFFFFu) {
    // No colour: the style's own again.
    widget->setProperty(kBackColorKey, QVariant());
    for (auto role : {QPalette::Base, QPalette::Window, QPalette::Button})
      palette.setColor(role, QGuiApplication::palette().color(role));
    widget->setPalette(palette);
    return;
  }
  QColor color = ColorOf(value);
  for (auto role : {QPalette::Base, QPalette::Window, QPalette::Button})
    palette.setColor(role, color);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
  KeepBackColor(widget, value);
}

void KeepBackColor(QWidget* widget, uint32_t value) {
  widget->setProperty(kBackColorKey, value);
}

uint32_t BackColor(const QWidget* widget, uint32_t default_value) {
  QVariant v = widget->property(kBackColorKey);
  return v.isValid() ? v.toUInt() : default_value;
}

void SetTextColor(QWidget* widget, uint32_t value) {
  QPalette palette = widget->palette();
  QColor color = ColorOf(value);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(role, color);
  widget->setPalette(palette);
  widget->setProperty(kTextColorKey, value);
}

uint32_t TextColor(const QWidget* widget) {
  QVariant v = widget->property(kTextColorKey);
  return v.isValid() ? v.toUInt() : kWindowTextColor;
}

}  // namespace sorane
