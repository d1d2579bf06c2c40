// The widgets of script objects through the Qt backend, on the offscreen
// platform: each kind created, its properties set and read back, its default
// value, the events it reports, destruction and the guards around it.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEngineView>
#include <functional>

#include "gui/draw_surface.h"
#include "gui/frm_sorane.h"
#include "gui/objects/qt_object_backend.h"
#include "gui/qt_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

// Every reported event, answered with `reply`; `during` runs inside a report.
struct Recorder : ObjectEventSink {
  std::vector<ObjectEvent> events;
  EventReply reply;
  std::function<void(const ObjectEvent&)> during;
  EventReply ObjectEventOccurred(const ObjectEvent& e) override {
    events.push_back(e);
    if (during) during(e);
    return reply;
  }
  int Count(int index, ObjEvent what) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const ObjectEvent& e) {
      return e.index == index && e.what == what;
    }));
  }
  // The events of one object, in order, as letters: c click, d double-click,
  // v mouse down, ^ up, m move, k key down, u key up, x change, f drop, n navigate.
  std::string Trace(int index) const {
    static const char kLetters[] = "cdv^mkuxfn";
    std::string t;
    for (const ObjectEvent& e : events)
      if (e.index == index) t += kLetters[static_cast<int>(e.what)];
    return t;
  }
};

class Objects : public ::testing::Test {
 protected:
  TQtHost host;
  QtObjectBackend& b = host.ObjectWidgets();
  Recorder sink;
  int next = 1;

  void SetUp() override {
    b.SetEventSink(&sink);
    host.Form().show();
  }
  void TearDown() override { b.SetEventSink(nullptr); }

  int Create(ObjKind kind, const char* caption = "") {
    NewObject n;
    n.index = next++;
    n.kind = kind;
    n.caption = Utf8ToSjis(caption);
    n.font.face = SJ("ＭＳ ゴシック");
    n.font.size = 11;
    n.font.color = 0xFF;  // red
    EXPECT_TRUE(b.CreateObject(n));
    return n.index;
  }
  template <class W>
  W* Widget(int index) {
    return dynamic_cast<W*>(b.WidgetOf(index));
  }
  bool Set(int index, PropId id, const char* utf8, int64_t number = 0) {
    PropertyValue v;
    v.text = Utf8ToSjis(utf8);
    v.number = number;
    return b.SetProperty(index, id, v);
  }
  bool SetNumber(int index, PropId id, int64_t number) {
    return Set(index, id, std::to_string(number).c_str(), number);
  }
  std::string Text(int index, PropId id) { return SjisToUtf8(b.GetProperty(index, id).text); }
  int64_t Number(int index, PropId id) { return b.GetProperty(index, id).number; }
  std::string Default(int index) { return SjisToUtf8(b.GetDefaultValue(index)); }
  // A picture file of the given size in a folder that lives as long as the test.
  std::string PictureFile(const char* name, QSize size, QColor color = Qt::blue) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(color);
    QString path = folder.filePath(name);
    EXPECT_TRUE(picture.save(path));
    return Utf8ToSjis(path.toStdString());
  }
  QTemporaryDir folder;
};

