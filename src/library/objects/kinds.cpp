// The kind table of script objects and the lookups by name.
#include "library/objects/kinds.h"

#include <vector>

#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr SlotSet kMouse{kEventClick, kEventDblClick, kEventMouseDown, kEventMouseUp,
                         kEventMouseMove};
constexpr SlotSet kClickAndMouse{kEventClick, kEventMouseDown, kEventMouseUp, kEventMouseMove};
constexpr SlotSet kEditing{kEventClick,     kEventDblClick, kEventMouseDown, kEventMouseUp,
                           kEventMouseMove, kEventKeyDown,  kEventKeyUp,     kEventChange};

// One row per kind, in the order of ObjKind (its index is the kind number).
// clang-format off
constexpr KindRow kKinds[] = {
  // kind               name         create caption contain font_use              events                               copy             mark  surface
  {ObjKind::kButton,   "ボタン",     true,  true,  false, kFontFull,             kClickAndMouse,                      kEventClick,     "s",  DrawSurface::kNone},
  {ObjKind::kEdit,     "エディタ",   true,  false, false, kFontFull,             kEditing,                            kEventChange,    "s",  DrawSurface::kNone},
  {ObjKind::kImage,    "イメージ",   true,  false, false, 0,                     kMouse,                              kEventMouseDown, "s",  DrawSurface::kPicture},
  {ObjKind::kBar,      "バー",       true,  false, false, 0,                     {kEventKeyDown, kEventKeyUp, kEventChange}, kEventChange, "e", DrawSurface::kNone},
  {ObjKind::kCombo,    "コンボ",     true,  false, false, kFontFull,             {kEventClick, kEventDblClick, kEventKeyDown, kEventKeyUp, kEventChange}, kEventClick, "s", DrawSurface::kNone},
  {ObjKind::kList,     "リスト",     true,  false, false, kFontFull,             {kEventClick, kEventDblClick, kEventMouseDown, kEventMouseUp, kEventMouseMove, kEventKeyDown, kEventKeyUp}, kEventClick, "e", DrawSurface::kTransient},
  {ObjKind::kMemo,     "メモ",       true,  false, false, kFontFull,             kEditing,                            -1,              "s",  DrawSurface::kNone},
  {ObjKind::kForm,     "フォーム",   true,  true,  true,  kFontFull | kFontColor, kEditing,                           kEventMouseDown, "s",  DrawSurface::kPicture},
  {ObjKind::kGrid,     "グリッド",   true,  false, false, kFontFull,             {kEventClick, kEventDblClick, kEventMouseDown, kEventMouseUp, kEventMouseMove, kEventKeyDown, kEventKeyUp}, -1, "s", DrawSurface::kTransient},
  {ObjKind::kLabel,    "ラベル",     true,  true,  false, kFontFull | kFontColor, kMouse,                             kEventClick,     "s",  DrawSurface::kTransient},
  {ObjKind::kCheck,    "チェック",   true,  true,  false, kFontFull,             {kEventClick, kEventMouseDown, kEventMouseUp, kEventMouseMove, kEventKeyDown, kEventKeyUp}, kEventClick, "e", DrawSurface::kNone},
  {ObjKind::kTrack,    "トラック",   true,  false, false, kFontFace | kFontSize, {kEventClick, kEventDblClick, kEventMouseDown, kEventMouseUp, kEventMouseMove, kEventChange}, kEventChange, nullptr, DrawSurface::kNone},
  {ObjKind::kAnime,    "アニメ",     true,  false, false, 0,                     kMouse,                              kEventClick,     nullptr, DrawSurface::kTransient},
  {ObjKind::kMenu,     "メニュー",   false, false, false, 0,                     {kEventClick},                       kEventClick,     "s",  DrawSurface::kNone},
  {ObjKind::kBrowser,  "ブラウザ",   true,  false, false, 0,                     {kEventClick},                       kEventClick,     nullptr, DrawSurface::kNone},
  {ObjKind::kPanel,    "パネル",     true,  false, true,  0,                     kMouse,                              kEventClick,     "s",  DrawSurface::kNone},
  {ObjKind::kTEditor,  "Tエディタ",  true,  false, false, kFontFull,             kEditing,                            kEventChange,    "s",  DrawSurface::kNone},
  {ObjKind::kRadio,    "ラジオ",     true,  false, false, kFontFull,             {kEventClick},                       -1,              "e",  DrawSurface::kNone},
};
// clang-format on
static_assert(std::size(kKinds) == kObjKindCount);

constexpr bool RowsInKindOrder() {
  for (int i = 0; i < kObjKindCount; ++i)
    if (static_cast<int>(kKinds[i].kind) != i) return false;
  return true;
}
static_assert(RowsInKindOrder(), "the kind table is indexed by ObjKind");

const std::vector<std::string>& Cp932Names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const KindRow& row : kKinds) v.push_back(Utf8ToSjis(row.name));
    return v;
  }();
  return names;
}

}  // namespace

std::span<const KindRow> KindRows() {
  return kKinds;
}

const KindRow& KindRowOf(ObjKind kind) {
  return kKinds[static_cast<int>(kind)];
}

const std::string& KindName(ObjKind kind) {
  return Cp932Names()[static_cast<int>(kind)];
}

const std::string& HostTypeText() {
  return SJ("メインフォーム");
}

const KindRow* FindKind(std::string_view name) {
  const std::vector<std::string>& names = Cp932Names();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return &kKinds[i];
  return nullptr;
}

bool EndsWithChars(std::string_view text, std::string_view ending) {
  if (ending.size() > text.size()) return false;
  size_t start = text.size() - ending.size();
  if (text.substr(start) != ending) return false;
  // The ending must begin where a character begins, not at a trail byte.
  size_t i = 0;
  while (i < start) i += CharLen(text, i);
  return i == start;
}

const KindRow* GuessKind(std::string_view object_name) {
  const std::vector<std::string>& names = Cp932Names();
  const KindRow* best = nullptr;
  size_t best_size = 0;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i].size() > best_size && EndsWithChars(object_name, names[i])) {
      best = &kKinds[i];
      best_size = names[i].size();
    }
  return best;
}

std::string DefaultCaption(std::string_view object_name, ObjKind kind) {
  const std::string& ending = KindName(kind);
  if (!EndsWithChars(object_name, ending)) return std::string(object_name);
  return std::string(object_name.substr(0, object_name.size() - ending.size()));
}

}  // namespace sorane
