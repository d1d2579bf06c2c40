// The drawing commands: shapes, points and pictures on the host window, the
// same on image objects, copying and blending pictures between objects,
// capturing windows, icons, colour depth, saving and printing pictures, the
// colour values RGB and CMYK, and the picture filters.
#include <unistd.h>

#include <cmath>

#include "library/drawing/bitmap_ops.h"
#include "library/drawing/drawing.h"
#include "library/drawing/filters.h"
#include "library/drawing/picture_codec.h"
#include "library/files/files_util.h"
#include "library/library.h"
#include "library/objects/kinds.h"
#include "library/objects/parse.h"
#include "library/output/output.h"
#include "platform/files.h"
#include "runtime/command.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

// An object name argument: as written; when no object has that name, the
// argument's value (a variable holding the name, a joined text).
static std::string ObjectName(Call& c, size_t k) {
  std::string name = c.Name(k);
  if (c.in.S.Objects.FindByName(name)) return name;
  std::string value = c.Text(k);
  return c.in.S.Objects.FindByName(value) ? value : name;
}

static Point PointArg(Call& c, size_t k) {
  return ParsePoint(c.in, CoordinateText(c, k));
}
static Rect RectArg(Call& c, size_t k) {
  return ParseRect(c.in, CoordinateText(c, k));
}

// The canvas of the host window with the pen of the drawing variables.
static HostCanvas* WindowCanvas(Interpreter& in) {
  HostCanvas* canvas = in.host.Surface().Canvas();
  if (canvas) canvas->SetPen(CurrentPen(in));
  return canvas;
}

// ---- The host window ----

enum class Shape { kLine, kRectangle, kEllipse };

static void DrawShape(HostCanvas& canvas, Shape shape, Rect r) {
  switch (shape) {
    case Shape::kLine:
      canvas.Line(r.left, r.top, r.right, r.bottom);
      break;
    case Shape::kRectangle:
      canvas.Rectangle(r.left, r.top, r.right, r.bottom);
      break;
    case Shape::kEllipse:
      canvas.Ellipse(r.left, r.top, r.right, r.bottom);
      break;
  }
  canvas.Refresh();
}

// 線 / 四角形 / 円形 (?から,?へ): with から omitted, a line starts at the output
// cursor and a rectangle or ellipse takes へ as "(x1,y1,x2,y2)".
template <Shape shape>
static void CmdWindowShape(Call& c) {
  Interpreter& in = c.in;
  bool omitted = in.S.SoreImplied;
  Rect r;
  if (omitted && shape != Shape::kLine) {
    r = RectArg(c, 1);
  } else {
    Point from = omitted ? Point{in.S.CursorX, in.S.CursorY} : PointArg(c, 0);
    Point to = PointArg(c, 1);
    r = {from.x, from.y, to.x, to.y};
  }
  if (HostCanvas* canvas = WindowCanvas(in)) DrawShape(*canvas, shape, r);
}

// The surface of ?の for 点描画 and 座標色取得: the host window when omitted;
// nothing (silently) when the object has none.
static HostCanvas* PointCanvas(Call& c) {
  Interpreter& in = c.in;
  if (in.S.SoreImplied) return in.host.Surface().Canvas();
  std::string name = ObjectName(c, 0);
  TObjNode* node = in.S.Objects.FindByName(name);
  return node && !name.empty() ? CanvasOfObject(in, node->ObjectIndex) : nullptr;
}

static void CmdDrawPoint(Call& c) {
  HostCanvas* canvas = PointCanvas(c);
  Point p = PointArg(c, 1);
  if (!canvas) return;
  canvas->SetPixel(p.x, p.y, CurrentPen(c.in).color);
  canvas->Refresh();
}

static void CmdPixelColor(Call& c) {
  HostCanvas* canvas = PointCanvas(c);
  Point p = PointArg(c, 1);
  if (!canvas) return;
  if (std::optional<uint32_t> color = canvas->Pixel(p.x, p.y))
    c.Return(std::to_string(*color), "e");
}