TEST_F(Objects, ButtonAndTheHostWindow) {
  int ok = Create(ObjKind::kButton, "OK");
  auto* button = Widget<QPushButton>(ok);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "OK");
  EXPECT_EQ(button->font().pointSize(), 11);
  EXPECT_EQ(Default(ok), "OK");
  // A caption wider than the button widens it.
  ASSERT_TRUE(Set(ok, PropId::kText, "とても長いボタンの表題です"));
  int text_width = QFontMetrics(button->font()).horizontalAdvance(button->text());
  EXPECT_EQ(button->width(), text_width + 10);
  EXPECT_EQ(Text(ok, PropId::kText), "とても長いボタンの表題です");

  b.SetBounds(ok, {12, 34, 90, 28});
  EXPECT_EQ(button->geometry(), QRect(12, 34, 90, 28));
  EXPECT_EQ(b.Bounds(ok).top, 34);

  // A picture and a text colour keep the same widget.
  ASSERT_TRUE(Set(ok, PropId::kPicture, PictureFile("p.png", {16, 16}).c_str()));
  EXPECT_FALSE(button->icon().isNull());
  ASSERT_TRUE(SetNumber(ok, PropId::kFontColor, 0xFF0000));
  EXPECT_EQ(b.WidgetOf(ok), button);
  EXPECT_EQ(Number(ok, PropId::kFontColor), 0xFF0000);
  EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
  EXPECT_FALSE(Set(ok, PropId::kPicture, "/no/such/picture.png"));
  ASSERT_TRUE(Set(ok, PropId::kPicture, ""));
  EXPECT_TRUE(button->icon().isNull());

  // A click: down, up, then one click from the button itself.
  QTest::mouseClick(button, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
  EXPECT_EQ(sink.Trace(ok), "v^c");
  EXPECT_EQ(sink.events[0].x, 5);
  EXPECT_EQ(sink.events[0].special_keys, "Shift\r\nLeft");
  // The window below sees none of it.
  EXPECT_EQ(sink.Trace(0), "");

  // Object 0 is the host window: its caption is the application's title too.
  ASSERT_TRUE(Set(0, PropId::kText, "住所録"));
  EXPECT_EQ(host.Form().windowTitle(), QString::fromUtf8("住所録"));
  EXPECT_EQ(ApplicationTitle(), QString::fromUtf8("住所録"));
  // Not Qt's display name, which the desktop would see appended to every title.
  EXPECT_NE(QApplication::applicationDisplayName(), QString::fromUtf8("住所録"));
  EXPECT_EQ(Text(0, PropId::kTitle), "住所録");
  // Its size is its client size.
  ObjBounds window = b.Bounds(0);
  b.SetBounds(0, {window.left, window.top, 500, 400});
  EXPECT_EQ(host.Form().width(), 500);
  ASSERT_TRUE(SetNumber(0, PropId::kBackColor, 0xFF));
  EXPECT_EQ(Number(0, PropId::kBackColor), 0xFF);
  EXPECT_EQ(host.Canvas().Picture().pixelColor(400, 300), QColor(Qt::red));
  ASSERT_TRUE(SetNumber(0, PropId::kBorderStyle, 1));
  EXPECT_EQ(Number(0, PropId::kResizable), 0);
  ASSERT_TRUE(SetNumber(0, PropId::kResizable, 1));
  EXPECT_EQ(Number(0, PropId::kBorderStyle), 2);
  EXPECT_EQ(host.Form().size(), QSize(500, 400));  // the size stays
}

