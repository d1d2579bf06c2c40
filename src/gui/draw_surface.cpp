#include "gui/draw_surface.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "gui/dialog_automation.h"
#include "gui/qt_text.h"
#include "library/objects/parse.h"

namespace sorane {

// The face names scripts use on other systems, and the installed Japanese
// faces that draw them.
static const std::pair<const char*, const char*> kFaceSubstitutes[] = {
    {"ＭＳ ゴシック", "Noto Sans Mono CJK JP"},
    {"ＭＳ Ｐゴシック", "Noto Sans CJK JP"},
    {"ＭＳ 明朝", "Noto Serif CJK JP"},
    {"ＭＳ Ｐ明朝", "Noto Serif CJK JP"},
    {"MS UI Gothic", "Noto Sans CJK JP"},
    {"メイリオ", "Noto Sans CJK JP"},
    {"Meiryo", "Noto Sans CJK JP"},
    {"MS Gothic", "Noto Sans Mono CJK JP"},
    {"MS PGothic", "Noto Sans CJK JP"},
    {"MS Mincho", "Noto Serif CJK JP"},
    {"MS PMincho", "Noto Serif CJK JP"}};

void InstallFontSubstitutes() {
  for (const auto& [name, face] : kFaceSubstitutes) {
    QFont::insertSubstitution(QString::fromUtf8(name), QString::fromUtf8(face));
    QFont::insertSubstitution(QString::fromUtf8(name), QStringLiteral("Noto Sans CJK JP"));
  }
}

TDrawSurface::TDrawSurface(QWidget* parent, Role role) : QWidget(parent), role_(role) {
  text_font_ = QFont(QString::fromUtf8("ＭＳ ゴシック"), 12);
  if (role == Role::kImage) return;
  setObjectName("img");
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The window raises the mouse events of its surface as its own.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  picture_ = QImage(parent->size(), QImage::Format_RGB32);
  picture_.fill(window_color_);
  setGeometry(0, 0, parent->width(), parent->height());
}

void TDrawSurface::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void TDrawSurface::SetStretch(bool on) {
  stretch_ = on;
  update();
}

void TDrawSurface::SetTransparent(bool on) {
  transparent_ = on;
  // Whatever lies below shows through where nothing is drawn.
  setAttribute(Qt::WA_OpaquePaintEvent, !on && role_ == Role::kWindow);
  update();
}

void TDrawSurface::FitTo(const QSize& size) {
  if (size.width() > 0 && size.height() > 0 && size != picture_.size()) {
    QImage grown(size, QImage::Format_RGB32);
    grown.fill(window_color_);
    QPainter p(&grown);
    p.drawImage(0, 0, picture_);
    p.end();
    picture_ = grown;
  }
  setGeometry(0, 0, size.width(), size.height());
}

// The picture with the pixels of its bottom-left pixel's colour see-through.
static QImage WithoutKeyColor(const QImage& picture) {
  QImage shown = picture.convertToFormat(QImage::Format_ARGB32);
  QRgb key = shown.pixel(0, shown.height() - 1) & 0xFFFFFF;
  for (int y = 0; y < shown.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
    for (int x = 0; x < shown.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
  }
  return shown;
}

void TDrawSurface::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (role_ == Role::kWindow && !transparent_) p.fillRect(rect(), window_color_);
  if (picture_.isNull()) return;
  QImage shown = transparent_ ? WithoutKeyColor(picture_) : picture_;
  if (stretch_)
    p.drawImage(rect(), shown);
  else
    p.drawImage(0, 0, shown);
}

QColor TDrawSurface::ToQColor(uint32_t color) {
  if (!IsSystemColor(color)) return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  QPalette pal = QGuiApplication::palette();
  switch (color & 0xFF) {
    case 1:
    case 12:
      return pal.color(QPalette::Dark);  // desktop, workspace
    case 2:
    case 13:
      return pal.color(QPalette::Highlight);  // active caption, selection
    case 3:
      return pal.color(QPalette::Inactive, QPalette::Highlight);
    case 5:
    case 24:
      return pal.color(QPalette::Base);  // window, tooltip back
    case 7:
    case 8:
    case 23:
      return pal.color(QPalette::Text);  // menu/window/tip text
    case 9:
    case 14:
      return pal.color(QPalette::HighlightedText);
    case 16:
      return pal.color(QPalette::Mid);  // button shadow
    case 17:
      return pal.color(QPalette::PlaceholderText);  // grey text
    case 18:
      return pal.color(QPalette::ButtonText);
    case 20:
    case 22:
      return pal.color(QPalette::Light);
    case 21:
      return pal.color(QPalette::Shadow);
    default:
      return pal.color(QPalette::Window);  // button face and the rest
  }
}

void TDrawSurface::PrintLine(const std::string& line) {
  DrawText(10, next_line_y_, line);
  next_line_y_ += TextHeight(line);
}

void TDrawSurface::ClearOutput() {
  ClearOutputWith(0xFFFFFFFF);
}

void TDrawSurface::ClearOutputWith(uint32_t color) {
  // 0xFFFFFFFF: keep the window colour.
  if (color != 0xFFFFFFFF) {
    window_color_ = ToQColor(color);
    window_color_value_ = color;
  }
  picture_.fill(window_color_);
  next_line_y_ = 10;
  update();
}

void TDrawSurface::SetTextFont(const TextFont& font) {
  text_font_ = QFontOf(font);
  text_color_ = ToQColor(font.color);
}

int TDrawSurface::TextWidth(const std::string& text) {
  return QFontMetrics(text_font_, &picture_).horizontalAdvance(Q(text));
}

int TDrawSurface::TextHeight(const std::string& text) {
  // The line height of the font: the same for every text of one line.
  return text.empty() ? 0 : QFontMetrics(text_font_, &picture_).height();
}

void TDrawSurface::DrawText(int x, int y, const std::string& line) {
  QPainter p(&picture_);
  p.setFont(text_font_);
  p.setPen(text_color_);
  QFontMetrics fm(text_font_, &picture_);
  p.drawText(x, y + fm.ascent(), Q(line));  // (x, y) is the top-left corner
  p.end();
  update();
}

// The installed faces, and the substituted face names first: a font text
// naming ＭＳ 明朝 keeps that name (drawn in the serif face) instead of falling
// back to ＭＳ ゴシック.
std::vector<std::string> TDrawSurface::FontFamilies() {
  std::vector<std::string> names;
  for (const auto& [name, face] : kFaceSubstitutes) names.push_back(Utf8ToSjis(name));
  for (const QString& family : QFontDatabase::families()) names.push_back(S(family));
  return names;
}

// ---- Printing ----

QRect TDrawSurface::FitToPage(const QSize& window, const QRect& page) {
  if (window.isEmpty() || page.isEmpty()) return QRect();
  double f =
      std::max(double(window.width()) / page.width(), double(window.height()) / page.height());
  return QRect(0, 0, static_cast<int>(window.width() / f), static_cast<int>(window.height() / f));
}

// The printer set-up dialog: false when cancelled. A queued test answer stands
// for the user; without a printer there is nothing to set up.
static bool PrinterSetUp(QPrinter& printer, QWidget* parent, bool has_printer) {
  if (HasDialogAnswer()) return TakeDialogAnswer() != kCancelAnswer;
  if (!has_printer) return true;
  if (qEnvironmentVariableIsSet("SORANE_DIALOG_NO_USER")) return false;
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

// The whole window is printed as a person sees it: the surface and the
// widgets on it.
HostSurface::PrintResult TDrawSurface::PrintWindow(const std::string& pdf_fallback) {
  QWidget* form = window();
  QPrinter printer(QPrinter::HighResolution);
  bool has_printer = !QPrinterInfo::defaultPrinter().isNull();
  if (!PrinterSetUp(printer, form, has_printer)) return PrintResult::kCancelled;
  form->repaint();
  QCoreApplication::processEvents();
  QImage picture = form->grab().toImage();
  if (!has_printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(SjisToUtf8(pdf_fallback)).replace('\\', '/'));
  }
  printer.setDocName(form->windowTitle());
  QPainter p;
  if (!p.begin(&printer)) return PrintResult::kFailed;
  QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  QRect target = FitToPage(picture.size(), QRect(0, 0, page.width(), page.height()));
  p.drawImage(target, picture);
  return p.end() ? PrintResult::kPrinted : PrintResult::kFailed;
}

// ---- Printing pictures and texts ----

// Starts a print job titled `title` after the printer set-up dialog; without
// a printer the job goes into `pdf_fallback`. nullopt when cancelled.
static std::optional<HostSurface::PrintResult> BeginJob(QPrinter& printer, QPainter& p,
                                                        QWidget* parent, const std::string& title,
                                                        const std::string& pdf_fallback) {
  bool has_printer = !QPrinterInfo::defaultPrinter().isNull();
  if (!PrinterSetUp(printer, parent, has_printer)) return HostSurface::PrintResult::kCancelled;
  if (!has_printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(SjisToUtf8(pdf_fallback)).replace('\\', '/'));
  }
  printer.setDocName(Q(title));
  if (!p.begin(&printer)) return HostSurface::PrintResult::kFailed;
  return std::nullopt;
}