// 画像表示 / 画像拡大表示: the picture at the output cursor (centred when
// センタリング is on), the cursor moved below it.
static void ShowPicture(Call& c, const std::string& name, const Point* size) {
  Interpreter& in = c.in;
  std::string file = Trim(name);
  Bitmap picture;
  try {
    picture = ReadPicture(in, file);
    if (size && !picture.Empty()) {
      picture = SmoothResize(picture, size->x, size->y);
      if (picture.Empty()) throw std::bad_alloc();  // larger than any picture
    }
  } catch (const PictureError&) {
    in.Raise(SJ("\"%s\"が読込めません。"), file);
  } catch (const std::bad_alloc&) {
    in.Raise(SJ("\"%s\"が読込めません。"), file);
  }
  int width = size ? size->x : picture.width, height = size ? size->y : picture.height;
  HostCanvas* canvas = in.host.Surface().Canvas();
  int y = in.S.CursorY;
  int x = in.S.Centring ? (in.host.Surface().ClientWidth() - width) / 2 : in.S.CursorX;
  if (canvas) {
    canvas->SetPen(CurrentPen(in));
    canvas->DrawBitmap(x, y, picture);
    canvas->Refresh();
  }
  in.S.CursorY = y + height;
}

static void CmdShowPicture(Call& c) {
  ShowPicture(c, c.Text(0), nullptr);
}

static void CmdShowPictureScaled(Call& c) {
  std::string name = c.Text(0);
  Point size = PointArg(c, 1);
  if (size.x <= 0 || size.y <= 0) return;  // no picture has such a size
  ShowPicture(c, name, &size);
}

// 画面フェードアウト / 画面フェードイン: the window as it looks is taken into its
// surface and every colour byte brought down to (or up from) each level in
// turn, waiting `speed` + 1 times 2 ms between levels.
template <bool out>
static void CmdFade(Call& c) {
  Interpreter& in = c.in;
  int speed = ToInt32(c.Num(0));
  HostSurface& surface = in.host.Surface();
  HostCanvas* canvas = surface.Canvas();
  if (!canvas || !surface.FadeSurface(true)) return;
  Bitmap picture = WithBits(canvas->GetBitmap(), 24);
  for (int step = 0; step < 26; ++step) {
    const int level = out ? 255 - step * 10 : step * 10;
    for (uint8_t& v : picture.pixels)
      if (out ? v > level : v < level) v = uint8_t(level);
    canvas->SetBitmap(picture);
    canvas->Refresh();
    for (int i = 0; speed > 0 && i <= speed; ++i) {
      usleep(2000);
      in.host.EventLoop().ProcessEvents();
      if (in.S.ExecPos.None()) return;
    }
  }
  surface.FadeSurface(false);
  in.host.EventLoop().ProcessEvents();
  canvas->Refresh();
}

// 窓キャプチャー (?へ,?を): the window titled を into the surface of object へ.
static void CmdCaptureWindow(Call& c) {
  Interpreter& in = c.in;
  bool omitted = in.S.SoreImplied;
  std::string title = c.Text(1);
  std::string name = omitted ? SJ("母艦") : ObjectName(c, 0);
  HostCanvas* canvas = nullptr;
  if (TObjNode* node = in.S.Objects.FindByName(name))
    canvas = name.empty() ? nullptr : CanvasOfObject(in, node->ObjectIndex);
  if (!canvas) in.Raise(msg::ObjectNotFound(), name);
  std::optional<Bitmap> picture = in.host.Surface().CaptureWindow(title);
  if (!picture) return;
  canvas->DrawBitmap(0, 0, *picture);
  canvas->Refresh();
  in.host.EventLoop().ProcessEvents();
}

static void CmdSimplePrint(Call& c) {
  Interpreter& in = c.in;
  std::vector<std::string> lines = LayoutPrintText(c.Text(0), 8);
  std::string target = PrintFallbackName(in);
  if (in.host.Surface().PrintText(lines, target) == Host::PrintResult::kFailed)
    in.Raise(msg::FileFailure(), target);
}

