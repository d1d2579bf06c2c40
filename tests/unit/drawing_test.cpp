// Pictures without a window: the filters, the smooth resize and the blend
// against values worked out by hand from their arithmetic; the picture files
// (round trips, hostile files, icons of programs); and the drawing commands
// through scripts on a picture kept in memory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>

#include "library/drawing/bitmap_ops.h"
#include "library/drawing/filters.h"
#include "library/drawing/picture_codec.h"
#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_files.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

// A picture whose pixels are grey levels, one row per string of values.
Bitmap Grey(std::vector<std::vector<int>> rows, int bits = 24) {
  Bitmap b(int(rows[0].size()), int(rows.size()), bits);
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      for (int k = 0; k < 3; ++k) b.Row(y)[x * b.Bpp() + k] = uint8_t(rows[y][x]);
  return b;
}
int At(const Bitmap& b, int x, int y, int k = 0) {
  return b.Row(y)[x * b.Bpp() + k];
}
std::vector<int> RowOf(const Bitmap& b, int y) {
  std::vector<int> out;
  for (int x = 0; x < b.width; ++x) out.push_back(At(b, x, y));
  return out;
}
Bitmap Colour(int w, int h, uint8_t r, uint8_t g, uint8_t blue) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) PutPixelColor(b, x, y, r | (g << 8) | (blue << 16));
  return b;
}

TEST(PictureFilters, FlipsAndTheQuarterTurn) {
  Bitmap b = Grey({{1, 2, 3}, {4, 5, 6}});
  FlipHorizontal(b);
  EXPECT_EQ(RowOf(b, 0), (std::vector<int>{3, 2, 1}));
  FlipVertical(b);
  EXPECT_EQ(RowOf(b, 0), (std::vector<int>{6, 5, 4}));
  FlipVertical(b);
  FlipHorizontal(b);
  EXPECT_EQ(RowOf(b, 1), (std::vector<int>{4, 5, 6}));
  RotateRight(b);  // new (height - 1 - y, x) := old (x, y)
  ASSERT_EQ(b.width, 2);
  ASSERT_EQ(b.height, 3);
  EXPECT_EQ(RowOf(b, 0), (std::vector<int>{4, 1}));
  EXPECT_EQ(RowOf(b, 2), (std::vector<int>{6, 3}));
  // Pictures without pixels are left alone (no row or pixel -1 exchanged).
  Bitmap empty(0, 5), flat(4, 0);
  for (Bitmap* e : {&empty, &flat}) {
    FlipVertical(*e);
    FlipHorizontal(*e);
    RotateRight(*e);
    Blur(*e, 100);
    Sharpen(*e, 10);
    RotateBy(*e, 90);
    DetectEdges(*e);
    EXPECT_TRUE(e->Empty());
  }
}

TEST(PictureFilters, TablesAndGreyScale) {
  Bitmap b = Grey({{0, 10, 100, 200, 250}});
  Bitmap n = b;
  Negative(n);
  EXPECT_EQ(RowOf(n, 0), (std::vector<int>{255, 245, 155, 55, 5}));
  Bitmap s = b;
  Solarize(s);
  EXPECT_EQ(RowOf(s, 0), (std::vector<int>{0, 10, 100, 55, 5}));
  Bitmap l = b;
  Brighten(l, 10);
  EXPECT_EQ(RowOf(l, 0), (std::vector<int>{10, 20, 110, 210, 255}));
  Brighten(l, -20);
  EXPECT_EQ(RowOf(l, 0), (std::vector<int>{0, 0, 90, 190, 235}));
  for (int a : {0, 300, -256}) {
    Bitmap same = b;
    Brighten(same, a);
    EXPECT_EQ(RowOf(same, 0), RowOf(b, 0)) << a;
  }
  // 255 * (64 / 255)^(1.1 / 2.2) = 127.75 -> 128.
  Bitmap g = Grey({{0, 64, 255}});
  GammaCorrect(g, 1.1);
  EXPECT_EQ(RowOf(g, 0), (std::vector<int>{0, 128, 255}));
  for (double no : {2.2, 0.5, 3.5}) {
    Bitmap same = Grey({{64}});
    GammaCorrect(same, no);
    EXPECT_EQ(At(same, 0, 0), 64) << no;
  }
  // (30*100 + 59*150 + 11*200) / 100 = 140.5 -> 140 (even); 227.5 -> 228.
  Bitmap c = Colour(2, 1, 100, 150, 200);
  PutPixelColor(c, 1, 0, 255 | (255 << 8) | (5 << 16));
  Grayscale(c);
  EXPECT_EQ(PixelColor(c, 0, 0), 140u * 0x010101);
  EXPECT_EQ(PixelColor(c, 1, 0), 228u * 0x010101);
}

