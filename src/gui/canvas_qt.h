// The drawing commands' canvas on a picture kept as a QImage: the host
// window's surface, an image object's picture, a form's surface. 24-bit
// pictures are kept as QImage::Format_BGR888 and 32-bit ones as
// Format_RGB32, whose bytes are blue, green, red (and a fourth), so the
// core's byte arithmetic gives the same pixels on either side.
#pragma once

#include <QFont>
#include <QImage>
#include <functional>

#include "runtime/host.h"

class QWidget;

namespace sorane {

// The picture as the core holds it, and back (a 24- or 32-bit QImage).
Bitmap BitmapFromQImage(const QImage& image);
QImage QImageFromBitmap(const Bitmap& picture);
// The font of a text-font record.
QFont QFontOf(const HostTextFont& font);

class TImageCanvas : public HostCanvas {
 public:
  // `picture` is drawn on and `owner` repainted. `resize`, when given, is
  // called with the new size when SetBitmap changes the picture's size (an
  // image object takes the size of its picture). A picture-less object is
  // blank at the size of `owner`.
  TImageCanvas(QImage* picture, QWidget* owner, std::function<void(QSize)> resize = {});

  void SetPen(const Pen& pen) override;
  void Line(int x1, int y1, int x2, int y2) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void SetPixel(int x, int y, uint32_t color) override;
  std::optional<uint32_t> Pixel(int x, int y) override;
  Bitmap GetBitmap() override;
  void SetBitmap(const Bitmap& picture) override;
  void DrawBitmap(int x, int y, const Bitmap& picture) override;
  void StretchBitmap(int x1, int y1, int x2, int y2, const Bitmap& picture) override;
  void DrawTextSmooth(int x, int y, const std::vector<std::string>& lines, int pitch,
                      const HostTextFont& font) override;
  int CanvasWidth() override;
  int CanvasHeight() override;
  void Refresh() override;

 private:
  // The picture ready to be drawn on: a picture-less object gets a white one
  // of the control's size; `bits` 24 or 32 converts it.
  QImage& Surface(int bits);

  QImage* picture_;
  QWidget* owner_;
  std::function<void(QSize)> resize_;
  Pen pen_;
};

}  // namespace sorane