// An object named by a word (the argument evaluated when it names none).
static TObjNode* ObjectOfWordArg(Call& c, size_t k, std::string& name) {
  Interpreter& in = c.in;
  name = c.Name(k);
  THashNode* w = in.S.Words.Find(name, true);
  if (!w) {
    name = c.Text(k);
    w = in.S.Words.Find(name, true);
  }
  if (!w || w->Kind != kWordObject) return nullptr;
  TObjNode* node = in.S.Objects.Get(w->ObjectIndex);
  return node && !node->Name.empty() ? node : nullptr;
}

static void CmdImagePrint(Call& c) {
  Interpreter& in = c.in;
  std::string name;
  TObjNode* node = ObjectOfWordArg(c, 0, name);
  HostCanvas* canvas =
      node && node->Kind == ObjKind::kImage ? CanvasOfObject(in, node->ObjectIndex) : nullptr;
  if (!canvas) in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), name);
  std::string target = PrintFallbackName(in);
  Host::PrintResult result =
      in.host.Surface().PrintPicture(canvas->GetBitmap(), in.host.Window().WindowCaption(), target);
  if (result == Host::PrintResult::kFailed) in.Raise(msg::FileFailure(), target);
}

// 画像ビット数変更 (?を,?ビットに).
static void CmdImageBitDepth(Call& c) {
  Interpreter& in = c.in;
  std::string name;
  TObjNode* node = ObjectOfWordArg(c, 0, name);
  HostCanvas* canvas = node && HasPicture(*node) ? CanvasOfObject(in, node->ObjectIndex) : nullptr;
  if (!canvas) in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), name);
  Number bits = c.Num(1);
  int depth = ToInt32(bits);
  if (depth != bits ||
      (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32))
    in.Raise(Format(msg::BadArgument(), c.cmd.Name) + FormatNumber(bits) +
             SJ("ビットはサポートしていません。"));
  Bitmap picture = canvas->GetBitmap();
  ReduceDepth(picture, depth);
  canvas->SetBitmap(picture);
  canvas->Refresh();
}

static void CmdImageSave(Call& c) {
  std::string file = c.Text(0);
  std::string object = ObjectName(c, 1);
  SavePictureFile(c.in, object, file);
}

// アイコン抽出 (?の,?を,?に): icon number を of file の into image object に.
static void CmdExtractIcon(Call& c) {
  Interpreter& in = c.in;
  std::string file = c.Text(0);
  int number = ToInt32(c.Num(1));
  std::string name = c.Name(2);
  THashNode* w = in.S.Words.Find(name, true);
  TObjNode* node = w && w->Kind == kWordObject ? in.S.Objects.Get(w->ObjectIndex) : nullptr;
  if (!node) in.Raise(SJ("\"%s\"は、オブジェクトではありません。"), name);
  HostCanvas* canvas =
      node->Kind == ObjKind::kImage ? CanvasOfObject(in, node->ObjectIndex) : nullptr;
  if (!canvas)
    in.Raise(Format(SJ("\"%s\"は、オブジェクトではありません。"), name) +
             SJ("イメージを指定します。"));
  std::string path = ResolveFileName(in, file);
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) in.Raise(SJ("画像ファイル\"%s\"が読込めません。"), path);
  try {
    canvas->SetBitmap(ExtractIcon(bytes, number));
  } catch (const PictureError& e) {
    in.Raise(Format(SJ("画像ファイル\"%s\"が読込めません。"), path) + e.what());
  }
  canvas->Refresh();
}

static void CmdRgb(Call& c) {
  long long v[3];
  for (size_t k = 0; k < 3; ++k) {
    v[k] = ToInt64(c.Num(k));
    if (v[k] < -1) c.BadArgument();
    v[k] &= 0xFF;
  }
  c.ReturnText(std::to_string(v[0] + v[1] * 256 + v[2] * 65536));
}

