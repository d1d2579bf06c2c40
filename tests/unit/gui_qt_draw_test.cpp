// Drawing on the host window on the offscreen platform: shapes read back
// through 座標色取得, pictures shown and saved in every format, anti-aliased
// text, the fades, capturing and printing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "gui/dialog_automation.h"
#include "gui_script_run.h"
#include "text/encoding.h"

namespace sorane {
namespace {

std::string Var(ScriptRun& r, const char* name) {
  THashNode* w = r.in.S.Words.Find(Utf8ToSjis(name), false);
  return w ? SjisToUtf8(w->Value()) : "(none)";
}

constexpr const char* kRed = "255";
constexpr const char* kBlue = "16711680";
constexpr const char* kWhite = "16777215";

TEST(WindowDrawing, ShapesPenAndFill) {
  ScriptRun r(
      "(10,120,60,170)へ、四角形。\n"  // the defaults: black inside and outline
      "(30,145)を、座標色取得。K=それ\n"
      "ペン色は、赤色\n塗り色は、青色\nペン太さは、1\n"
      "(10,10)から(110,60)へ、四角形。\n"
      "(200,10,300,110)へ、円形。\n"
      "(0,200)から(300,200)へ、線。\n"
      "(50,30)を、座標色取得。A=それ\n"
      "(250,60)を、座標色取得。B=それ\n"
      "(202,12)を、座標色取得。C=それ\n"  // outside the ellipse, inside its box
      "(150,200)を、座標色取得。D=それ\n"
      "(109,35)を、座標色取得。E=それ\n"  // the right edge is the last column...
      "(110,35)を、座標色取得。F=それ\n"  // ...and the one after it is outside
      "(7,7)へ、点描画。\n(7,7)を、座標色取得。G=それ\n"
      "(5000,5)を、座標色取得。\n(5000,5)へ、点描画。\n");
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.in.ErrorLog, "");
  EXPECT_EQ(Var(r, "K"), "0");
  EXPECT_EQ(Var(r, "A"), kBlue);
  EXPECT_EQ(Var(r, "B"), kBlue);
  EXPECT_EQ(Var(r, "C"), kWhite);
  EXPECT_EQ(Var(r, "D"), kRed);
  EXPECT_EQ(Var(r, "E"), kRed);
  EXPECT_EQ(Var(r, "F"), kWhite);
  EXPECT_EQ(Var(r, "G"), kRed);
  // 線 leaves the output cursor where it was; the picture is 24 bits now.
  EXPECT_EQ(r.in.S.CursorY, 10);
  EXPECT_EQ(r.Surface().format(), QImage::Format_BGR888);
}

TEST(WindowDrawing, PicturesInEveryFormatAndBack) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::string d = dir.path().toStdString() + "/";
  // A 1 x 1 red GIF (read through the image plug-ins).
  QFile gif(dir.filePath("red.gif"));
  ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
  gif.write(
      QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
                 ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                 35));
  gif.close();
  std::string script =
      "塗り色は、「#00FF00」\nペン色は、「#00FF00」\n(0,0,20,10)へ、四角形。\n"
      "JPEG圧縮率は、90\n";
  for (const char* ext : {"bmp", "png", "jpg", "ico"})
    script += "「" + d + "g." + ext + "」へ、「母艦」を、イメージ保存。\n";
  script += "「#FFFFFF」で、画面クリア。\n";
  // Each shrunk ten times (the green corner: two pixels), side by side.
  int x = 0;
  for (const char* ext : {"bmp", "png", "jpg"}) {
    script += "(" + std::to_string(x) + ",300)へ、移動。\n";
    script += "「" + d + "g." + ext + "」を、(64,40)で、画像拡大表示。\n";
    x += 100;
  }
  script += "(300,300)へ、移動。\n「" + d + "g.ico」を、画像表示。\n";
  script += "(400,300)へ、移動。\n「" + d + "red.gif」を、画像表示。\n";
  ScriptRun r(script);
  r.in.S.HostPath = d;  // the program's folder: saving there is not asked about
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.in.ErrorLog, "");
  for (int at : {0, 100, 200, 300}) {
    QColor c = r.Surface().pixelColor(at + 1, 300);
    EXPECT_TRUE(c.green() > 240 && c.red() < 15 && c.blue() < 15)
        << at << " " << c.name().toStdString();
    EXPECT_EQ(r.Surface().pixelColor(at + 5, 315), QColor(Qt::white)) << at;
  }
  EXPECT_EQ(r.Surface().pixelColor(400, 300), QColor(Qt::red));
  EXPECT_EQ(r.in.S.CursorY, 301);  // below the last picture
  EXPECT_EQ(QFileInfo(dir.filePath("g.bmp")).size(), 54 + 640 * 400 * 3);
}