TEST_F(Objects, DestroyedWidgetsStayUntilFreedAndReportNothing) {
  int first = Create(ObjKind::kButton, "A");
  QPointer<QPushButton> button = Widget<QPushButton>(first);
  // Destroyed inside its own click: the widget is only hidden.
  sink.during = [&](const ObjectEvent& e) {
    if (e.what == ObjEvent::kClick) b.DestroyObject(first);
  };
  button->click();
  ASSERT_TRUE(button);
  EXPECT_TRUE(button->isHidden());
  EXPECT_EQ(b.DestroyedCount(), 1);
  EXPECT_EQ(b.WidgetOf(first), nullptr);
  EXPECT_FALSE(Set(first, PropId::kText, "x"));
  sink.events.clear();
  button->click();
  EXPECT_TRUE(sink.events.empty());
  b.FreeDestroyed();
  EXPECT_EQ(b.DestroyedCount(), 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(button);
  // A new object gets a new index.
  int second = Create(ObjKind::kButton, "A");
  EXPECT_NE(second, first);
  EXPECT_NE(b.WidgetOf(second), nullptr);
}

// Edits, memos and combo boxes: texts, selections counted in characters of the
// script's text (a kanji is one, a line break CR LF two), change events and
// dropped files.
TEST_F(Objects, TextFieldsCountCharactersAsScriptsDo) {
  int edit = Create(ObjKind::kEdit);
  auto* line = Widget<QLineEdit>(edit);
  ASSERT_NE(line, nullptr);
  ASSERT_TRUE(Set(edit, PropId::kText, "漢字abc"));
  EXPECT_EQ(sink.Count(edit, ObjEvent::kChange), 1);
  ASSERT_TRUE(SetNumber(edit, PropId::kSelStart, 1));
  ASSERT_TRUE(SetNumber(edit, PropId::kSelLength, 2));
  EXPECT_EQ(Text(edit, PropId::kSelText), "字a");
  EXPECT_EQ(Number(edit, PropId::kSelStart), 1);
  ASSERT_TRUE(Set(edit, PropId::kSelText, "Ｘ"));
  EXPECT_EQ(Default(edit), "漢Ｘbc");
  ASSERT_TRUE(SetNumber(edit, PropId::kEditable, 0));
  EXPECT_TRUE(line->isReadOnly());
  EXPECT_EQ(Number(edit, PropId::kEditable), 0);
  ASSERT_TRUE(SetNumber(edit, PropId::kIme, 2));
  EXPECT_EQ(Number(edit, PropId::kIme), 2);
  ASSERT_TRUE(SetNumber(edit, PropId::kIme, 0));
  EXPECT_TRUE(line->inputMethodHints() & Qt::ImhLatinOnly);

  int memo = Create(ObjKind::kMemo);
  auto* plain = Widget<QPlainTextEdit>(memo);
  EXPECT_EQ(Text(memo, PropId::kScrollBars), "両方");
  b.SetDefaultValue(memo, Utf8ToSjis("一行目\r\n二行目\r\n三"));
  EXPECT_EQ(plain->blockCount(), 3);
  EXPECT_EQ(Default(memo), "一行目\r\n二行目\r\n三");
  ASSERT_TRUE(SetNumber(memo, PropId::kSelStart, 5));  // after "一行目" and CR LF
  EXPECT_EQ(Number(memo, PropId::kRow), 1);
  EXPECT_EQ(Number(memo, PropId::kColumn), 0);
  ASSERT_TRUE(SetNumber(memo, PropId::kColumn, 2));
  EXPECT_EQ(Number(memo, PropId::kSelStart), 7);
  ASSERT_TRUE(SetNumber(memo, PropId::kSelLength, 3));
  EXPECT_EQ(Text(memo, PropId::kSelText), "目\r\n");
  ASSERT_TRUE(SetNumber(memo, PropId::kRow, 2));
  EXPECT_EQ(Number(memo, PropId::kSelStart), 10);
  ASSERT_TRUE(SetNumber(memo, PropId::kRow, 9));  // no such line: stays
  EXPECT_EQ(Number(memo, PropId::kRow), 2);
  ASSERT_TRUE(Set(memo, PropId::kScrollBars, "縦"));
  EXPECT_EQ(plain->lineWrapMode(), QPlainTextEdit::WidgetWidth);

  int combo = Create(ObjKind::kCombo);
  auto* box = Widget<QComboBox>(combo);
  ASSERT_TRUE(box->isEditable());
  ASSERT_TRUE(Set(combo, PropId::kText, "入力"));
  ASSERT_TRUE(Set(combo, PropId::kItems, "りんご\r\nみかん\r\n"));
  EXPECT_EQ(Default(combo), "入力");  // new items keep the text, choose none
  EXPECT_EQ(Number(combo, PropId::kValue), -1);
  EXPECT_EQ(b.ItemCount(combo), 2);
  ASSERT_TRUE(SetNumber(combo, PropId::kValue, 1));
  EXPECT_EQ(Text(combo, PropId::kText), "みかん");
  EXPECT_EQ(Text(combo, PropId::kItems), "りんご\r\nみかん\r\n");
  ASSERT_TRUE(SetNumber(combo, PropId::kEditable, 0));
  EXPECT_FALSE(box->isEditable());
  EXPECT_EQ(Text(combo, PropId::kSelText), "");
  int changes = sink.Count(combo, ObjEvent::kChange);
  ASSERT_TRUE(SetNumber(combo, PropId::kValue, 0));
  EXPECT_EQ(sink.Count(combo, ObjEvent::kChange), changes + 1);

  // Dropped files: a handler takes them, or the widget's own treatment follows.
  ASSERT_TRUE(SetNumber(memo, PropId::kFileDrop, 1));
  ASSERT_TRUE(SetNumber(edit, PropId::kFileDrop, 1));
  auto drop = [&](QWidget* target) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/a b.txt"), QUrl::fromLocalFile("/tmp/c.txt")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return enter.isAccepted();
  };
  b.SetDefaultValue(memo, Utf8ToSjis("前"));
  sink.events.clear();
  EXPECT_TRUE(drop(plain->viewport()));
  EXPECT_EQ(Default(memo), "前\r\n/tmp/a b.txt\r\n/tmp/c.txt");
  ASSERT_EQ(sink.Trace(memo).substr(0, 1), "f");
  EXPECT_EQ(sink.events[0].text, "/tmp/a b.txt\r\n/tmp/c.txt\r\n");
  sink.reply.handled = true;  // a handler ran: the text stays
  EXPECT_TRUE(drop(line));
  EXPECT_EQ(Default(edit), "漢Ｘbc");
  sink.reply.handled = false;
  EXPECT_TRUE(drop(line));
  EXPECT_EQ(Default(edit), "/tmp/a b.txt\r\n/tmp/c.txt");
  // Without ファイルドロップ nothing is taken or reported.
  int other = Create(ObjKind::kList);
  EXPECT_FALSE(drop(Widget<QListWidget>(other)->viewport()));
  EXPECT_EQ(sink.Count(other, ObjEvent::kFileDrop), 0);
}

