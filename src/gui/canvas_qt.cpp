#include "gui/canvas_qt.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <cstring>

#include "gui/draw_surface.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "platform/x11_display.h"

namespace sorane {

Bitmap BitmapFromQImage(const QImage& image) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
  QImage same;
  int bits = 24;
  if (image.format() == QImage::Format_RGB32) {
    same = image;
    bits = 32;
  } else if (image.format() == QImage::Format_ARGB32 ||
             image.format() == QImage::Format_ARGB32_Premultiplied) {
    same = image.convertToFormat(QImage::Format_RGB32);
    bits = 32;
  } else {
    same = image.convertToFormat(QImage::Format_BGR888);
  }
  Bitmap out(same.width(), same.height(), bits);
  for (int y = 0; y < out.height; ++y) std::memcpy(out.Row(y), same.constScanLine(y), out.Stride());
  return out;
}

QImage QImageFromBitmap(const Bitmap& picture) {
  if (picture.Empty()) return {};
  QImage out(picture.width, picture.height,
             picture.bits == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888);
  if (out.isNull()) return out;
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(out.scanLine(y), picture.Row(y), picture.Stride());
  if (picture.bits == 32)  // the fourth byte is no alpha here
    for (int y = 0; y < picture.height; ++y) {
      uchar* p = out.scanLine(y);
      for (int x = 0; x < picture.width; ++x) p[x * 4 + 3] = 0xFF;
    }
  return out;
}

QFont QFontOf(const HostTextFont& font) {
  QFont f(Q(font.face));
  f.setPointSize(font.size > 0 ? font.size : 12);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  return f;
}

TImageCanvas::TImageCanvas(QImage* picture, QWidget* owner, std::function<void(QSize)> resize)
    : picture_(picture), owner_(owner), resize_(std::move(resize)) {}

QImage& TImageCanvas::Surface(int bits) {
  if (picture_->isNull()) {
    QSize size = owner_ ? owner_->size() : QSize();
    if (size.isEmpty()) size = QSize(1, 1);
    *picture_ = QImage(size, QImage::Format_RGB32);
    picture_->fill(Qt::white);
  }
  QImage::Format want = bits == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888;
  if (bits && picture_->format() != want) *picture_ = picture_->convertToFormat(want);
  return *picture_;
}

void TImageCanvas::SetPen(const Pen& pen) {
  pen_ = pen;
  Surface(24);
}

// The painter of the shapes: the pen's colour and width (at least 1), the
// fill colour inside, no smoothing (the pixels are the pen's own colours).
static void PreparePainter(QPainter& p, const HostCanvas::Pen& pen) {
  QPen line(TDrawSurface::ToQColor(pen.color));
  line.setWidth(std::max(1, pen.width));
  line.setJoinStyle(Qt::MiterJoin);
  p.setPen(line);
  p.setBrush(TDrawSurface::ToQColor(pen.fill));
  p.setRenderHint(QPainter::Antialiasing, false);
}

// (x1, y1)-(x2, y2) with the right and bottom edges outside.
static QRect Exclusive(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  return QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1);
}

void TImageCanvas::Line(int x1, int y1, int x2, int y2) {
  QPainter p(&Surface(0));
  PreparePainter(p, pen_);
  p.drawLine(x1, y1, x2, y2);
}

void TImageCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  QRect r = Exclusive(x1, y1, x2, y2);
  if (r.width() < 0 || r.height() < 0) return;
  QPainter p(&Surface(0));
  PreparePainter(p, pen_);
  p.drawRect(r);
}

void TImageCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  QRect r = Exclusive(x1, y1, x2, y2);
  if (r.width() < 0 || r.height() < 0) return;
  QPainter p(&Surface(0));
  PreparePainter(p, pen_);
  p.drawEllipse(r);
}

void TImageCanvas::SetPixel(int x, int y, uint32_t color) {
  if (picture_->isNull() || !picture_->valid(x, y)) return;
  picture_->setPixelColor(x, y, TDrawSurface::ToQColor(color));
}

std::optional<uint32_t> TImageCanvas::Pixel(int x, int y) {
  if (picture_->isNull() || !picture_->valid(x, y)) return std::nullopt;
  QRgb c = picture_->pixel(x, y);
  return uint32_t(qRed(c)) | (uint32_t(qGreen(c)) << 8) | (uint32_t(qBlue(c)) << 16);
}

Bitmap TImageCanvas::GetBitmap() {
  return BitmapFromQImage(*picture_);
}

void TImageCanvas::SetBitmap(const Bitmap& picture) {
  QSize old = picture_->size();
  *picture_ = QImageFromBitmap(picture);
  if (resize_ && picture_->size() != old) resize_(picture_->size());
}

void TImageCanvas::DrawBitmap(int x, int y, const Bitmap& picture) {
  if (picture.Empty()) return;
  QPainter p(&Surface(0));
  p.drawImage(x, y, QImageFromBitmap(picture));
}