static void CmdCmyk(Call& c) {
  int v[4];
  for (size_t k = 0; k < 4; ++k) v[k] = int(ToInt64(c.Num(k)) & 0xFF);
  auto channel = [&](int ink) { return ink + v[3] > 254 ? 0 : 255 - ink - v[3]; };
  long long color = channel(v[0]) + channel(v[1]) * 256LL + channel(v[2]) * 65536LL;
  c.ReturnText(std::to_string(color));
}

// ---- Image objects ----

// 線描画 / 四角形描画 / 円形描画 (?の,?から,?へ).
template <Shape shape>
static void CmdImageShape(Call& c) {
  Interpreter& in = c.in;
  std::string name = ObjectName(c, 0);
  Point from = PointArg(c, 1);
  Point to = PointArg(c, 2);
  HostCanvas& canvas = ImageCanvas(in, name);
  canvas.SetPen(CurrentPen(in));
  DrawShape(canvas, shape, {from.x, from.y, to.x, to.y});
}

// 文字描画 (?の,?へ,?と): anti-aliased text in the text font.
static void CmdDrawText(Call& c) {
  Interpreter& in = c.in;
  std::string text = c.Text(2);
  Point at = PointArg(c, 1);
  ApplyTextFont(in);
  HostCanvas& canvas = ImageCanvas(in, ObjectName(c, 0));
  THashNode* tabs = in.S.Fast.TabCount;
  std::vector<std::string> lines =
      LayoutPrintText(text, tabs ? ToInt32(ParseNumber(tabs->Value())) : 8);
  canvas.DrawTextSmooth(at.x, at.y, lines, PrintLineHeight(in.host), CurrentTextFont(in));
  canvas.Refresh();
}

// The picture of a named object for copying (ObjectBitmap): empty when the
// object's kind has none.
static Bitmap ObjectBitmap(Interpreter& in, const std::string& name) {
  HostCanvas* canvas = ObjectCanvas(in, name);
  return canvas ? canvas->GetBitmap() : Bitmap();
}

// イメージコピー (?を,?の,?に): scaled with the smooth resize when the
// rectangle has a right or bottom edge.
static void CmdImageCopy(Call& c) {
  Interpreter& in = c.in;
  std::string source_name = ObjectName(c, 0);
  std::string dest_name = ObjectName(c, 1);
  Rect r = RectArg(c, 2);
  Bitmap source = ObjectBitmap(in, source_name);
  HostCanvas* dest = ObjectCanvas(in, dest_name);
  if (!dest || source.Empty()) return;
  if (r.right > 0 || r.bottom > 0) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    Bitmap scaled;
    try {
      scaled = SmoothResize(source, w, h);
    } catch (const std::bad_alloc&) {
      c.BadArgument();
    }
    if (scaled.Empty()) c.BadArgument();  // larger than any picture
    dest->DrawBitmap(r.left, r.top, scaled);
  } else {
    dest->DrawBitmap(r.left, r.top, source);
  }
  dest->Refresh();
}

// The rectangle (left, top)-(right, bottom) of a picture; pixels outside it black.
static Bitmap Crop(const Bitmap& picture, const Rect& r) {
  Bitmap out(r.right - r.left, r.bottom - r.top, 24);
  DrawOnto(out, picture, -r.left, -r.top);
  return out;
}

