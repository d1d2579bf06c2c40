// The kind and property tables of script objects: lookups by CP932 name, the
// rules that tie rows together (every property reaches some kind, names stay
// distinct after folding, event rows agree with the event layer), the routes a
// set or a read takes per kind, and the endings 作る guesses kinds from.
#include <gtest/gtest.h>

#include <set>

#include "library/objects/kinds.h"
#include "library/objects/properties.h"
#include "runtime/events.h"
#include "text/encoding.h"

namespace sorane {
namespace {

const PropertyRow& Prop(const char* utf8) {
  const PropertyRow* row = FindProperty(Utf8ToSjis(utf8));
  EXPECT_NE(row, nullptr) << utf8;
  static const PropertyRow none{};
  return row ? *row : none;
}

TEST(ObjectKinds, NamesFindTheirOwnRowAsCp932Bytes) {
  ASSERT_EQ(KindRows().size(), static_cast<size_t>(kObjKindCount));
  std::set<std::string> names;
  for (const KindRow& row : KindRows()) {
    std::string name = Utf8ToSjis(row.name);
    EXPECT_TRUE(names.insert(name).second) << row.name;
    const KindRow* found = FindKind(name);
    ASSERT_NE(found, nullptr) << row.name;
    EXPECT_EQ(found->kind, row.kind);
    EXPECT_EQ(KindName(row.kind), name);
    EXPECT_EQ(&KindRowOf(row.kind), &row);
  }
  // 作成 compares bytes: the UTF-8 spelling, a near name or a folded one is no kind.
  EXPECT_EQ(FindKind("ボタン"), nullptr);
  EXPECT_EQ(FindKind(Utf8ToSjis("ボタ")), nullptr);
  EXPECT_EQ(FindKind(Utf8ToSjis("ボタン ")), nullptr);
  EXPECT_EQ(HostTypeText(), Utf8ToSjis("メインフォーム"));
  EXPECT_EQ(FindKind(HostTypeText()), nullptr);  // the host window's type is not creatable
}

TEST(ObjectKinds, RowsAgreeWithWhatTheirWidgetsRaise) {
  int not_creatable = 0;
  for (const KindRow& row : KindRows()) {
    // イベント copies into a slot the widget actually raises.
    if (row.event_copy_slot >= 0) {
      EXPECT_TRUE(row.events.Has(row.event_copy_slot)) << row.name;
    }
    if (!row.creatable) {
      ++not_creatable;
      EXPECT_EQ(row.kind, ObjKind::kMenu);
    }
    // A kind whose default value can be read reads it as a string or a number.
    if (row.value_mark) {
      EXPECT_TRUE(std::string(row.value_mark) == "s" || std::string(row.value_mark) == "e");
    }
  }
  EXPECT_EQ(not_creatable, 1);
  // The kind numbers kept in object records.
  EXPECT_EQ(static_cast<int>(ObjKind::kImage), 2);
  EXPECT_EQ(static_cast<int>(ObjKind::kForm), 7);
  // Objects can go only onto forms and panels; pictures are kept only by images and forms.
  for (const KindRow& row : KindRows()) {
    EXPECT_EQ(row.container, row.kind == ObjKind::kForm || row.kind == ObjKind::kPanel);
    EXPECT_EQ(row.surface == DrawSurface::kPicture,
              row.kind == ObjKind::kImage || row.kind == ObjKind::kForm);
  }
  // メモ, グリッド and ラジオ get no copy of イベント; the values without direct reading.
  EXPECT_EQ(KindRowOf(ObjKind::kMemo).event_copy_slot, -1);
  EXPECT_EQ(KindRowOf(ObjKind::kTrack).value_mark, nullptr);
  EXPECT_EQ(KindRowOf(ObjKind::kBrowser).value_mark, nullptr);
}

TEST(ObjectKinds, GuessesTakeTheLongestWholeCharacterEnding) {
  auto guess = [](const char* utf8) {
    const KindRow* row = GuessKind(Utf8ToSjis(utf8));
    return row ? std::string(row->name) : std::string("(none)");
  };
  EXPECT_EQ(guess("OKボタン"), "ボタン");
  EXPECT_EQ(guess("保存メニュー"), "メニュー");
  EXPECT_EQ(guess("あいう"), "(none)");
  EXPECT_EQ(guess(""), "(none)");
  EXPECT_EQ(guess("エディタ"), "エディタ");
  // Tエディタ ends in エディタ too: the whole kind name wins.
  EXPECT_EQ(guess("編集Tエディタ"), "Tエディタ");
  // ャ is 83 83 in CP932: "ャoー" ends with the bytes 83 6F 81 5B of "バー",
  // starting inside ャ. That is no ending.
  std::string tricky = Utf8ToSjis("ャoー");
  ASSERT_EQ(tricky.substr(1), Utf8ToSjis("バー"));
  EXPECT_EQ(GuessKind(tricky), nullptr);
  EXPECT_FALSE(EndsWithChars(tricky, Utf8ToSjis("バー")));
  EXPECT_TRUE(EndsWithChars(Utf8ToSjis("スクロールバー"), Utf8ToSjis("バー")));
  EXPECT_TRUE(EndsWithChars("abc", ""));
  EXPECT_FALSE(EndsWithChars("a", "ba"));
}

TEST(ObjectKinds, DefaultCaptions) {
  auto caption = [](const char* name, ObjKind kind) {
    return SjisToUtf8(DefaultCaption(Utf8ToSjis(name), kind));
  };
  EXPECT_EQ(caption("OKボタン", ObjKind::kButton), "OK");
  EXPECT_EQ(caption("ボタン", ObjKind::kButton), "");
  EXPECT_EQ(caption("あいう", ObjKind::kButton), "あいう");
  EXPECT_EQ(caption("名前ラベル", ObjKind::kButton), "名前ラベル");
  // Never cut inside a character.
  EXPECT_EQ(DefaultCaption(Utf8ToSjis("ャoー"), ObjKind::kBar), Utf8ToSjis("ャoー"));
}

TEST(ObjectProperties, EveryNameFindsItsOwnRowAfterFolding) {
  std::set<PropId> ids;
  for (const PropertyRow& row : PropertyRows()) {
    ids.insert(row.id);
    // An earlier row folding to the same text would shadow this one.
    const PropertyRow* found = FindProperty(Utf8ToSjis(row.name));
    ASSERT_NE(found, nullptr) << row.name;
    EXPECT_EQ(found->id, row.id) << row.name << " is shadowed by " << found->name;
  }
  EXPECT_EQ(PropertyRows().size(), 55u);
  EXPECT_EQ(ids.size(), static_cast<size_t>(kPropIdCount));  // every id has a row
  for (int i = 0; i < kPropIdCount; ++i)
    EXPECT_EQ(static_cast<int>(PropertyRowOf(static_cast<PropId>(i)).id), i);
}

TEST(ObjectProperties, LookupFoldsOkuriganaAndKnowsTheSynonyms) {
  EXPECT_EQ(Prop("キーを押した時").id, PropId::kOnKeyDown);
  EXPECT_EQ(Prop("高").id, PropId::kHeight);
  EXPECT_EQ(Prop("W").id, PropId::kWidth);
  EXPECT_EQ(Prop("H").id, PropId::kHeight);
  EXPECT_EQ(&PropertyRowOf(PropId::kWidth), &Prop("幅"));
  // Folding drops the hiragana after other characters: クリック時 is クリックした時
  // here as for the event layer, while a trailing hiragana word is not.
  EXPECT_EQ(Prop("クリック時").id, PropId::kOnClick);
  EXPECT_EQ(EventSlotOf(Utf8ToSjis("クリック時")), kEventClick);
  EXPECT_EQ(FindProperty(Utf8ToSjis("クリックしたとき")), nullptr);
  EXPECT_EQ(FindProperty(Utf8ToSjis("色")), nullptr);
  EXPECT_EQ(FindProperty(""), nullptr);
  EXPECT_EQ(FindProperty("テキスト"), nullptr);  // UTF-8 bytes are not the CP932 name
}

TEST(ObjectProperties, RowsAreConsistent) {
  for (const PropertyRow& row : PropertyRows()) {
    SCOPED_TRACE(row.name);
    if (row.read_only) {
      EXPECT_TRUE(row.set_kinds.Empty());
    } else {
      EXPECT_FALSE(row.set_kinds.Empty());  // settable somewhere
    }
    // Readable somewhere: by a widget, or by a rule that is not E1.
    EXPECT_TRUE(!row.get_kinds.Empty() || row.get_other != GetOther::kUndefined);
    if (row.mark) {
      EXPECT_TRUE(std::string(row.mark) == "s" || std::string(row.mark) == "e");
    }
    // Event rows are the event layer's slots, under the same names.
    EXPECT_EQ(row.event_slot >= 0, row.value == ValueKind::kEventLabel);
    if (row.event_slot >= 0) {
      EXPECT_EQ(EventSlotOf(Utf8ToSjis(row.name)), row.event_slot);
    }
    if (row.value != ValueKind::kInteger && row.value != ValueKind::kColor) {
      EXPECT_EQ(row.int_default, 0);
    }
    // A setter borrowed from another row is a widget setter of the same kinds.
    const PropertyRow& setter = PropertyRowOf(row.set_via);
    EXPECT_EQ(setter.set_kinds, row.set_kinds);
    EXPECT_EQ(setter.value, row.value);
  }
  std::set<int> slots;
  for (const PropertyRow& row : PropertyRows())
    if (row.event_slot >= 0) {
      EXPECT_TRUE(slots.insert(row.event_slot).second);
    }
  EXPECT_EQ(slots.size(), static_cast<size_t>(kEventSlotCount));
}

TEST(ObjectProperties, ReadOnlyPropertiesRefuseEveryKind) {
  for (const char* name : {"名前", "右側", "下側", "ハンドル"}) {
    const PropertyRow& row = Prop(name);
    EXPECT_TRUE(row.read_only) << name;
    for (const KindRow& kind : KindRows())
      EXPECT_EQ(RouteSet(row, kind.kind), SetRoute::kReadOnly) << name << " " << kind.name;
  }
  int read_only = 0;
  for (const PropertyRow& row : PropertyRows()) read_only += row.read_only;
  EXPECT_EQ(read_only, 4);
  EXPECT_EQ(RouteGet(Prop("名前"), ObjKind::kMenu), GetRoute::kObjectName);
  EXPECT_EQ(RouteGet(Prop("右側"), ObjKind::kButton), GetRoute::kWidget);
  EXPECT_EQ(RouteGet(Prop("右側"), ObjKind::kMenu), GetRoute::kUndefined);
}

TEST(ObjectProperties, RoutesPerKind) {
  // Geometry of a menu: setting is "not defined for it" (E2), reading is E1.
  EXPECT_EQ(RouteSet(Prop("X"), ObjKind::kMenu), SetRoute::kNotSettable);
  EXPECT_EQ(RouteGet(Prop("X"), ObjKind::kMenu), GetRoute::kUndefined);
  EXPECT_EQ(RouteSet(Prop("サイズ"), ObjKind::kForm), SetRoute::kWidget);
  // 背景色 of a パネル or a ボタン is E1; a ラジオ takes it but reads "0".
  EXPECT_EQ(RouteSet(Prop("背景色"), ObjKind::kPanel), SetRoute::kUndefined);
  EXPECT_EQ(RouteSet(Prop("背景色"), ObjKind::kButton), SetRoute::kUndefined);
  EXPECT_EQ(RouteSet(Prop("背景色"), ObjKind::kRadio), SetRoute::kWidget);
  EXPECT_EQ(RouteGet(Prop("背景色"), ObjKind::kRadio), GetRoute::kZero);
  // テキスト of an image: not settable (E2); read from the word's value.
  EXPECT_EQ(RouteSet(Prop("テキスト"), ObjKind::kImage), SetRoute::kNotSettable);
  EXPECT_EQ(RouteGet(Prop("テキスト"), ObjKind::kImage), GetRoute::kWordValue);
  EXPECT_EQ(RouteGet(Prop("テキスト"), ObjKind::kBrowser), GetRoute::kWidget);
  // タイトル sets through テキスト and reads the caption of forms only.
  EXPECT_EQ(Prop("タイトル").set_via, PropId::kText);
  EXPECT_EQ(RouteGet(Prop("タイトル"), ObjKind::kForm), GetRoute::kWidget);
  EXPECT_EQ(RouteGet(Prop("タイトル"), ObjKind::kButton), GetRoute::kWordValue);
  // 画像 is read back from the word on every kind.
  EXPECT_EQ(RouteGet(Prop("画像"), ObjKind::kImage), GetRoute::kWordValue);
  // Event slots go to the record for every kind; reading イベント fires it.
  for (const KindRow& kind : KindRows()) {
    EXPECT_EQ(RouteSet(Prop("クリックした時"), kind.kind), SetRoute::kEventSlot);
    EXPECT_EQ(RouteSet(Prop("イベント"), kind.kind), SetRoute::kEventSlot);
  }
  EXPECT_EQ(RouteGet(Prop("イベント"), ObjKind::kButton), GetRoute::kFireEvent);
  EXPECT_EQ(RouteGet(Prop("クリックした時"), ObjKind::kButton), GetRoute::kEventWarning);
  EXPECT_EQ(RouteGet(Prop("ファイルドロップ"), ObjKind::kMemo), GetRoute::kEventWarning);
  // 列 and 行 leave the type mark alone.
  EXPECT_EQ(Prop("列").mark, nullptr);
  EXPECT_EQ(RouteGet(Prop("列"), ObjKind::kButton), GetRoute::kUndefined);
}

TEST(ObjectProperties, IntegerTexts) {
  int64_t v = 0;
  EXPECT_TRUE(ReadIntegerText(" 42 ", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(ReadIntegerText("-7", v));
  EXPECT_EQ(v, -7);
  EXPECT_TRUE(ReadIntegerText("$1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(ReadIntegerText("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(ReadIntegerText("$8000000F", v));
  EXPECT_EQ(static_cast<uint32_t>(v), 0x8000000Fu);
  for (const char* bad : {"", "$", "$123456789", "1.5", "12abc", "abc", "$G"})
    EXPECT_FALSE(ReadIntegerText(bad, v)) << bad;
}

TEST(ObjectProperties, ReadValuesInTheRowsFormat) {
  PropertyValue v;
  v.point = {3, -4};
  EXPECT_EQ(FormatPropertyValue(Prop("位置"), v), "(3,-4)");
  EXPECT_EQ(FormatPropertyValue(Prop("右側"), v), "(3,-4)");
  v.rect = {1, 2, 30, 40};
  EXPECT_EQ(FormatPropertyValue(Prop("サイズ"), v), "(1,2,30,40)");
  v.number = 5;
  EXPECT_EQ(FormatPropertyValue(Prop("可視"), v), "1");
  EXPECT_EQ(FormatPropertyValue(Prop("X"), v), "5");
  v.number = 0x8000000F;  // a system colour reads as its unsigned value
  EXPECT_EQ(FormatPropertyValue(Prop("背景色"), v), "2147483663");
  v.number = -1;
  EXPECT_EQ(FormatPropertyValue(Prop("値"), v), "-1");
  v.text = "abc";
  v.font.face = "Face";
  EXPECT_EQ(FormatPropertyValue(Prop("テキスト"), v), "abc");
  EXPECT_EQ(FormatPropertyValue(Prop("フォント書体"), v), "Face");
}

}  // namespace
}  // namespace sorane