void TImageCanvas::StretchBitmap(int x1, int y1, int x2, int y2, const Bitmap& picture) {
  if (picture.Empty() || x2 <= x1 || y2 <= y1) return;
  QPainter p(&Surface(0));
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(QRect(x1, y1, x2 - x1, y2 - y1), QImageFromBitmap(picture));
}

void TImageCanvas::DrawTextSmooth(int x, int y, const std::vector<std::string>& lines, int pitch,
                                  const HostTextFont& font) {
  QImage& work = Surface(32);
  QPainter p(&work);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setRenderHint(QPainter::Antialiasing, true);
  QFont f = QFontOf(font);
  f.setStyleStrategy(QFont::PreferAntialias);
  p.setFont(f);
  p.setPen(TDrawSurface::ToQColor(font.color));
  const int ascent = p.fontMetrics().ascent();
  for (size_t i = 0; i < lines.size(); ++i) p.drawText(x, y + int(i) * pitch + ascent, Q(lines[i]));
}

int TImageCanvas::CanvasWidth() {
  return owner_ ? owner_->width() : picture_->width();
}

int TImageCanvas::CanvasHeight() {
  return owner_ ? owner_->height() : picture_->height();
}

void TImageCanvas::Refresh() {
  if (owner_) owner_->update();
}

// ---- The host window's pictures ----

// Formats the run-time does not read itself, through Qt's image plug-ins. The
// size a file declares is checked before its pixels are decoded.
std::optional<Bitmap> TDrawSurface::DecodePicture(const std::string& bytes, int64_t max_pixels) {
  QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (!reader.canRead()) return std::nullopt;
  QSize size = reader.size();
  if (size.isValid() && int64_t(size.width()) * size.height() > max_pixels) return std::nullopt;
  QImage image = reader.read();
  if (image.isNull()) return std::nullopt;
  return BitmapFromQImage(image);
}

bool TDrawSurface::FadeSurface(bool front) {
  QWidget* form = window();
  if (front) {
    form->repaint();
    QCoreApplication::processEvents();
    // The window as a person sees it (its objects included) becomes the drawing.
    QImage seen = form->grab().toImage().convertToFormat(QImage::Format_BGR888);
    QImage kept(picture_.size(), QImage::Format_BGR888);
    kept.fill(window_color_);
    QPainter p(&kept);
    p.drawImage(0, 0, seen);
    p.end();
    picture_ = kept;
    raise();
  } else {
    lower();
  }
  update();
  return true;
}

// Windows of other programs on X11, found by title (X11Display loads libX11
// when first needed, so the run-time starts without it): the window whose
// title or class name equals `title`, else the first whose title begins with
// it. 0 when there is none or the display is no X11 display.
static WId FindX11Window(const QString& title) {
  if (QGuiApplication::platformName() != "xcb" || title.isEmpty()) return 0;
  std::unique_ptr<X11Display> display = X11Display::Open();
  if (!display) return 0;
  WId exact = 0, prefix = 0;
  for (const X11Display::Window& w : display->TopLevelWindows()) {
    QString name = QString::fromStdString(w.title);
    if (!exact && (name == title || QString::fromLocal8Bit(w.class_name) == title)) exact = w.id;
    if (!prefix && name.startsWith(title)) prefix = w.id;
  }
  return exact ? exact : prefix;
}

// The run-time's own windows by title (exactly, else the first whose title
// begins with it), then other programs' windows (X11), and the whole screen
// where the window system lets a program read it (X11; not Wayland).
std::optional<Bitmap> TDrawSurface::CaptureWindow(const std::string& title) {
  QString wanted = Q(title);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (title == SJ("デスクトップ")) {
    if (!screen) return std::nullopt;
    QImage shot = screen->grabWindow(0).toImage();
    if (shot.isNull()) return std::nullopt;
    return BitmapFromQImage(shot);
  }
  QWidget* found = nullptr;
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (QWidget* w : windows)
    if (!found && w->isVisible() && w->windowTitle() == wanted) found = w;
  for (QWidget* w : windows)
    if (!found && w->isVisible() && !wanted.isEmpty() && w->windowTitle().startsWith(wanted))
      found = w;
  if (found) {
    found->raise();
    found->activateWindow();
    QCoreApplication::processEvents();
    return BitmapFromQImage(found->grab().toImage());
  }
  WId other = FindX11Window(wanted);
  if (!other || !screen) return std::nullopt;
  QThread::msleep(300);  // as the window comes to the front
  QCoreApplication::processEvents();
  QImage shot = screen->grabWindow(other).toImage();
  if (shot.isNull()) return std::nullopt;
  return BitmapFromQImage(shot);
}

// ---- The clipboard's pictures ----

Bitmap TQtClipboard::ClipboardPicture() {
  return BitmapFromQImage(QGuiApplication::clipboard()->image());
}

void TQtClipboard::SetClipboardPicture(const Bitmap& picture) {
  QGuiApplication::clipboard()->setImage(QImageFromBitmap(picture));
}

}  // namespace sorane
