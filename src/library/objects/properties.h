// The property table of script objects: one row per property name a script can
// set or read (設定, 得る, オブジェクトの項目名). A row says which kinds take the
// property, what its value is, what the kinds that do not take it get, whether
// it can be set at all and which type mark a read value carries. The commands
// and the widgets work from the row: a property is a row here, not a case in a
// switch. Qt-free.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "library/objects/kinds.h"
#include "library/objects/parse.h"

namespace sorane {

class Interpreter;

// One id per property; W and H are rows of their own with the ids of 幅 and 高さ.
enum class PropId : uint8_t {
  kX,
  kY,
  kWidth,   // 幅, W
  kHeight,  // 高さ, H
  kText,
  kItems,
  kValue,
  kPicture,
  kStretch,  // 拡大機能
  kMaximum,
  kMinimum,
  kTitle,
  kOrientation,   // 向き
  kAnimeButtons,  // ボタン機能
  kVisible,
  kEvent,  // イベント (slot 0)
  kOnClick,
  kOnDblClick,
  kOnMouseDown,
  kOnMouseUp,
  kOnKeyDown,
  kOnKeyUp,
  kOnChange,
  kEditable,     // 編集
  kTransparent,  // 透過処理
  kBackColor,
  kBounds,  // サイズ
  kName,
  kScrollBars,
  kFontFace,
  kFontSize,
  kFontColor,
  kFileDrop,   // ファイルドロップ (accepting dropped files)
  kResizable,  // リサイズ
  kShortcut,
  kIme,
  kRepeatCount,
  kSound,  // 効果音
  kOnMouseMove,
  kAddPictures,  // 追加画像
  kSelText,
  kHandle,
  kEnabled,
  kSelStart,
  kSelLength,
  kUrl,
  kRightSide,  // 右側
  kBelow,      // 下側
  kOnFileDrop,
  kBorderStyle,  // スタイル
  kPosition,     // 位置
  kColumn,
  kRow,
};
inline constexpr int kPropIdCount = static_cast<int>(PropId::kRow) + 1;

// What a value is, and so how its text converts when set and is written when read.
enum class ValueKind : uint8_t {
  kText,          // the text as it is
  kLines,         // a list, one entry per line (CR LF)
  kNumber,        // lenient number, truncated toward zero
  kInteger,       // an integer (decimal or "$" hexadecimal); other texts give the row's default
  kFlag,          // an integer (default 0), on when not 0; read as "1"/"0"
  kFlagPositive,  // the same, on only when greater than 0
  kColor,         // "#RRGGBB", else an integer with the row's default; read in decimal
  kPoint,         // "(x,y)"; read "(%d,%d)"
  kRect,          // "(x1,y1,x2,y2)"; read "(%d,%d,%d,%d)"
  kFont,          // a font text; read as the face name
  kEventLabel,    // the unevaluated label or program text of an event slot
  kSwitch,        // "0" off, anything else on (ファイルドロップ)
};

// What setting the property on a kind outside `set_kinds` raises.
enum class SetOther : uint8_t {
  kUndefined,    // E1 "オブジェクト"%s"("%s")の設定項目"%s"は未定義です。"
  kNotSettable,  // E2 "オブジェクト"%s"の設定は、未定義です。"
};

// What reading the property gives on a kind outside `get_kinds`.
enum class GetOther : uint8_t {
  kUndefined,     // E1
  kZero,          // "0"
  kEmpty,         // ""
  kWordValue,     // the object word's value (the last value kept there)
  kObjectName,    // the object's name (名前)
  kFireEvent,     // raises the object's event now (イベント)
  kEventWarning,  // records the warning ""%s,%s"は、未定義です。" and gives ""
};

struct PropertyRow {
  PropId id;
  const char* name;  // UTF-8 as written; looked up folded
  ValueKind value;
  KindSet set_kinds;  // the kinds whose widget takes a set value
  SetOther set_other;
  KindSet get_kinds;  // the kinds whose widget reports the value
  GetOther get_other;
  const char* mark;   // type mark of a read value: "s", "e"; nullptr leaves the mark as it was
  bool read_only;     // every set raises E3 ""%s"は、読取専用です。"
  bool keeps_value;   // a set value is also kept as the object word's value
  int int_default;    // kInteger, kColor: the value of a text that is not an integer
  int8_t event_slot;  // the event slot the property names; -1 for the others
  PropId set_via;     // the property whose setter this one uses (タイトル: テキスト)
};

std::span<const PropertyRow> PropertyRows();
// The first row of the id (幅 for kWidth).
const PropertyRow& PropertyRowOf(PropId id);
// The row a CP932 property name names, compared with okurigana folded in
// table order (キーを押した時 is キー押した時); nullptr for none.
const PropertyRow* FindProperty(std::string_view name);

// How a set reaches the object, for a kind.
enum class SetRoute : uint8_t {
  kWidget,       // the widget takes the value (ObjectBackend::SetProperty)
  kEventSlot,    // the object record's event slot takes the value
  kUndefined,    // E1
  kNotSettable,  // E2
  kReadOnly,     // E3
};
SetRoute RouteSet(const PropertyRow& row, ObjKind kind);

// Where a read value comes from, for a kind.
enum class GetRoute : uint8_t {
  kWidget,  // the widget reports it (ObjectBackend::GetProperty)
  kUndefined,
  kZero,
  kEmpty,
  kWordValue,
  kObjectName,
  kFireEvent,
  kEventWarning,
};
GetRoute RouteGet(const PropertyRow& row, ObjKind kind);

// A property value on its way to or from a widget. `text` always holds the
// value as text; the other fields hold it converted as the row's value kind
// says.
struct PropertyValue {
  std::string text;
  // kNumber, kInteger, kFlag (1/0), kFlagPositive (1/0), kColor (the colour
  // value, system colours included), kSwitch (1/0); a handle when read.
  int64_t number = 0;
  // False when an integer text was not one and `number` holds the row's
  // default: a kind that needs another default (a チェック's 値 is 0, not the
  // -1 of the lists) can tell.
  bool converted = true;
  Point point;      // kPoint
  Rect rect;        // kRect
  ParsedFont font;  // kFont: face, style and size (文字サイズ when the text gives none)
};

// Converts an evaluated value text (event rows: the text as written) for
// setting. Coordinates are read as ParsePoint/ParseRect read them and raise
// their errors; fonts are matched against the host's installed faces.
PropertyValue ConvertPropertyValue(Interpreter& in, const PropertyRow& row,
                                   const std::string& text);
// The text a read value gives, in the row's format.
std::string FormatPropertyValue(const PropertyRow& row, const PropertyValue& value);

// An integer text as the property conversions read it: decimal with an
// optional sign, or "$" and up to eight hexadecimal digits; surrounding
// blanks ignored. False for anything else.
bool ReadIntegerText(std::string_view text, int64_t& out);

}  // namespace sorane