HostSurface::PrintResult TDrawSurface::PrintPicture(const Bitmap& picture, const std::string& title,
                                                    const std::string& pdf_fallback) {
  QPrinter printer(QPrinter::HighResolution);
  QPainter p;
  if (auto result = BeginJob(printer, p, window(), title, pdf_fallback)) return *result;
  QImage image = QImageFromBitmap(picture);
  QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  if (!image.isNull())
    p.drawImage(FitToPage(image.size(), QRect(0, 0, page.width(), page.height())), image);
  return p.end() ? PrintResult::kPrinted : PrintResult::kFailed;
}

// One line after another in the printer's default font, new pages as needed.
HostSurface::PrintResult TDrawSurface::PrintText(const std::vector<std::string>& lines,
                                                 const std::string& pdf_fallback) {
  QPrinter printer(QPrinter::HighResolution);
  QPainter p;
  if (auto result = BeginJob(printer, p, window(), S(window()->windowTitle()), pdf_fallback))
    return *result;
  QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  QFontMetrics fm = p.fontMetrics();
  int y = 0;
  for (const std::string& line : lines) {
    if (y + fm.height() > page.height() && y > 0) {
      printer.newPage();
      y = 0;
    }
    p.drawText(0, y + fm.ascent(), Q(line));
    y += fm.lineSpacing();
  }
  return p.end() ? PrintResult::kPrinted : PrintResult::kFailed;
}

}  // namespace sorane