// イメージ部分コピー (?の,?を,?の,?に).
static void CmdImagePartCopy(Call& c) {
  Interpreter& in = c.in;
  std::string source_name, dest_name;
  TObjNode* source = ObjectOfWordArg(c, 0, source_name);
  if (!source) in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), source_name);
  Rect from = RectArg(c, 1);
  TObjNode* dest = ObjectOfWordArg(c, 2, dest_name);
  if (!dest) in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), dest_name);
  Rect to = RectArg(c, 3);
  HostCanvas* source_canvas = CanvasOfObject(in, source->ObjectIndex);
  HostCanvas* dest_canvas = CanvasOfObject(in, dest->ObjectIndex);
  if (!source_canvas || !dest_canvas) c.BadArgument();
  if (to.right == 0 && to.bottom == 0) {
    to.right = to.left + from.right - from.left;
    to.bottom = to.top + from.bottom - from.top;
  }
  int64_t fw = int64_t(from.right) - from.left, fh = int64_t(from.bottom) - from.top;
  if (fw <= 0 || fh <= 0 || !PictureSizeAllowed(fw, fh) || to.right <= to.left ||
      to.bottom <= to.top)
    c.BadArgument();
  Bitmap part = Crop(source_canvas->GetBitmap(), from);
  dest_canvas->StretchBitmap(to.left, to.top, to.right, to.bottom, part);
  dest_canvas->Refresh();
}

// イメージ半透明コピー (?を,?の,?に,?パーセント).
static void CmdImageBlendCopy(Call& c) {
  Interpreter& in = c.in;
  std::string source_name = ObjectName(c, 0);
  std::string dest_name = ObjectName(c, 1);
  Rect r = RectArg(c, 2);
  Number percent = c.Num(3);
  // The opacity in 256ths: anything below 0 is none, above 100 % is full.
  Number scaled = std::trunc(percent / 100 * 256);
  int a = scaled <= 0 ? 0 : scaled >= 256 ? 256 : int(scaled);
  HostCanvas& dest = ImageCanvas(in, dest_name);
  HostCanvas& source = ImageCanvas(in, source_name);
  if (a <= 0) return;
  Bitmap work = WithBits(source.GetBitmap(), 32);
  if (r.right != 0 || r.bottom != 0) {
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (w <= 0 || h <= 0 || !PictureSizeAllowed(w, h)) return;
    work = WithBits(StretchNearest(work, int(w), int(h)), 32);
  }
  Bitmap picture = dest.GetBitmap();
  BlendOnto(picture, work, r.left, r.top, a);
  dest.SetBitmap(picture);
  dest.Refresh();
}

// ---- Filters ----

// The picture of the image object named by slot 0, changed by `filter` and put back.
template <typename F>
static void Filter(Call& c, F filter) {
  HostCanvas& canvas = ImageCanvas(c.in, ObjectName(c, 0));
  Bitmap picture = canvas.GetBitmap();
  if (picture.Empty()) return;
  filter(picture);
  canvas.SetBitmap(picture);
  canvas.Refresh();
}

template <void (*filter)(Bitmap&)>
static void CmdFilter(Call& c) {
  Filter(c, filter);
}

static void CmdBrightness(Call& c) {
  int a = ToInt32(c.Num(1));
  Filter(c, [&](Bitmap& b) { Brighten(b, a); });
}
static void CmdGamma(Call& c) {
  double g = double(c.Num(1));
  Filter(c, [&](Bitmap& b) { GammaCorrect(b, g); });
}
static void CmdRotateImage(Call& c) {
  int a = ToInt32(c.Num(1));
  Filter(c, [&](Bitmap& b) { RotateBy(b, a); });
}
static void CmdBlur(Call& c) {
  double n = double(c.Num(1));
  Filter(c, [&](Bitmap& b) { Blur(b, n); });
}
static void CmdSharpen(Call& c) {
  Number s = c.Num(1);
  int amount = ToInt32(s);
  if (amount < 0 || amount > 255) c.BadArgument();
  Filter(c, [&](Bitmap& b) { Sharpen(b, amount); });
}
static void CmdSepia(Call& c) {
  uint32_t tint = ParseColor(c.Text(1));
  Filter(c, [&](Bitmap& b) { Sepia(b, tint); });
}

