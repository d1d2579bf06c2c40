// The widgets of script objects through the Qt backend, on the offscreen
// platform: each kind created, its properties set and read back, its default
// value, the events it reports, destruction and the guards around it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "gui/draw_surface.h"
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

  // Place and size, read back in every form.
  ASSERT_TRUE(SetNumber(ok, PropId::kX, 12));
  ASSERT_TRUE(SetNumber(ok, PropId::kY, 34));
  ASSERT_TRUE(SetNumber(ok, PropId::kWidth, 90));
  ASSERT_TRUE(SetNumber(ok, PropId::kHeight, 28));
  EXPECT_EQ(button->geometry(), QRect(12, 34, 90, 28));
  PropertyValue rect = b.GetProperty(ok, PropId::kBounds);
  EXPECT_EQ(rect.rect.right, 102);
  EXPECT_EQ(rect.rect.bottom, 62);
  EXPECT_EQ(b.GetProperty(ok, PropId::kPosition).point.y, 34);

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
  EXPECT_EQ(QApplication::applicationDisplayName(), QString::fromUtf8("住所録"));
  EXPECT_EQ(Text(0, PropId::kTitle), "住所録");
  ASSERT_TRUE(SetNumber(0, PropId::kWidth, 500));
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

}  // namespace
}  // namespace sorane