TEST(WindowDrawing, LoadingFailuresNameTheFile) {
  QTemporaryDir dir;
  std::string d = dir.path().toStdString() + "/";
  QFile empty(dir.filePath("zero.png"));
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  empty.close();
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  ScriptRun r("「" + d + "zero.png」を、画像表示。\n「" + d + "none.xyz」を、画像表示。\n");
  ASSERT_TRUE(r.Start());
  std::string log = SjisToUtf8(r.in.ErrorLog);
  EXPECT_NE(log.find("zero.png\"が読込めません。"), std::string::npos) << log;
  EXPECT_NE(log.find("none.xyz\"が読込めません。"), std::string::npos) << log;
  ClearDialogAnswers();
}

TEST(WindowDrawing, SmoothTextAndFades) {
  ScriptRun r("文字サイズは、30\n文字色は、赤色\n「母艦」の(10,10)へ、「あいう」と、文字描画。\n");
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.Surface().format(), QImage::Format_RGB32);  // the 32-bit work copy
  bool full = false, between = false;
  for (int y = 10; y < 60; ++y)
    for (int x = 10; x < 120; ++x) {
      QColor c = r.Surface().pixelColor(x, y);
      if (c.red() == 255 && c.green() < 20) full = true;
      if (c.red() == 255 && c.green() > 60 && c.green() < 200) between = true;
    }
  EXPECT_TRUE(full);
  EXPECT_TRUE(between);  // anti-aliased edges

  ScriptRun out("画面フェードアウト\n");
  ASSERT_TRUE(out.Start());
  EXPECT_EQ(out.Surface().pixelColor(300, 300), QColor(5, 5, 5));
  ScriptRun in("「#000000」で、画面クリア\n0で、画面フェードイン\n");
  ASSERT_TRUE(in.Start());
  EXPECT_EQ(in.Surface().pixelColor(300, 300), QColor(250, 250, 250));
}

TEST(WindowDrawing, CaptureAndPrint) {
  QTemporaryDir dir;
  ScriptRun r(
      "「#0000FF」で、画面クリア\n「母艦」へ、「そらね」を、窓キャプチャー。\n"
      "「母艦」へ、「ない窓」を、窓キャプチャー。\n"
      "「一行目\n二行目」を、簡易印刷。\n");
  r.in.S.ProgramPath = dir.filePath("prog.srn").toStdString();
  r.window.show();
  QueueDialogAnswer("OK");
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.in.ErrorLog, "");
  EXPECT_EQ(r.Surface().pixelColor(100, 100), QColor(Qt::blue));
  EXPECT_GT(QFileInfo(dir.filePath("prog.pdf")).size(), 500);
}

// ---- Image and form objects ----