// Lists and radio groups: items, the chosen one, indexes outside the items.
TEST_F(Objects, ListsAndRadioGroupsChooseOneItem) {
  int list = Create(ObjKind::kList);
  auto* items = Widget<QListWidget>(list);
  ASSERT_TRUE(Set(list, PropId::kItems, "赤\r\n緑\r\n青"));
  EXPECT_EQ(items->count(), 3);
  EXPECT_EQ(Default(list), "-1");
  EXPECT_EQ(Text(list, PropId::kText), "");
  ASSERT_TRUE(Set(list, PropId::kText, "なし"));    // nothing selected: nothing replaced
  ASSERT_TRUE(SetNumber(list, PropId::kValue, 3));  // one past the end
  EXPECT_EQ(Number(list, PropId::kValue), -1);
  ASSERT_TRUE(SetNumber(list, PropId::kValue, 1));
  EXPECT_EQ(Text(list, PropId::kSelText), "緑");
  ASSERT_TRUE(Set(list, PropId::kText, "黄"));
  EXPECT_EQ(Text(list, PropId::kItems), "赤\r\n黄\r\n青\r\n");
  b.SetDefaultValue(list, "-1");
  EXPECT_EQ(Default(list), "-1");
  QRect first = items->visualItemRect(items->item(0));
  // A double click: its second press is no click.
  QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, first.center());
  QTest::mouseDClick(items->viewport(), Qt::LeftButton, {}, first.center());
  QTest::mouseRelease(items->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(sink.Trace(list), "v^cdv^");
  EXPECT_EQ(Default(list), "0");

  int radio = Create(ObjKind::kRadio);
  ASSERT_TRUE(Set(radio, PropId::kItems, "小\r\n中\r\n大\r\n"));
  EXPECT_EQ(b.ItemCount(radio), 3);
  EXPECT_EQ(Number(radio, PropId::kValue), -1);
  ASSERT_TRUE(SetNumber(radio, PropId::kValue, 2));
  EXPECT_EQ(Text(radio, PropId::kText), "大");
  auto buttons = b.WidgetOf(radio)->findChildren<QRadioButton*>();
  ASSERT_EQ(buttons.size(), 3);
  buttons[0]->click();
  EXPECT_EQ(Default(radio), "0");
  EXPECT_EQ(sink.Count(radio, ObjEvent::kClick), 1);
  // New items inside the click of an old one: the old buttons go later.
  sink.during = [&](const ObjectEvent& e) {
    if (e.index == radio) Set(radio, PropId::kItems, "上\r\n下");
  };
  buttons[1]->click();
  sink.during = nullptr;
  EXPECT_EQ(Text(radio, PropId::kItems), "上\r\n下\r\n");
  b.SetDefaultValue(radio, "1");
  EXPECT_EQ(Text(radio, PropId::kText), "下");
  b.SetDefaultValue(radio, "-1");
  EXPECT_EQ(Default(radio), "-1");
}

// A bar, a label, a check box, a panel and a track box.
TEST_F(Objects, SimpleControls) {
  int bar = Create(ObjKind::kBar);
  ASSERT_TRUE(SetNumber(bar, PropId::kValue, 150));
  EXPECT_EQ(Default(bar), "100");                   // kept inside 0..100
  ASSERT_TRUE(SetNumber(bar, PropId::kValue, -1));  // no position
  EXPECT_EQ(Number(bar, PropId::kValue), 100);
  ASSERT_TRUE(SetNumber(bar, PropId::kMaximum, 200));
  ASSERT_TRUE(SetNumber(bar, PropId::kMinimum, 10));
  b.SetDefaultValue(bar, "5");
  EXPECT_EQ(Number(bar, PropId::kValue), 10);
  EXPECT_GT(sink.Count(bar, ObjEvent::kChange), 0);
  QSize flat = b.WidgetOf(bar)->size();
  ASSERT_TRUE(Set(bar, PropId::kOrientation, "縦"));
  EXPECT_EQ(Text(bar, PropId::kOrientation), "縦");
  EXPECT_EQ(b.WidgetOf(bar)->size(), flat.transposed());

  int label = Create(ObjKind::kLabel, "<b>名前</b>");
  auto* text = Widget<QLabel>(label);
  EXPECT_EQ(text->textFormat(), Qt::PlainText);
  EXPECT_EQ(TextColor(text), 0xFFu);  // 文字色 of the moment
  EXPECT_EQ(Number(label, PropId::kTransparent), 1);
  ASSERT_TRUE(Set(label, PropId::kText, "ずっと長い名前のラベル"));
  EXPECT_EQ(text->width(), text->sizeHint().width());
  int narrow = text->width();
  ASSERT_TRUE(SetNumber(label, PropId::kFontSize, 30));
  EXPECT_GT(text->width(), narrow);
  ASSERT_TRUE(SetNumber(label, PropId::kBackColor, 0xFF00));
  ASSERT_TRUE(SetNumber(label, PropId::kTransparent, 0));
  EXPECT_EQ(Number(label, PropId::kBackColor), 0xFF00);
  EXPECT_EQ(text->palette().color(QPalette::Window), QColor(Qt::green));

  int check = Create(ObjKind::kCheck, "同意する");
  auto* box = Widget<QCheckBox>(check);
  EXPECT_EQ(box->text(), QString::fromUtf8("同意する"));
  EXPECT_EQ(Number(check, PropId::kBackColor), 0x8000000F);
  b.SetDefaultValue(check, "1");
  EXPECT_EQ(Default(check), "1");
  b.SetDefaultValue(check, "-3");  // checked only above 0
  EXPECT_EQ(Default(check), "0");
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
  EXPECT_EQ(Number(check, PropId::kValue), 1);
  EXPECT_EQ(sink.Trace(check), "v^c");

  int panel = Create(ObjKind::kPanel);
  EXPECT_EQ(Default(panel), "");
  b.SetDefaultValue(panel, Utf8ToSjis("見出し"));
  EXPECT_EQ(Text(panel, PropId::kText), "見出し");

  int track = Create(ObjKind::kTrack);
  QWidget* frame = b.WidgetOf(track);
  b.SetBounds(track, {10, 10, 3, 4});
  EXPECT_EQ(b.Bounds(track).width, 10);  // never below 10 × 10
  EXPECT_EQ(b.Bounds(track).height, 10);
  b.SetBounds(track, {10, 10, 60, 60});
  QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(30, 30));
  QTest::mouseMove(frame, QPoint(40, 35));
  QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(40, 35));
  EXPECT_EQ(frame->pos(), QPoint(20, 15));
  EXPECT_EQ(frame->size(), QSize(60, 60));
  QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(58, 58));  // the corner resizes
  QTest::mouseMove(frame, QPoint(1, 1));
  QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(frame->size(), QSize(10, 10));
  EXPECT_EQ(sink.Count(track, ObjEvent::kChange), 2);
}

