// The kinds of script objects: one row per kind a script can name, holding
// what the rest of the run-time needs to know about the kind without asking
// its widget — its name (also the type text of the object word), whether 作成
// builds it, what it takes over at creation, which events its widget raises,
// the slot イベント also fills, the type mark of its default value and what
// the drawing commands can draw on. Qt-free.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "words/obj_list.h"

namespace sorane {

// ObjKind, the kinds in table order, is declared with the object record
// (words/obj_list.h).

// A set of kinds, as the property table states which kinds take a property.
class KindSet {
 public:
  constexpr KindSet() = default;
  constexpr KindSet(std::initializer_list<ObjKind> kinds) {
    for (ObjKind k : kinds) bits_ |= Bit(k);
  }
  static constexpr KindSet All() { return KindSet((1u << kObjKindCount) - 1); }
  constexpr KindSet Without(ObjKind k) const { return KindSet(bits_ & ~Bit(k)); }
  constexpr bool Has(ObjKind k) const { return (bits_ & Bit(k)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const KindSet&) const = default;

 private:
  constexpr explicit KindSet(uint32_t bits) : bits_(bits) {}
  static constexpr uint32_t Bit(ObjKind k) { return 1u << static_cast<unsigned>(k); }
  uint32_t bits_ = 0;
};

// A set of event slots (EventSlot of words/obj_list.h).
class SlotSet {
 public:
  constexpr SlotSet() = default;
  constexpr SlotSet(std::initializer_list<EventSlot> list) {
    for (EventSlot s : list) bits_ |= 1u << s;
  }
  constexpr bool Has(int slot) const { return slot >= 0 && (bits_ >> slot & 1u) != 0; }

 private:
  uint16_t bits_ = 0;
};

// What a new object takes over from the text font variables (文字書体,
// 文字サイズ, 文字色) when it is created.
enum FontUse : uint8_t {
  kFontFace = 1,
  kFontStyle = 2,
  kFontSize = 4,
  kFontColor = 8,
  kFontFull = kFontFace | kFontStyle | kFontSize,
};

// What the drawing commands draw on for an object of the kind.
enum class DrawSurface : uint8_t {
  kNone,     // nothing
  kPicture,  // a kept picture (イメージ, the surface of a フォーム); also a picture source
  kTransient,  // the control's own painting: lost when the control repaints
};

struct KindRow {
  ObjKind kind;
  const char* name;        // UTF-8 as written; the CP932 form is the object word's type text
  bool creatable;          // 作成 builds it (メニュー comes only from メニュー作成)
  bool captioned;          // shows the default caption taken from its name
  bool container;          // other objects can be put onto it (乗せ換える)
  uint8_t font_use;        // FontUse bits
  SlotSet events;          // the slots its widget raises (ファイルドロップした時 aside)
  int8_t event_copy_slot;  // イベント also fills this slot; -1 none
  const char* value_mark;  // type mark of the default value; nullptr: none can be read
  DrawSurface surface;
};

std::span<const KindRow> KindRows();
const KindRow& KindRowOf(ObjKind kind);
// The kind's name in CP932 (the object word's type text).
const std::string& KindName(ObjKind kind);
// The type text of the host window's object word: "メインフォーム".
const std::string& HostTypeText();

// The kind a CP932 name names exactly (作成 compares bytes); nullptr for none.
const KindRow* FindKind(std::string_view name);

// The kind whose name ends the object name (作る): the longest such ending, so
// "編集Tエディタ" is a Tエディタ and not an エディタ; nullptr for none. Endings
// are whole characters: "ャoー" does not end in "バー" although its last
// four bytes are those of "バー".
const KindRow* GuessKind(std::string_view object_name);

// The caption a new object shows: its name without the kind name at its end
// ("OKボタン" → "OK"), or the whole name when it does not end in it.
std::string DefaultCaption(std::string_view object_name, ObjKind kind);

// True when `text` ends with `ending` at a character boundary.
bool EndsWithChars(std::string_view text, std::string_view ending);

}  // namespace sorane
