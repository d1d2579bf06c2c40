// The drawing surface `img` of the host window: a child widget covering the
// whole client area that shows a picture keeping every drawing across repaints.
// 表示 draws its lines into the picture in the text font; 画面クリア fills it;
// growing the window keeps the drawing in the top-left corner and fills the new
// space with the window colour. Mouse events pass through to the window, which
// raises them as its own. Printing copies what the window shows onto a page.
// A フォーム object has one of its own, and an イメージ object is one: a
// picture of its own size, shown stretched or with its background colour
// transparent when the script asks, whose mouse events are the image's.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include "gui/canvas_qt.h"
#include "runtime/host.h"

namespace sorane {

class TDrawSurface : public QWidget, public HostSurface {
  Q_OBJECT
 public:
  enum class Role {
    kWindow,  // covers a window's client area; the window takes its mouse events
    kImage,   // an image object: no picture at first, its own mouse events
  };
  explicit TDrawSurface(QWidget* parent, Role role = Role::kWindow);

  const QImage& Picture() const { return picture_; }
  // Replaces the picture (a null image: none); the widget keeps its size.
  void SetPicture(const QImage& picture);
  // 拡大機能: the picture is drawn stretched to the widget.
  void SetStretch(bool on);
  bool Stretch() const { return stretch_; }
  // 透過処理: pixels of the colour of the picture's bottom-left pixel are not drawn.
  void SetTransparent(bool on);
  bool Transparent() const { return transparent_; }
  // The window colour as the value it was last set to (white at first).
  uint32_t WindowColorValue() const { return window_color_value_; }
  // Sizes the widget and the picture to `size`; the drawing is kept (cropped
  // when smaller) and new space takes the window colour.
  void FitTo(const QSize& size);
  // The font 表示 draws in (the dialogs show their texts in it too).
  const QFont& TextQFont() const { return text_font_; }

  // HostSurface
  void PrintLine(const std::string& line) override;
  void ClearOutput() override;
  void ClearOutputWith(uint32_t color) override;
  bool DrawsText() override { return true; }
  void SetTextFont(const TextFont& font) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  int ClientWidth() override { return width(); }
  void DrawText(int x, int y, const std::string& line) override;
  std::vector<std::string> FontFamilies() override;
  PrintResult PrintWindow(const std::string& pdf_fallback) override;

  // The colour of a colour value: system colours ($80000000 range) from the
  // palette, others red + green*256 + blue*65536.
  static QColor ToQColor(uint32_t color);
  // Renders `window` scaled to fit both the width and the height of `page`.
  static QRect FitToPage(const QSize& window, const QRect& page);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  Role role_;
  QImage picture_;
  QColor window_color_ = Qt::white;
  uint32_t window_color_value_ = 0xFFFFFF;
  bool stretch_ = false;
  bool transparent_ = false;
  QFont text_font_;
  QColor text_color_ = Qt::black;
  int next_line_y_ = 10;  // PrintLine: lines stack from the top-left corner

 public:
  // Drawing and pictures (canvas_qt.cpp; printing in draw_surface.cpp).
  HostCanvas* Canvas() override { return &canvas_; }
  std::optional<Bitmap> DecodePicture(const std::string& bytes, int64_t max_pixels) override;
  bool FadeSurface(bool front) override;
  std::optional<Bitmap> CaptureWindow(const std::string& title) override;
  PrintResult PrintPicture(const Bitmap& picture, const std::string& title,
                           const std::string& pdf_fallback) override;
  PrintResult PrintText(const std::vector<std::string>& lines,
                        const std::string& pdf_fallback) override;

 private:
  // An image object takes the size of a picture the drawing commands put in
  // (右回転 is the one filter that changes it); a form's client area does.
  TImageCanvas canvas_{&picture_, this, [this](QSize size) {
                         if (role_ == Role::kImage)
                           resize(size);
                         else if (parentWidget())
                           parentWidget()->resize(size);
                       }};
};

// Maps the face names scripts use on other systems to installed Japanese fonts.
void InstallFontSubstitutes();

}  // namespace sorane