// Panels and forms hold other objects; a widget freed with its parent counts
// as destroyed; parents never form a cycle.
TEST_F(Objects, ContainersFormsAndGuardedWidgets) {
  int panel = Create(ObjKind::kPanel);
  int inner = Create(ObjKind::kPanel);
  int button = Create(ObjKind::kButton, "B");
  b.SetBounds(button, {7, 8, 50, 20});
  ASSERT_TRUE(b.SetParent(inner, panel));
  ASSERT_TRUE(b.SetParent(button, inner));
  EXPECT_EQ(b.WidgetOf(button)->parentWidget(), b.WidgetOf(inner));
  EXPECT_EQ(b.Bounds(button).left, 7);  // the same numbers, now in the panel
  EXPECT_FALSE(b.SetParent(panel, panel));
  EXPECT_FALSE(b.SetParent(panel, inner));  // onto a panel placed on it
  EXPECT_FALSE(b.SetParent(0, inner));      // the host window onto its own panel
  EXPECT_FALSE(b.SetParent(button, button));
  b.SetBounds(panel, {0, 0, 200, 100});
  EXPECT_EQ(b.ParentClientWidth(inner), 200);
  b.SetBounds(inner, {0, 0, 100, 40});
  b.CenterInParent(inner);
  EXPECT_EQ(b.Bounds(inner).left, 50);
  EXPECT_EQ(b.Bounds(inner).top, 30);

  // The outer panel destroyed and freed: the button went with it.
  b.DestroyObject(panel);
  b.FreeDestroyed();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(b.WidgetOf(button), nullptr);
  EXPECT_EQ(b.WidgetOf(inner), nullptr);
  EXPECT_FALSE(Set(button, PropId::kText, "x"));
  EXPECT_EQ(Text(button, PropId::kText), "");
  EXPECT_EQ(b.Bounds(button).width, 0);
  EXPECT_FALSE(b.Focus(button));
  b.DestroyObject(button);  // a second destruction is harmless

  // A form: a window of its own, centred, its surface's mouse events its own.
  int form = Create(ObjKind::kForm, "設定");
  QWidget* window = b.WidgetOf(form);
  ASSERT_TRUE(window->isWindow());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("設定"));
  EXPECT_EQ(Default(form), "設定");
  QScreen* screen = QGuiApplication::primaryScreen();
  EXPECT_NEAR(window->x() + window->width() / 2, screen->size().width() / 2, 1);
  EXPECT_EQ(Number(form, PropId::kBackColor), 0xFFFFFF);
  auto* img = window->findChild<TDrawSurface*>("img");
  ASSERT_NE(img, nullptr);
  b.SetBounds(form, {window->x(), window->y(), 300, 200});
  EXPECT_EQ(img->size(), QSize(300, 200));
  EXPECT_GE(sink.Count(form, ObjEvent::kChange), 1);
  ASSERT_TRUE(SetNumber(form, PropId::kBackColor, 0xFF0000));
  EXPECT_EQ(img->Picture().pixelColor(150, 100), QColor(Qt::blue));
  ASSERT_TRUE(Set(form, PropId::kPicture, PictureFile("f.png", {40, 30}).c_str()));
  EXPECT_EQ(img->size(), QSize(40, 30));
  EXPECT_EQ(window->size(), QSize(300, 200));
  ASSERT_TRUE(SetNumber(form, PropId::kStretch, 1));
  EXPECT_TRUE(img->Stretch());
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(sink.Trace(form).find("v^c") != std::string::npos, true);
  EXPECT_EQ(sink.Trace(0), "");
  // Keys: the form's preview first, then the object holding the focus.
  int edit = Create(ObjKind::kEdit);
  ASSERT_TRUE(b.SetParent(edit, form));
  sink.events.clear();
  QTest::keyClick(b.WidgetOf(edit), Qt::Key_A);
  ASSERT_EQ(sink.events.size(), 5u);  // form, edit; the change; form, edit
  EXPECT_EQ(sink.events[0].index, form);
  EXPECT_EQ(sink.events[0].key, 65);
  EXPECT_EQ(sink.events[1].index, edit);
  EXPECT_EQ(sink.Trace(edit), "kxu");
  // A form placed on a panel becomes a child; freed forms are no windows left over.
  int holder = Create(ObjKind::kPanel);
  ASSERT_TRUE(b.SetParent(form, holder));
  EXPECT_FALSE(window->isWindow());
  EXPECT_EQ(b.WidgetOf(edit)->window(), host.Form().window());
}