CommandTable DrawingCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Line, "線", "?から,?へ", CmdWindowShape<Shape::kLine>, kActs},
      {CommandId::Rectangle, "四角形", "?から,?へ", CmdWindowShape<Shape::kRectangle>, kActs},
      {CommandId::Ellipse, "円形", "?から,?へ", CmdWindowShape<Shape::kEllipse>, kActs},
      {CommandId::ShowPicture, "画像表示", "?を", CmdShowPicture, kActs},
      {CommandId::ShowPictureScaled, "画像拡大表示", "?を,?で", CmdShowPictureScaled, kActs},
      {CommandId::DrawPoint, "点描画", "?の,?へ", CmdDrawPoint, kActs},
      {CommandId::CaptureWindow, "窓キャプチャー", "?へ,?を", CmdCaptureWindow, kActs},
      {CommandId::ImageCopy, "イメージコピー", "?を,?の,?に", CmdImageCopy, kActs},
      {CommandId::FadeOut, "画面フェードアウト", "?で", CmdFade<true>, kActs},
      {CommandId::FadeIn, "画面フェードイン", "?で", CmdFade<false>, kActs},
      {CommandId::Rgb, "RGB", "?,?,?", CmdRgb, kActs},
      {CommandId::ImageSave, "イメージ保存", "?へ,?を", CmdImageSave, kActs},
      {CommandId::SimplePrint, "簡易印刷", "?を", CmdSimplePrint, kActs},
      {CommandId::DrawText, "文字描画", "?の,?へ,?と", CmdDrawText, kActs},
      {CommandId::ImageBlendCopy, "イメージ半透明コピー", "?を,?の,?に,?パーセント",
       CmdImageBlendCopy, kActs},
      {CommandId::DrawLine, "線描画", "?の,?から,?へ", CmdImageShape<Shape::kLine>, kActs},
      {CommandId::DrawRectangle, "四角形描画", "?の,?から,?へ", CmdImageShape<Shape::kRectangle>,
       kActs},
      {CommandId::DrawEllipse, "円形描画", "?の,?から,?へ", CmdImageShape<Shape::kEllipse>, kActs},
      {CommandId::ImagePartCopy, "イメージ部分コピー", "?の,?を,?の,?に", CmdImagePartCopy, kActs},
      {CommandId::ImagePrint, "イメージ印刷", "?を", CmdImagePrint, kActs},
      {CommandId::ImageBitDepth, "画像ビット数変更", "?を,?ビットに", CmdImageBitDepth, kActs},
      {CommandId::PixelColor, "座標色取得", "?の,?を", CmdPixelColor, kActs},
      {CommandId::Cmyk, "CMYK", "?,?,?,?", CmdCmyk, kActs},
      {CommandId::ExtractIcon, "アイコン抽出", "?の,?を,?に", CmdExtractIcon, kActs},
      // Filters.
      {CommandId::FlipVertical, "垂直反転", "?を", CmdFilter<FlipVertical>, kActs},
      {CommandId::FlipHorizontal, "水平反転", "?を", CmdFilter<FlipHorizontal>, kActs},
      {CommandId::RotateRight, "右回転", "?を", CmdFilter<RotateRight>, kActs},
      {CommandId::Negative, "ネガポジ反転", "?を", CmdFilter<Negative>, kActs},
      {CommandId::Grayscale, "グレイスケール変換", "?を", CmdFilter<Grayscale>, kActs},
      {CommandId::Solarize, "ソラリゼーション", "?を", CmdFilter<Solarize>, kActs},
      {CommandId::Brightness, "明るさ補正", "?を,?度", CmdBrightness, kActs},
      {CommandId::Gamma, "ガンマ補正", "?を,?度", CmdGamma, kActs},
      {CommandId::RotateImage, "画像回転", "?を,?度", CmdRotateImage, kActs},
      {CommandId::EdgeDetect, "画像エッジ検出", "?を", CmdFilter<DetectEdges>, kActs},
      {CommandId::Blur, "画像ボカシ", "?を,?度", CmdBlur, kActs},
      {CommandId::Sharpen, "画像シャープ", "?を,?度", CmdSharpen, kActs},
      {CommandId::Sepia, "画像セピア", "?を,?で", CmdSepia, kActs},
  };
  return kRows;
}

}  // namespace sorane