TEST(ImageDrawing, ShapesFiltersAndSizes) {
  ScriptRun r(
      "(10,10)に、「絵」を、イメージとして、作成。\n"
      "絵の、幅は、100\n絵の、高さは、50\n"
      "ペン色は、赤色\n塗り色は、青色\n"
      "「絵」の(0,0)から(40,20)へ、四角形描画。\n"
      "「絵」の(10,10)を、座標色取得。A=それ\n"
      "「絵」の(70,30)を、座標色取得。W=それ\n"  // a picture-less image starts white
      "「絵」を、ネガポジ反転。\n「絵」の(10,10)を、座標色取得。B=それ\n"
      "「絵」を、右回転。\n"  // (10,10) of 100 x 50 goes to (50 - 1 - 10, 10)
      "「絵」の(39,10)を、座標色取得。C=それ\n"
      "「絵」を、画像ボカシ。\n"  // no strength: nothing to average, nothing changes
      "「絵」を、1ビットに、画像ビット数変更。\n「絵」の(39,10)を、座標色取得。D=それ\n"
      "(200,10)に、「箱」を、リストとして、作成。\n"
      "「箱」の(0,0)から(10,10)へ、線描画。\n");
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(Var(r, "A"), kBlue);
  EXPECT_EQ(Var(r, "W"), kWhite);
  EXPECT_EQ(Var(r, "B"), std::to_string(0xFFFF));  // yellow
  EXPECT_EQ(Var(r, "C"), std::to_string(0xFFFF));
  EXPECT_EQ(Var(r, "D"), kWhite);  // yellow is nearer white
  EXPECT_EQ(r.in.host.Objects().Bounds(r.in.S.Objects.IndexOf(SJ("絵"))).width, 50);
  EXPECT_EQ(r.in.host.Objects().Bounds(r.in.S.Objects.IndexOf(SJ("絵"))).height, 100);
  EXPECT_NE(r.in.ErrorLog.find(SJ("\"箱\"は、イメージではありません。")), std::string::npos);
  ClearDialogAnswers();
}

TEST(ImageDrawing, CopiesBlendsAndTheirMends) {
  ScriptRun r(
      "(10,10)に、「元」を、イメージとして、作成。\n元の、幅は、20\n元の、高さは、10\n"
      "塗り色は、赤色\nペン色は、赤色\n「元」の(0,0)から(20,10)へ、四角形描画。\n"
      "(100,10)に、「先」を、イメージとして、作成。\n先の、幅は、200\n先の、高さは、100\n"
      "「先」の(0,0)を、座標色取得。\n"                         // makes the white picture
      "「元」を、「先」の(10,10,110,60)に、イメージコピー。\n"  // scaled to 100 x 50
      "「先」の(100,55)を、座標色取得。A=それ\n「先」の(111,61)を、座標色取得。B=それ\n"
      "「元」を、「先」の(150,10,170,0)に、イメージコピー。\n"  // zero height: nothing
      "「先」の(155,5)を、座標色取得。C=それ\n"
      "「元」を、「先」の(-10,80)に、50パーセント、イメージ半透明コピー。\n"
      "「先」の(5,85)を、座標色取得。D=それ\n"
      "「元」を、「先」の(150,80)に、-50パーセント、イメージ半透明コピー。\n"
      "「先」の(155,85)を、座標色取得。E=それ\n"
      "「元」を、「先」の(180,80)に、300パーセント、イメージ半透明コピー。\n"
      "「先」の(185,85)を、座標色取得。F=それ\n"
      "「元」を、「先」の(60,80,50,95)に、50パーセント、イメージ半透明コピー。\n"  // no width
      "「先」の(55,85)を、座標色取得。N=それ\n"
      "「元」の(0,0,5,5)を、「先」の(190,0)に、イメージ部分コピー。\n"
      "「先」の(194,4)を、座標色取得。G=それ\n「先」の(195,4)を、座標色取得。H=それ\n");
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.in.ErrorLog, "");
  EXPECT_EQ(Var(r, "A"), kRed);
  EXPECT_EQ(Var(r, "B"), kWhite);
  EXPECT_EQ(Var(r, "C"), kWhite);
  // (128 * 255 + 128 * 255) div 256 red; (128 * 0 + 128 * 255) div 256 the others.
  EXPECT_EQ(Var(r, "D"), std::to_string(255 + 127 * 256 + 127 * 65536));
  EXPECT_EQ(Var(r, "E"), kWhite);
  EXPECT_EQ(Var(r, "F"), kRed);  // c = 255: 255 div 256 of the white is left: none
  EXPECT_EQ(Var(r, "N"), kWhite);
  EXPECT_EQ(Var(r, "G"), kRed);
  EXPECT_EQ(Var(r, "H"), kWhite);
}