// Images hold a picture: loaded from a file they take its size.
TEST_F(Objects, ImageHoldsItsPicture) {
  int image = Create(ObjKind::kImage);
  auto* surface = Widget<TDrawSurface>(image);
  ASSERT_NE(surface, nullptr);
  EXPECT_TRUE(surface->Picture().isNull());
  std::string name = PictureFile("i.png", {64, 48}, Qt::red);
  b.SetDefaultValue(image, " " + name + " ");
  EXPECT_EQ(surface->size(), QSize(64, 48));
  EXPECT_EQ(surface->Picture().pixelColor(1, 1), QColor(Qt::red));
  EXPECT_EQ(b.GetDefaultValue(image), name);
  // Its picture can be the window's icon; a button's cannot.
  EXPECT_TRUE(host.Form().SetIconFromObject(image));
  EXPECT_FALSE(host.Form().windowIcon().isNull());
  EXPECT_FALSE(host.Form().SetIconFromObject(Create(ObjKind::kButton)));
  ASSERT_TRUE(SetNumber(image, PropId::kStretch, 1));
  ASSERT_TRUE(SetNumber(image, PropId::kTransparent, 1));
  EXPECT_EQ(Number(image, PropId::kStretch), 1);
  EXPECT_EQ(Number(image, PropId::kTransparent), 1);
  ASSERT_TRUE(Set(image, PropId::kPicture, ""));
  EXPECT_TRUE(surface->Picture().isNull());
  EXPECT_FALSE(Set(image, PropId::kPicture, "/no/such.png"));
  QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(3, 4));
  QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(3, 4));  // no click
  EXPECT_EQ(sink.Trace(image), "v^cv^");
  EXPECT_EQ(sink.events.back().special_keys, "Right");
  EXPECT_EQ(Number(image, PropId::kHandle), 0);  // no window of its own
}

// A grid: its row 0 is the header; loading, reading back, the current cell,
// editing and the header sort.
TEST_F(Objects, GridLoadsSortsAndKeepsItsHeader) {
  int grid = Create(ObjKind::kGrid);
  auto* view = Widget<QTableView>(grid);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(b.ItemCount(grid), 5);  // 5 × 5 at first
  ASSERT_TRUE(Set(grid, PropId::kText, "名前,年\r\nbob,30\r\nアリス,25\r\nalice,41\r\n"));
  EXPECT_EQ(b.ItemCount(grid), 5);  // header, three rows, the empty row
  EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("名前"));
  EXPECT_EQ(view->model()->data(view->model()->index(1, 0)).toString(),
            QString::fromUtf8("アリス"));
  EXPECT_EQ(Default(grid), "名前,年\r\nbob,30\r\nアリス,25\r\nalice,41\r\n,\r\n");
  EXPECT_EQ(Text(grid, PropId::kItems), "名前,年\r\nbob,30\r\nアリス,25\r\nalice,41\r\n");
  // The widest text + 5, and the style's cell margins on top, so the text
  // shows whole instead of cut short.
  int wide = QFontMetrics(view->font()).horizontalAdvance(QString::fromUtf8("アリス")) + 5;
  EXPECT_GT(view->columnWidth(0), wide);
  EXPECT_LE(view->columnWidth(0), wide + 16);

  ASSERT_TRUE(SetNumber(grid, PropId::kValue, 2));
  EXPECT_EQ(Number(grid, PropId::kRow), 2);
  ASSERT_TRUE(SetNumber(grid, PropId::kColumn, 1));
  ASSERT_TRUE(SetNumber(grid, PropId::kColumn, 2));  // outside: nothing
  ASSERT_TRUE(SetNumber(grid, PropId::kRow, 5));
  ASSERT_TRUE(SetNumber(grid, PropId::kRow, 0));  // the header is no current row
  EXPECT_EQ(Number(grid, PropId::kRow), 2);
  EXPECT_EQ(Number(grid, PropId::kColumn), 1);
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  ASSERT_TRUE(SetNumber(grid, PropId::kEditable, 1));
  EXPECT_EQ(Number(grid, PropId::kEditable), 1);
  EXPECT_TRUE(view->model()->flags(view->model()->index(0, 0)) & Qt::ItemIsEditable);
  view->model()->setData(view->model()->index(0, 1), QString::fromUtf8("三十"));
  EXPECT_EQ(Text(grid, PropId::kItems), "名前,年\r\nbob,三十\r\nアリス,25\r\nalice,41\r\n");

  // The header: the first press sorts descending, before the mouse-down.
  QHeaderView* header = view->horizontalHeader();
  int pressed_rows = -1;
  sink.during = [&](const ObjectEvent& e) {
    if (e.what == ObjEvent::kMouseDown) pressed_rows = static_cast<int>(Default(grid).size());
  };
  sink.events.clear();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
  sink.during = nullptr;
  // Keys compare byte by byte with a-z made upper case: ALICE, BOB, then the kana.
  EXPECT_EQ(Text(grid, PropId::kItems), "名前,年\r\nアリス,25\r\nbob,三十\r\nalice,41\r\n");
  EXPECT_EQ(sink.Trace(grid), "v^c");
  EXPECT_GT(pressed_rows, 0);
  EXPECT_GE(sink.events[0].y, 0);
  EXPECT_LT(sink.events[0].y, header->height());
  EXPECT_TRUE(header->model()->headerData(0, Qt::Horizontal).toString().endsWith(u"\u25BC"));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
  EXPECT_EQ(Text(grid, PropId::kItems), "名前,年\r\nalice,41\r\nbob,三十\r\nアリス,25\r\n");
  b.DestroyObject(grid);
  EXPECT_EQ(view->model()->rowCount(), 0);
}

