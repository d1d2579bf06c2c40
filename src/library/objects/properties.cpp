// The property table, its lookup by folded name, the routes of a set or a read
// for a kind, and the conversions of property values.
#include "library/objects/properties.h"

#include <cstdio>
#include <vector>

#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"
#include "words/hash.h"

namespace sorane {

namespace {

using enum ObjKind;
using V = ValueKind;
using SO = SetOther;
using GO = GetOther;

constexpr PropertyRow Row(PropId id, const char* name, ValueKind value, KindSet set_kinds,
                          SetOther set_other, KindSet get_kinds, GetOther get_other,
                          const char* mark) {
  return {id,   name,  value, set_kinds, set_other, get_kinds, get_other,
          mark, false, false, 0,         -1,        id};
}
// A set value is also kept as the object word's value.
constexpr PropertyRow Kept(PropertyRow row) {
  row.keeps_value = true;
  return row;
}
// The value of an integer or colour text that is not an integer.
constexpr PropertyRow Default(PropertyRow row, int value) {
  row.int_default = value;
  return row;
}
constexpr PropertyRow SetVia(PropertyRow row, PropId setter) {
  row.set_via = setter;
  return row;
}
// Cannot be set on any kind.
constexpr PropertyRow ReadOnly(PropId id, const char* name, ValueKind value, KindSet get_kinds,
                               GetOther get_other, const char* mark) {
  PropertyRow row = Row(id, name, value, {}, SO::kUndefined, get_kinds, get_other, mark);
  row.read_only = true;
  return row;
}
// An event slot: set on every object; reading イベント raises it, the others warn.
constexpr PropertyRow Event(PropId id, const char* name, EventSlot slot) {
  PropertyRow row = Row(id, name, V::kEventLabel, KindSet::All(), SO::kUndefined, {},
                        slot == kEventAny ? GO::kFireEvent : GO::kEventWarning, "s");
  row.event_slot = static_cast<int8_t>(slot);
  return row;
}

constexpr KindSet kAll = KindSet::All();
constexpr KindSet kNone{};
constexpr KindSet kNoMenu = KindSet::All().Without(kMenu);
constexpr KindSet kTextSet{kButton, kEdit,  kCombo, kMemo, kLabel, kCheck,  kPanel,
                           kList,   kRadio, kForm,  kGrid, kMenu,  kTEditor};
constexpr KindSet kTextGet{kButton, kEdit, kCombo, kMemo, kForm, kLabel,   kCheck,
                           kPanel,  kList, kRadio, kGrid, kMenu, kBrowser, kTEditor};
constexpr KindSet kItemKinds{kCombo, kList, kRadio, kGrid};
constexpr KindSet kValueKinds{kBar, kCombo, kList, kRadio, kGrid, kCheck, kAnime, kMenu};
constexpr KindSet kPictureKinds{kButton, kImage, kForm, kAnime, kMenu};
constexpr KindSet kStretchKinds{kImage, kForm, kAnime};
constexpr KindSet kEditKinds{kEdit, kMemo, kCombo, kGrid};
constexpr KindSet kTransparentKinds{kImage, kForm, kLabel, kAnime};
constexpr KindSet kBackSet{kEdit,  kCombo, kList,    kMemo,  kGrid, kLabel,
                           kCheck, kForm,  kTEditor, kRadio, kAnime};
constexpr KindSet kBackGet = kBackSet.Without(kRadio);  // a ラジオ takes a colour but reads "0"
constexpr KindSet kFontKinds{kButton, kEdit, kCombo, kList, kMemo, kGrid, kLabel, kCheck};
constexpr KindSet kImeKinds{kEdit, kMemo, kTEditor, kCombo};
constexpr KindSet kSelKinds{kEdit, kMemo, kCombo, kTEditor};
constexpr KindSet kSelTextKinds{kEdit, kMemo, kCombo, kTEditor, kList};
constexpr KindSet kCaretKinds{kMemo, kGrid, kTEditor};

// In the order names are compared. clang-format keeps one row per line.
// clang-format off
constexpr PropertyRow kProperties[] = {
  Row(PropId::kX, "X", V::kNumber, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "e"),
  Row(PropId::kY, "Y", V::kNumber, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "e"),
  Row(PropId::kWidth, "幅", V::kNumber, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "e"),
  Row(PropId::kHeight, "高さ", V::kNumber, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "e"),
  Kept(Row(PropId::kText, "テキスト", V::kText, kTextSet, SO::kNotSettable, kTextGet, GO::kWordValue, "s")),
  Row(PropId::kItems, "アイテム", V::kLines, kItemKinds, SO::kUndefined, kItemKinds, GO::kEmpty, "s"),
  Kept(Default(Row(PropId::kValue, "値", V::kInteger, kValueKinds, SO::kNotSettable, kValueKinds, GO::kZero, "e"), -1)),
  Kept(Row(PropId::kPicture, "画像", V::kText, kPictureKinds, SO::kNotSettable, kNone, GO::kWordValue, "s")),
  Row(PropId::kStretch, "拡大機能", V::kFlagPositive, kStretchKinds, SO::kUndefined, kStretchKinds, GO::kEmpty, "e"),
  Kept(Row(PropId::kMaximum, "最大値", V::kInteger, {kBar}, SO::kUndefined, {kBar}, GO::kZero, "e")),
  Kept(Row(PropId::kMinimum, "最小値", V::kInteger, {kBar}, SO::kUndefined, {kBar}, GO::kZero, "e")),
  Kept(SetVia(Row(PropId::kTitle, "タイトル", V::kText, kTextSet, SO::kNotSettable, {kForm}, GO::kWordValue, "s"), PropId::kText)),
  Row(PropId::kOrientation, "向き", V::kText, {kBar}, SO::kUndefined, {kBar}, GO::kUndefined, "s"),
  Row(PropId::kAnimeButtons, "ボタン機能", V::kInteger, {kAnime}, SO::kUndefined, {kAnime}, GO::kUndefined, "e"),
  Row(PropId::kVisible, "可視", V::kFlag, kAll, SO::kUndefined, kAll, GO::kUndefined, "e"),
  Event(PropId::kEvent, "イベント", kEventAny),
  Event(PropId::kOnClick, "クリックした時", kEventClick),
  Event(PropId::kOnDblClick, "ダブルクリックした時", kEventDblClick),
  Event(PropId::kOnMouseDown, "マウス押した時", kEventMouseDown),
  Event(PropId::kOnMouseUp, "マウス離した時", kEventMouseUp),
  Event(PropId::kOnKeyDown, "キー押した時", kEventKeyDown),
  Event(PropId::kOnKeyUp, "キー離した時", kEventKeyUp),
  Event(PropId::kOnChange, "変更した時", kEventChange),
  Kept(Row(PropId::kEditable, "編集", V::kNumber, kEditKinds, SO::kUndefined, kEditKinds, GO::kUndefined, "e")),
  Kept(Row(PropId::kTransparent, "透過処理", V::kFlagPositive, kTransparentKinds, SO::kUndefined, kTransparentKinds, GO::kZero, "e")),
  Default(Row(PropId::kBackColor, "背景色", V::kColor, kBackSet, SO::kUndefined, kBackGet, GO::kZero, "e"), -1),
  Row(PropId::kBounds, "サイズ", V::kRect, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "s"),
  ReadOnly(PropId::kName, "名前", V::kText, kNone, GO::kObjectName, nullptr),
  Row(PropId::kScrollBars, "スクロールバー", V::kText, {kMemo}, SO::kUndefined, {kMemo}, GO::kUndefined, "s"),
  Row(PropId::kFontFace, "フォント書体", V::kFont, kFontKinds, SO::kUndefined, kFontKinds, GO::kEmpty, "s"),
  Default(Row(PropId::kFontSize, "フォントサイズ", V::kInteger, kFontKinds, SO::kUndefined, kFontKinds, GO::kZero, "e"), 9),
  Row(PropId::kFontColor, "フォント色", V::kColor, kFontKinds, SO::kUndefined, kFontKinds, GO::kZero, "e"),
  Row(PropId::kFileDrop, "ファイルドロップ", V::kSwitch, kAll, SO::kUndefined, kNone, GO::kEventWarning, "s"),
  Row(PropId::kResizable, "リサイズ", V::kNumber, {kForm}, SO::kUndefined, {kForm}, GO::kZero, "e"),
  Kept(Row(PropId::kShortcut, "ショートカットキー", V::kText, {kMenu}, SO::kUndefined, {kMenu}, GO::kEmpty, "s")),
  Kept(Row(PropId::kIme, "IME", V::kNumber, kImeKinds, SO::kUndefined, kImeKinds, GO::kZero, "e")),
  Row(PropId::kRepeatCount, "繰り返し回数", V::kInteger, {kAnime}, SO::kUndefined, {kAnime}, GO::kZero, "e"),
  Row(PropId::kSound, "効果音", V::kText, {kAnime}, SO::kUndefined, {kAnime}, GO::kEmpty, "s"),
  Event(PropId::kOnMouseMove, "マウス動かした時", kEventMouseMove),
  Row(PropId::kAddPictures, "追加画像", V::kLines, {kAnime}, SO::kUndefined, kNone, GO::kWordValue, "s"),
  Row(PropId::kSelText, "選択文字列", V::kText, kSelTextKinds, SO::kUndefined, kSelTextKinds, GO::kEmpty, "s"),
  ReadOnly(PropId::kHandle, "ハンドル", V::kNumber, kAll, GO::kZero, "e"),
  Row(PropId::kEnabled, "有効", V::kFlag, kAll, SO::kUndefined, kAll, GO::kZero, "e"),
  Row(PropId::kSelStart, "選択位置", V::kNumber, kSelKinds, SO::kUndefined, kSelKinds, GO::kZero, "e"),
  Row(PropId::kSelLength, "選択文字数", V::kNumber, kSelKinds, SO::kUndefined, kSelKinds, GO::kZero, "e"),
  Row(PropId::kUrl, "URL", V::kText, {kBrowser}, SO::kUndefined, {kBrowser}, GO::kEmpty, "s"),
  ReadOnly(PropId::kRightSide, "右側", V::kPoint, kNoMenu, GO::kUndefined, "s"),
  ReadOnly(PropId::kBelow, "下側", V::kPoint, kNoMenu, GO::kUndefined, "s"),
  Event(PropId::kOnFileDrop, "ファイルドロップした時", kEventFileDrop),
  Row(PropId::kBorderStyle, "スタイル", V::kNumber, {kForm}, SO::kUndefined, {kForm}, GO::kZero, "e"),
  Row(PropId::kWidth, "W", V::kNumber, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "e"),
  Row(PropId::kHeight, "H", V::kNumber, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "e"),
  Row(PropId::kPosition, "位置", V::kPoint, kNoMenu, SO::kNotSettable, kNoMenu, GO::kUndefined, "s"),
  Row(PropId::kColumn, "列", V::kInteger, kCaretKinds, SO::kUndefined, kCaretKinds, GO::kUndefined, nullptr),
  Row(PropId::kRow, "行", V::kInteger, kCaretKinds, SO::kUndefined, kCaretKinds, GO::kUndefined, nullptr),
};
// clang-format on

// The first row of each id, found once.
struct RowIndex {
  const PropertyRow* by_id[kPropIdCount] = {};
  std::vector<std::string> folded;  // per row, the folded CP932 name
};

const RowIndex& Index() {
  static const RowIndex index = [] {
    RowIndex x;
    for (const PropertyRow& row : kProperties) {
      const PropertyRow*& first = x.by_id[static_cast<int>(row.id)];
      if (!first) first = &row;
      x.folded.push_back(Fold(Utf8ToSjis(row.name)));
    }
    return x;
  }();
  return index;
}

}  // namespace

std::span<const PropertyRow> PropertyRows() {
  return kProperties;
}

const PropertyRow& PropertyRowOf(PropId id) {
  return *Index().by_id[static_cast<int>(id)];
}

const PropertyRow* FindProperty(std::string_view name) {
  const RowIndex& index = Index();
  std::string folded = Fold(name);
  for (size_t i = 0; i < index.folded.size(); ++i)
    if (index.folded[i] == folded) return &kProperties[i];
  return nullptr;
}

SetRoute RouteSet(const PropertyRow& row, ObjKind kind) {
  if (row.read_only) return SetRoute::kReadOnly;
  if (row.event_slot >= 0) return SetRoute::kEventSlot;
  if (row.set_kinds.Has(kind)) return SetRoute::kWidget;
  return row.set_other == SetOther::kNotSettable ? SetRoute::kNotSettable : SetRoute::kUndefined;
}

GetRoute RouteGet(const PropertyRow& row, ObjKind kind) {
  if (row.get_kinds.Has(kind)) return GetRoute::kWidget;
  switch (row.get_other) {
    case GetOther::kUndefined:
      return GetRoute::kUndefined;
    case GetOther::kZero:
      return GetRoute::kZero;
    case GetOther::kEmpty:
      return GetRoute::kEmpty;
    case GetOther::kWordValue:
      return GetRoute::kWordValue;
    case GetOther::kObjectName:
      return GetRoute::kObjectName;
    case GetOther::kFireEvent:
      return GetRoute::kFireEvent;
    case GetOther::kEventWarning:
      return GetRoute::kEventWarning;
  }
  return GetRoute::kUndefined;
}

bool ReadIntegerText(std::string_view text, int64_t& out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  if (t[0] == '$') {
    if (t.size() < 2 || t.size() > 9) return false;
    uint64_t v = 0;
    for (size_t i = 1; i < t.size(); ++i) {
      char c = t[i];
      int d = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                     : -1;
      if (d < 0) return false;
      v = v * 16 + static_cast<unsigned>(d);
    }
    // Eight digits are a 32-bit value: $FFFFFFFF is -1, as a colour or an index.
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  long long v = 0;
  if (!TryParseInteger(t, v)) return false;
  out = v;
  return true;
}

// The installed faces, folded once per run (shared with the text font of 表示).
static const FontKeys& InstalledFaces(Interpreter& in) {
  FontKeys& keys = in.S.RunStates.Get<FontKeys>();
  if (!keys.built) keys = MakeFontKeys(in.host.Surface().FontFamilies());
  return keys;
}

// The point size 文字サイズ gives a font text without a size of its own.
static int TextSizeVariable(Interpreter& in) {
  THashNode* w = in.S.Words.Find(SJ("文字サイズ"), false);
  std::optional<Number> size = w ? StrictNumber(Trim(w->Value())) : std::nullopt;
  return size ? ToInt32(*size) : 12;
}

PropertyValue ConvertPropertyValue(Interpreter& in, const PropertyRow& row,
                                   const std::string& text) {
  PropertyValue v;
  v.text = text;
  int64_t n = 0;
  auto integer = [&] {
    v.converted = ReadIntegerText(text, n);
    return v.converted ? n : row.int_default;
  };
  switch (row.value) {
    case ValueKind::kText:
    case ValueKind::kLines:
    case ValueKind::kEventLabel:
      break;
    case ValueKind::kNumber:
      v.number = ToInt32(ParseNumber(text));
      break;
    case ValueKind::kInteger:
      v.number = integer();
      break;
    case ValueKind::kFlag:
      v.number = (ReadIntegerText(text, n) ? n : 0) != 0;
      break;
    case ValueKind::kFlagPositive:
      v.number = (ReadIntegerText(text, n) ? n : 0) > 0;
      break;
    case ValueKind::kColor:
      if (!text.empty() && text[0] == '#')
        v.number = ParseColor(text);
      else
        v.number = static_cast<uint32_t>(integer());  // -1 stays "no colour": $FFFFFFFF
      break;
    case ValueKind::kPoint:
      v.point = ParsePoint(in, text);
      break;
    case ValueKind::kRect:
      v.rect = ParseRect(in, text);
      break;
    case ValueKind::kFont:
      v.font = ParseFontText(text, InstalledFaces(in));
      if (v.font.size <= 0) v.font.size = TextSizeVariable(in);
      break;
    case ValueKind::kSwitch:
      v.number = Trim(text) != "0";
      break;
  }
  return v;
}

std::string FormatPropertyValue(const PropertyRow& row, const PropertyValue& value) {
  char buffer[64];
  switch (row.value) {
    case ValueKind::kNumber:
    case ValueKind::kInteger:
      return std::to_string(value.number);
    case ValueKind::kFlag:
    case ValueKind::kFlagPositive:
    case ValueKind::kSwitch:
      return value.number != 0 ? "1" : "0";
    case ValueKind::kColor:
      // Colours are read as the unsigned 32-bit value: a system colour stays
      // 2147483663 ($8000000F), never a negative number.
      return std::to_string(static_cast<uint32_t>(value.number));
    case ValueKind::kPoint:
      snprintf(buffer, sizeof buffer, "(%d,%d)", value.point.x, value.point.y);
      return buffer;
    case ValueKind::kRect:
      snprintf(buffer, sizeof buffer, "(%d,%d,%d,%d)", value.rect.left, value.rect.top,
               value.rect.right, value.rect.bottom);
      return buffer;
    case ValueKind::kFont:
      return value.font.face;
    case ValueKind::kText:
    case ValueKind::kLines:
    case ValueKind::kEventLabel:
      return value.text;
  }
  return value.text;
}

}  // namespace sorane