TEST(ImageDrawing, TextFilesIconsAndPrinting) {
  QTemporaryDir dir;
  std::string ico = dir.filePath("i.ico").toStdString(), png = dir.filePath("i.png").toStdString();
  ScriptRun r(
      "(10,10)に、「イメージ1」を、イメージとして、作成。\n"
      "イメージ1の、幅は、60\nイメージ1の、高さは、40\n"
      "文字色は、「#0000FF」\n文字サイズは、20\n"
      "「イメージ1」の(2,2)へ、「字」と、文字描画。\n"
      "「" +
      png +
      "」へ、「イメージ1」を、イメージ保存。\n"
      "「" +
      ico +
      "」へ、「イメージ1」を、イメージ保存。\n"
      "(100,10)に、「絵二」を、イメージとして、作成。\n"
      "「" +
      ico +
      "」の、0を、絵二に、アイコン抽出。\n"
      "「イメージ1」を、母艦アイコン。\n"
      "(300,300)へ、移動。\n「イメージ1」を、画像表示。\n"
      "「イメージ1」を、イメージ印刷。\n"
      "「/proc/self/exe」の、0を、絵二に、アイコン抽出。\n");
  r.in.S.HostPath = dir.path().toStdString() + "/";
  r.in.S.ProgramPath = dir.filePath("prog.srn").toStdString();
  QueueDialogAnswer("OK");
  QueueDialogAnswer(QString::fromUtf8("実行を続ける(&O)"));
  ASSERT_TRUE(r.Start());
  std::string log = SjisToUtf8(r.in.ErrorLog);
  EXPECT_NE(log.find("exe\"が読込めません。アイコンがありません。"), std::string::npos) << log;
  ClearDialogAnswers();
  // The text in its colour with smoothed edges, saved and shown from memory.
  QImage saved(QString::fromStdString(png));
  ASSERT_EQ(saved.size(), QSize(60, 40));
  bool blue = false;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) blue = blue || saved.pixelColor(x, y) == QColor(Qt::blue);
  EXPECT_TRUE(blue);
  // 画像表示 of the object named in full width found it (300 + 60 below).
  EXPECT_EQ(r.in.S.CursorY, 340);
  EXPECT_EQ(r.in.host.Objects().Bounds(r.in.S.Objects.IndexOf(SJ("絵二"))).width, 32);
  EXPECT_FALSE(r.window.windowIcon().isNull());
  EXPECT_GT(QFileInfo(dir.filePath("prog.pdf")).size(), 500);
}

TEST(ImageDrawing, FormsHaveTheirSurface) {
  ScriptRun r(
      "「窓」を、フォームとして、作成。\n"
      "塗り色は、緑色\nペン色は、緑色\n「窓」の(0,0)から(30,30)へ、四角形描画。\n"
      "「窓」の(10,10)を、座標色取得。A=それ\n「窓」を、水平反転。\n"
      "「窓」の(10,10)を、座標色取得。B=それ\n「窓」を、右回転。\n");
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(r.in.ErrorLog, "");
  EXPECT_EQ(Var(r, "A"), std::to_string(0xFF00));
  EXPECT_EQ(Var(r, "B"), kWhite);
  // The quarter turn turns the form's client area with its picture.
  ObjBounds b = r.in.host.Objects().Bounds(r.in.S.Objects.IndexOf(SJ("窓")));
  EXPECT_GT(b.height, b.width);
}

// The sample draws its chart on an image object and saves it.
TEST(ImageDrawing, TheChartSampleSavesItsPicture) {
  QFile sample(QStringLiteral(SORANE_TEST_DATA "/../../samples/chart.srn"));
  ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
  QTemporaryDir dir;
  QString was = QDir::currentPath();
  QDir::setCurrent(dir.path());
  ScriptRun r(sample.readAll().toStdString());
  r.in.S.HostPath = dir.path().toStdString() + "/";
  bool started = r.Start();
  QDir::setCurrent(was);
  ASSERT_TRUE(started);
  EXPECT_EQ(r.in.ErrorLog, "");
  QImage chart(dir.filePath("chart.png"));
  ASSERT_EQ(chart.size(), QSize(568, 390));
  EXPECT_EQ(chart.pixelColor(100, 300), QColor(0x3D, 0x6F, 0xD1));  // inside the first bar
}

}  // namespace
}  // namespace sorane