// 100,000 lines into a list and a grid, and back out, stay quick.
TEST_F(Objects, HugeListsStayQuick) {
  std::string lines, table;
  for (int i = 0; i < 100000; ++i) {
    lines += "項目" + std::to_string(i) + "\r\n";
    table += std::to_string(i) + ",名前" + std::to_string(i % 977) + ",東京都\r\n";
  }
  lines = Utf8ToSjis(lines);
  table = Utf8ToSjis(table);
  int list = Create(ObjKind::kList);
  int grid = Create(ObjKind::kGrid);
  QElapsedTimer clock;
  clock.start();
  PropertyValue v;
  v.text = lines;
  ASSERT_TRUE(b.SetProperty(list, PropId::kItems, v));
  QCoreApplication::processEvents();
  qint64 list_set = clock.restart();
  EXPECT_EQ(b.GetProperty(list, PropId::kItems).text.size(), lines.size());
  qint64 list_get = clock.restart();
  v.text = table;
  ASSERT_TRUE(b.SetProperty(grid, PropId::kText, v));
  QCoreApplication::processEvents();
  qint64 grid_set = clock.restart();
  EXPECT_EQ(b.ItemCount(grid), 100001);
  EXPECT_EQ(b.GetProperty(grid, PropId::kItems).text, table);
  qint64 grid_get = clock.restart();
  QTest::mouseClick(Widget<QTableView>(grid)->horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(10, 5));
  qint64 grid_sort = clock.restart();
  RecordProperty("list_set_ms", static_cast<int>(list_set));
  RecordProperty("grid_set_ms", static_cast<int>(grid_set));
  printf(
      "100,000 lines: list set %lld ms, read %lld ms; grid set %lld ms, read %lld ms, sort %lld "
      "ms\n",
      list_set, list_get, grid_set, grid_get, grid_sort);
  EXPECT_LT(list_set + list_get + grid_set + grid_get + grid_sort, 5000);
}

