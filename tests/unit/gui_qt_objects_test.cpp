// The widgets of script objects through the Qt backend, on the offscreen
// platform: each kind created, its properties set and read back, its default
// value, the events it reports, destruction and the guards around it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
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

}  // namespace
}  // namespace sorane