TEST(PictureFilters, RotationEdgesAndSepia) {
  Bitmap b = Grey({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
  Bitmap zero = b;
  RotateBy(zero, 0);  // cx + ((...) >> 10): 0 degrees moves nothing
  EXPECT_EQ(zero.bits, 32);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(RowOf(zero, y), RowOf(b, y));
  // 180 is a quarter turn: C = 0, S = 1024, X = cx - dy, Y = cy + dx (cx = cy = 2).
  Bitmap quarter = b;
  RotateBy(quarter, 180);
  EXPECT_EQ(At(quarter, 2, 3), At(b, 3, 2));  // dx 1, dy 0
  EXPECT_EQ(At(quarter, 1, 2), At(b, 2, 3));  // dx 0, dy 1
  EXPECT_EQ(At(quarter, 0, 0), 0);            // nothing lands there

  // Values 100 - (x + 10y): the only result pixel is (0,1) = S - 9 * src(0,2).
  Bitmap e(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) std::memset(e.Row(y) + x * 3, 100 - (x + 10 * y), 3);
  DetectEdges(e);
  EXPECT_EQ(At(e, 0, 1), 801 - 9 * 80);
  EXPECT_EQ(At(e, 1, 1), 0);
  EXPECT_EQ(At(e, 0, 0), 0);

  Bitmap sepia = Grey({{128, 64, 255}});
  Sepia(sepia, 255);                         // red
  EXPECT_EQ(PixelColor(sepia, 0, 0), 253u);  // 32385 div 128
  EXPECT_EQ(PixelColor(sepia, 1, 0), 127u);  // (64 * 255) >> 7
  EXPECT_EQ(PixelColor(sepia, 2, 0), 253u | (253u << 8) | (253u << 16));
}

TEST(PictureFilters, BlurAndSharpenWorkInPlace) {
  Bitmap row = Grey({{0, 30, 90}});
  Blur(row, 10);  // radius 1; blurred pixels feed the next ones
  EXPECT_EQ(RowOf(row, 0), (std::vector<int>{15, 45, 67}));
  Bitmap square = Grey({{0, 100}, {40, 60}});
  Blur(square, 19.9);
  EXPECT_EQ(RowOf(square, 0), (std::vector<int>{50, 62}));
  EXPECT_EQ(RowOf(square, 1), (std::vector<int>{53, 56}));
  Bitmap still = Grey({{0, 30, 90}});
  Blur(still, 5);
  EXPECT_EQ(RowOf(still, 0), (std::vector<int>{0, 30, 90}));
  // A huge strength is a window over the whole picture, quickly.
  Bitmap huge = Grey({{0, 30, 90}, {7, 8, 9}}), capped = huge;
  Blur(huge, 1e12);
  Blur(capped, 30);
  EXPECT_EQ(RowOf(huge, 0), RowOf(capped, 0));
  EXPECT_EQ(RowOf(huge, 1), RowOf(capped, 1));

  Bitmap s = Grey({{50, 50, 50}, {50, 100, 50}, {50, 50, 50}});
  Sharpen(s, 128);  // e = clamp((1100 - 500) / 2) = 255; 32640 div 256 + 12700 div 256
  EXPECT_EQ(At(s, 1, 1), 127 + 49);
  EXPECT_EQ(At(s, 0, 0), 50);
}

TEST(PictureResize, InterpolatesAndAverages) {
  Bitmap up = SmoothResize(Grey({{0, 100}}), 5, 1);
  EXPECT_EQ(RowOf(up, 0), (std::vector<int>{0, 25, 50, 75, 100}));
  // (0 - 100) * 21845 / 65536 truncates toward zero: 100 - 33.
  EXPECT_EQ(RowOf(SmoothResize(Grey({{100, 0}}), 4, 1), 0), (std::vector<int>{100, 67, 34, 0}));
  // Spans of 384/256: (90 * 128) / 384 and (90 * 128 + 30 * 256) / 384.
  EXPECT_EQ(RowOf(SmoothResize(Grey({{0, 90, 30}}), 2, 1), 0), (std::vector<int>{30, 50}));
  Bitmap both = SmoothResize(Grey({{0, 100}, {100, 200}}), 3, 3);
  EXPECT_EQ(RowOf(both, 1), (std::vector<int>{50, 100, 150}));
  EXPECT_EQ(RowOf(both, 2), (std::vector<int>{100, 150, 200}));
  EXPECT_TRUE(SmoothResize(Grey({{1, 2}}), 0, 5).Empty());
  EXPECT_TRUE(SmoothResize(Grey({{1, 2}}), -3, 5).Empty());
  EXPECT_TRUE(SmoothResize(Grey({{1, 2}}), 100000, 100000).Empty());
}

TEST(PictureBlend, ClipsClampsAndBlends) {
  Bitmap dest = Grey({{100, 100, 100, 100}});
  BlendOnto(dest, Grey({{200, 200}}), -1, 0, 128);  // only the work's second pixel lands
  EXPECT_EQ(dest.bits, 32);
  EXPECT_EQ(RowOf(dest, 0), (std::vector<int>{150, 100, 100, 100}));
  BlendOnto(dest, Grey({{200}}), 3, -5, 128);  // wholly above the picture
  BlendOnto(dest, Grey({{200}}), 9, 0, 128);
  BlendOnto(dest, Grey({{200}}), 1, 0, 0);
  EXPECT_EQ(RowOf(dest, 0), (std::vector<int>{150, 100, 100, 100}));
  BlendOnto(dest, Grey({{200}}), 3, 0, 256);  // c = 255: (255 * 200 + 100) div 256
  EXPECT_EQ(At(dest, 3, 0), 199);
}

// ---- Files ----

TEST(PictureFiles, RoundTrips) {
  Bitmap b = Colour(5, 3, 10, 20, 30);
  PutPixelColor(b, 4, 2, 0xFFFFFF);
  for (int bits : {24, 32}) {
    Bitmap same = WithBits(b, bits);
    Bitmap back = DecodeBmp(EncodeBmp(same));
    EXPECT_EQ(back.bits, bits);
    EXPECT_EQ(WithBits(back, 24).pixels, b.pixels) << bits;
    EXPECT_EQ(DecodePng(EncodePng(same)).pixels, b.pixels) << bits;
  }
  Bitmap flat = Colour(16, 16, 200, 100, 50);
  Bitmap jpeg = DecodeJpeg(EncodeJpeg(flat, 100));
  ASSERT_EQ(jpeg.width, 16);
  EXPECT_NEAR(At(jpeg, 8, 8, 2), 200, 3);
  EXPECT_NEAR(At(jpeg, 8, 8, 0), 50, 3);
  EXPECT_GT(EncodeJpeg(Colour(64, 64, 1, 2, 3), 100).size(),
            EncodeJpeg(Colour(64, 64, 1, 2, 3), 5).size());

  // An icon: 32 x 32, the bottom-left colour transparent (white beneath).
  Bitmap pic = Colour(40, 40, 0, 0, 255);
  PutPixelColor(pic, 0, 31, 0x00FF00);
  PutPixelColor(pic, 5, 5, 0x00FF00);
  std::string ico = EncodeIco(pic);
  ASSERT_EQ(ico.size(), 6u + 16 + 40 + 1024 + 1024 + 128);
  EXPECT_EQ(ico[6 + 2], 8);             // colour count = planes x bits
  EXPECT_EQ(uint8_t(ico[6 + 12]), 22);  // the image right after the entry
  Bitmap icon = DecodeIco(ico);
  ASSERT_EQ(icon.width, 32);
  EXPECT_EQ(PixelColor(icon, 0, 31), 0xFFFFFFu);
  EXPECT_EQ(PixelColor(icon, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(PixelColor(icon, 1, 1), 0xFF0000u);
  EXPECT_EQ(ExtractIcon(ico, 0).pixels, icon.pixels);
}

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = char(v >> (8 * i));
  return s;
}

TEST(PictureFiles, HostileFilesAreRefusedBeforeAllocating) {
  // A BMP declaring 30000 x 30000 pixels in 60 bytes; one declaring 100000 wide.
  for (uint32_t w : {30000u, 100000u}) {
    std::string bmp = "BM" + Le32(60) + Le32(0) + Le32(54) + Le32(40) + Le32(w) + Le32(30000);
    bmp += std::string("\x01\x00\x18\x00", 4) + std::string(24, '\0') + std::string(6, '\0');
    EXPECT_THROW(DecodeBmp(bmp), PictureError) << w;
  }
  EXPECT_THROW(DecodeBmp("BM"), PictureError);
  EXPECT_THROW(DecodePng(""), PictureError);
  std::string png = EncodePng(Colour(4, 4, 1, 2, 3));
  EXPECT_THROW(DecodePng(png.substr(0, png.size() / 2)), PictureError);
  std::string zero = png;  // IHDR width 0 (the CRC no longer matches either)
  std::memset(&zero[16], 0, 4);
  EXPECT_THROW(DecodePng(zero), PictureError);
  EXPECT_THROW(DecodeJpeg("\xFF\xD8\xFF garbage"), PictureError);
  EXPECT_THROW(DecodeIco(std::string("\0\0\1\0\1\0", 6)), PictureError);
  EXPECT_THROW(ExtractIcon("\x7F"
                           "ELF\2\1\1" +
                               std::string(100, '\0'),
                           0),
               PictureError);
}

// A Windows program holding one group icon (id 1) made of one 32 x 32 image.
std::string ProgramWithIcon(const std::string& image) {
  std::string f(512, '\0');
  f[0] = 'M', f[1] = 'Z';
  f.replace(0x3C, 4, Le32(64));
  f.replace(64, 4, std::string("PE\0\0", 4));
  f[68 + 2] = 1;               // one section
  f[68 + 16] = 224;            // optional header size
  f[88] = 0x0B, f[89] = 0x01;  // PE32
  f.replace(88 + 92, 4, Le32(16));
  f.replace(88 + 96 + 16, 4, Le32(0x1000));  // resource directory RVA
  const size_t section = 88 + 224;
  f.replace(section, 5, ".rsrc");
  // Resource tree at RVA 0x1000 = file offset 512.
  std::string r;
  auto dir = [&](std::vector<std::pair<uint32_t, uint32_t>> entries) {
    r += std::string(12, '\0') + std::string("\0\0", 2);
    r += char(entries.size()), r += '\0';
    for (auto [id, off] : entries) r += Le32(id) + Le32(off);
  };
  std::string group = std::string("\0\0\1\0\1\0", 6) + std::string("\x20\x20\0\0\1\0\x08\0", 8) +
                      Le32(uint32_t(image.size())) + std::string("\x07\0", 2);
  dir({{3, 0x80000000u | 40}, {14, 0x80000000u | 64}});  // 32 bytes
  r += std::string(8, '\0');                             // to 40
  dir({{7, 0x80000000u | 88}});                          // RT_ICON id 7 -> 88
  dir({{1, 0x80000000u | 112}});                         // RT_GROUP_ICON id 1 -> 112
  dir({{0x409, 136}});                                   // 88: language -> data entry 136
  dir({{0x409, 152}});                                   // 112: -> data entry 152
  const uint32_t data = 168;
  r += Le32(0x1000 + data) + Le32(uint32_t(image.size())) + Le32(0) + Le32(0);
  r += Le32(0x1000 + data + uint32_t(image.size())) + Le32(uint32_t(group.size())) + Le32(0) +
       Le32(0);
  r += image + group;
  f.replace(section + 8, 4, Le32(uint32_t(r.size())));
  f.replace(section + 12, 4, Le32(0x1000));
  f.replace(section + 16, 4, Le32(uint32_t(r.size())));
  f.replace(section + 20, 4, Le32(512));
  return f + r;
}

TEST(PictureFiles, IconsOfPrograms) {
  Bitmap pic = Colour(32, 32, 255, 0, 0);
  PutPixelColor(pic, 0, 31, 0);  // the transparent colour
  std::string ico = EncodeIco(pic);
  std::string program = ProgramWithIcon(ico.substr(22));
  Bitmap icon = ExtractIcon(program, 0);
  ASSERT_EQ(icon.width, 32);
  EXPECT_EQ(PixelColor(icon, 3, 3), 255u);
  EXPECT_EQ(PixelColor(icon, 0, 31), 0xFFFFFFu);
  EXPECT_THROW(ExtractIcon(program, 1), PictureError);
  // Cut anywhere, the program gives an error, never a read outside it.
  for (size_t n = 0; n < program.size(); n += 7)
    EXPECT_THROW(ExtractIcon(program.substr(0, n), 0), PictureError) << n;
}

// ---- Commands on a picture kept in memory ----

// The window's picture without a window: shapes are not drawn, pictures are.
class MemoryCanvas : public HostCanvas {
 public:
  Bitmap picture = Colour(64, 48, 255, 255, 255);
  std::vector<std::string> shapes;
  void Rectangle(int x1, int y1, int x2, int y2) override {
    shapes.push_back("rect " + std::to_string(x1) + "," + std::to_string(y1) + "," +
                     std::to_string(x2) + "," + std::to_string(y2));
  }
  void SetPixel(int x, int y, uint32_t c) override {
    if (x >= 0 && y >= 0 && x < picture.width && y < picture.height)
      PutPixelColor(picture, x, y, c);
  }
  std::optional<uint32_t> Pixel(int x, int y) override {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return std::nullopt;
    return PixelColor(picture, x, y);
  }
  Bitmap GetBitmap() override { return picture; }
  void SetBitmap(const Bitmap& b) override { picture = b; }
  void DrawBitmap(int x, int y, const Bitmap& b) override { DrawOnto(picture, b, x, y); }
};

class DrawingScriptTest : public ::testing::Test {
 protected:
  class CanvasHost : public TestHost {
   public:
    MemoryCanvas canvas;
    HostCanvas* Canvas() override { return &canvas; }
  };
  CanvasHost canvas_host;
  Interpreter in{canvas_host};
  MemoryCanvas& canvas = canvas_host.canvas;
  std::string dir;

  void SetUp() override {
    char tmpl[] = "/tmp/sorane-draw-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir = tmpl;
    canvas_host.continue_after_error = true;
    InstallLibrary(in);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void Run(const std::string& utf8) {
    std::string text;
    for (char c : Utf8ToSjis(utf8)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    in.S.SourceName = dir + "/main.srn";
    in.S.HostPath = dir + "/";
    in.S.ProgramText = text;
    in.Start();
  }
  std::string Errors() { return SjisToUtf8(in.ErrorLog); }
  std::string Var(const char* name) {
    THashNode* w = in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? SjisToUtf8(w->Value()) : "(none)";
  }
};

TEST_F(DrawingScriptTest, PointsColoursAndShapes) {
  Run("ペン色は、「#102030」\n"
      "(3,4)へ、点描画。\n"
      "(3,4)を、座標色取得。A=それ\n"
      "(999,4)を、座標色取得。\n"
      "RGB(255,0,0)を、表示。\nRGB(0,0,256+255)を、表示。\nCMYK(0,0,0,0)を、表示。\n"
      "CMYK(200,0,0,100)を、表示。\n"
      "(10,10,30,20)へ、四角形。\n"
      "RGB(-2,0,0)を、表示。\n");
  EXPECT_EQ(Var("A"), std::to_string(0x10 + 0x20 * 256 + 0x30 * 65536));
  EXPECT_EQ(canvas_host.lines,
            (std::vector<std::string>{"255", "16711680", "16777215", "10197760"}));  // red 0
  EXPECT_EQ(canvas.shapes, (std::vector<std::string>{"rect 10,10,30,20"}));
  EXPECT_NE(Errors().find("\"RGB\"命令の引数に誤りがあります。"), std::string::npos);
}

TEST_F(DrawingScriptTest, PicturesFiltersAndTheirMessages) {
  WriteRaw(dir + "/red.bmp", EncodeBmp(Colour(4, 2, 255, 0, 0)));
  WriteRaw(dir + "/huge.bmp", "BM" + Le32(60) + Le32(0) + Le32(54) + Le32(40) + Le32(30000) +
                                  Le32(30000) + std::string("\x01\x00\x18\x00", 4) +
                                  std::string(30, '\0'));
  Run("(5,6)へ、移動。\n"
      "「" +
      dir +
      "/red.bmp」を、画像表示。\n"
      "(5,7)を、座標色取得。A=それ\n"
      "「" +
      dir +
      "/red.bmp」を、(-4,10)で、画像拡大表示。\n"
      "母艦を、ネガポジ反転。\n"
      "(5,7)を、座標色取得。B=それ\n"
      "「" +
      dir +
      "/huge.bmp」を、画像表示。\n"
      "「" +
      dir +
      "/out.gif」へ、「母艦」を、イメージ保存。\n"
      "「" +
      dir +
      "/out.png」へ、「母艦」を、イメージ保存。\n"
      "母艦を、3ビットに、画像ビット数変更。\n"
      "「" +
      dir +
      "/out.png」を、画像表示。\n"
      "(10,15)を、座標色取得。C=それ\n");
  EXPECT_EQ(Var("A"), "255");
  EXPECT_EQ(Var("B"), std::to_string(0xFFFF00));  // cyan after the inversion
  EXPECT_EQ(Var("C"), std::to_string(0xFFFF00));  // read back from the saved file
  std::string e = Errors();
  EXPECT_NE(e.find("huge.bmp\"が読込めません。"), std::string::npos) << e;
  EXPECT_NE(e.find("\".gif\"は、未対応の画像ファイルです。"), std::string::npos) << e;
  EXPECT_NE(e.find("3ビットはサポートしていません。"), std::string::npos) << e;
}

TEST_F(DrawingScriptTest, SavingAsksTheSecurityPolicyFirst) {
  in.S.SecurityLevel = 2;  // every write refused
  Run("「" + dir + "/out.bmp」へ、「母艦」を、イメージ保存。\n");
  EXPECT_EQ(Errors(), "");
  EXPECT_FALSE(std::filesystem::exists(dir + "/out.bmp"));
}

}  // namespace
}  // namespace sorane