// An animation box plays its frames on a timer, as often as it is told.
TEST_F(Objects, AnimationPlaysItsFrames) {
  int anime = Create(ObjKind::kAnime);
  QWidget* box = b.WidgetOf(anime);
  std::string frames = PictureFile("1.png", {20, 20}, Qt::red) + "\r\n" +
                       PictureFile("2.png", {30, 24}, Qt::green) + "\r\n";
  ASSERT_TRUE(SetNumber(anime, PropId::kValue, 10));
  ASSERT_TRUE(SetNumber(anime, PropId::kRepeatCount, 2));
  ASSERT_TRUE(Set(anime, PropId::kPicture, frames.c_str()));
  EXPECT_EQ(box->size(), QSize(30, 24));  // sized to each picture in turn
  EXPECT_EQ(Number(anime, PropId::kValue), 10);
  auto shown = [&] { return box->grab().toImage().pixelColor(2, 2); };
  EXPECT_EQ(shown(), QColor(Qt::red));
  // Two rounds, then it rests on the last frame.
  QTest::qWait(200);
  EXPECT_EQ(shown(), QColor(Qt::green));
  QTest::qWait(50);
  EXPECT_EQ(shown(), QColor(Qt::green));
  ASSERT_TRUE(Set(anime, PropId::kAddPictures, PictureFile("3.png", {8, 8}, Qt::blue).c_str()));
  EXPECT_EQ(box->size(), QSize(8, 8));
  ASSERT_TRUE(SetNumber(anime, PropId::kAnimeButtons, 2));
  EXPECT_EQ(Number(anime, PropId::kAnimeButtons), 2);
  int visible_buttons = 0;
  for (auto* button : box->findChildren<QToolButton*>())
    visible_buttons += button->isVisibleTo(box);
  EXPECT_EQ(visible_buttons, 4);
  ASSERT_TRUE(Set(anime, PropId::kSound, "音.wav"));
  EXPECT_EQ(Text(anime, PropId::kSound), "音.wav");
  ASSERT_TRUE(SetNumber(anime, PropId::kBackColor, 0xFF));
  EXPECT_EQ(Number(anime, PropId::kBackColor), 0xFF);
  b.DestroyObject(anime);
  EXPECT_TRUE(box->isHidden());
}

// The editor component: CR LF texts, positions in characters, the caret.
TEST_F(Objects, EditorComponentCountsCharacters) {
  int editor = Create(ObjKind::kTEditor);
  ASSERT_NE(b.WidgetOf(editor), nullptr);
  b.SetDefaultValue(editor, Utf8ToSjis("一行目\r\n二行目abc\r\n"));
  EXPECT_EQ(Default(editor), "一行目\r\n二行目abc\r\n");
  EXPECT_EQ(sink.Count(editor, ObjEvent::kChange), 1);
  ASSERT_TRUE(SetNumber(editor, PropId::kSelStart, 6));
  ASSERT_TRUE(SetNumber(editor, PropId::kSelLength, 4));
  EXPECT_EQ(Text(editor, PropId::kSelText), "行目ab");
  EXPECT_EQ(Number(editor, PropId::kSelStart), 6);
  EXPECT_EQ(Number(editor, PropId::kRow), 1);
  ASSERT_TRUE(SetNumber(editor, PropId::kColumn, 3));
  EXPECT_EQ(Number(editor, PropId::kColumn), 3);
  EXPECT_EQ(Number(editor, PropId::kSelStart), 8);
  ASSERT_TRUE(SetNumber(editor, PropId::kRow, 0));
  EXPECT_EQ(Number(editor, PropId::kSelStart), 0);
  ASSERT_TRUE(SetNumber(editor, PropId::kRow, 7));  // no such line
  EXPECT_EQ(Number(editor, PropId::kRow), 0);
  ASSERT_TRUE(Set(editor, PropId::kSelText, "先頭"));
  EXPECT_EQ(Default(editor).substr(0, 6), "先頭");
  sink.events.clear();
  auto* area = dynamic_cast<QAbstractScrollArea*>(b.WidgetOf(editor));
  QTest::mouseClick(area->viewport(), Qt::LeftButton, {}, QPoint(30, 5));
  QTest::keyClick(area, Qt::Key_B);
  EXPECT_EQ(sink.Trace(editor), "v^ckxu");
  EXPECT_EQ(sink.Trace(0), "ku");  // the host window's preview first
  EXPECT_EQ(Number(editor, PropId::kBackColor), 0x80000005);
  ASSERT_TRUE(SetNumber(editor, PropId::kBackColor, 0xFF));
  EXPECT_EQ(Number(editor, PropId::kBackColor), 0xFF);
  b.DestroyObject(editor);
}

// The web view asks before it opens a page; a refusal keeps the page it has.
TEST_F(Objects, BrowserAsksBeforeNavigating) {
  int browser = Create(ObjKind::kBrowser);
  ASSERT_NE(b.WidgetOf(browser), nullptr);
  ASSERT_TRUE(Set(browser, PropId::kUrl, "data:text/html,first"));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sink.Count(browser, ObjEvent::kNavigate) == 1; }, 20000));
  EXPECT_EQ(sink.events.back().text, "data:text/html,first");
  auto* web = dynamic_cast<QWebEngineView*>(b.WidgetOf(browser));
  ASSERT_TRUE(QTest::qWaitFor([&] { return web->history()->count() == 1; }, 20000));
  EXPECT_EQ(Text(browser, PropId::kUrl), "data:text/html,first");
  sink.reply.cancel = true;
  ASSERT_TRUE(Set(browser, PropId::kUrl, "data:text/html,second"));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sink.Count(browser, ObjEvent::kNavigate) == 2; }, 20000));
  QTest::qWait(200);
  EXPECT_EQ(Text(browser, PropId::kText), "data:text/html,first");
  sink.reply.cancel = false;
}

}  // namespace
}  // namespace sorane
