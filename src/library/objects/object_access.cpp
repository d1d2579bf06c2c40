// Object properties and default values, routed by the property table.
#include "library/objects/object_access.h"

#include <algorithm>

#include "library/objects/backend.h"
#include "library/objects/kinds.h"
#include "library/objects/properties.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

[[noreturn]] void RaiseUndefined(Interpreter& in, const TObjNode& node,
                                 const std::string& property) {
  in.Raise(Format(SJ("オブジェクト\"%s\"(\"%s\")の設定項目\""), node.Name, KindName(node.Kind)) +
           property + SJ("\"は未定義です。"));
}

const PropertyRow& RowOrRaise(Interpreter& in, const TObjNode& node, const std::string& property) {
  const PropertyRow* row = FindProperty(property);
  if (!row) RaiseUndefined(in, node, property);
  return *row;
}

// The object's own word (not そ or another copy of it): where kept values go.
THashNode* OwnWord(Interpreter& in, const TObjNode& node, THashNode* fallback) {
  THashNode* w = in.S.Words.FindExact(node.Name);
  if (w && w->Kind == kWordObject && w->ObjectIndex == node.ObjectIndex) return w;
  return fallback;
}

int ToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool IsGeometry(PropId id) {
  switch (id) {
    case PropId::kX:
    case PropId::kY:
    case PropId::kWidth:
    case PropId::kHeight:
    case PropId::kBounds:
    case PropId::kPosition:
    case PropId::kRightSide:
    case PropId::kBelow:
      return true;
    default:
      return false;
  }
}

// Geometry is set through the object's bounds. After 幅 and サイズ a centred
// layout (センタリング) centres the object in its parent; after 高さ and サイズ
// the output cursor moves below it. A フォーム does neither: it sits on the
// screen, not in the layout of the host window.
void SetGeometry(Interpreter& in, int index, ObjKind kind, PropId id, const PropertyValue& v) {
  ObjectBackend& b = Backend(in);
  ObjBounds r = b.Bounds(index);
  bool centre = false, below = false;
  switch (id) {
    case PropId::kX:
      r.left = ToInt(v.number);
      break;
    case PropId::kY:
      r.top = ToInt(v.number);
      break;
    case PropId::kWidth:
      r.width = ToInt(v.number);
      centre = true;
      break;
    case PropId::kHeight:
      r.height = ToInt(v.number);
      below = true;
      break;
    case PropId::kBounds:
      r = {v.rect.left, v.rect.top, v.rect.right - v.rect.left, v.rect.bottom - v.rect.top};
      centre = below = true;
      break;
    default:  // kPosition
      r.left = v.point.x;
      r.top = v.point.y;
      break;
  }
  b.SetBounds(index, r);
  if (kind == ObjKind::kForm) return;
  if (centre && in.S.Centring) {
    r = b.Bounds(index);
    r.left = (b.ParentClientWidth(index) - r.width) / 2;
    b.SetBounds(index, r);
  }
  if (!below) return;
  int gap = PlacementGap(in);
  if (id == PropId::kBounds) {
    in.S.CursorX = v.rect.left;
    in.S.CursorY = v.rect.bottom + gap;
  } else {
    r = b.Bounds(index);  // as the widget took it (a トラック stays at least 10 × 10)
    in.S.CursorX = r.left;
    in.S.CursorY = r.top + r.height + gap;
  }
}

PropertyValue GeometryValue(Interpreter& in, int index, PropId id) {
  ObjBounds r = Backend(in).Bounds(index);
  PropertyValue v;
  switch (id) {
    case PropId::kX:
      v.number = r.left;
      break;
    case PropId::kY:
      v.number = r.top;
      break;
    case PropId::kWidth:
      v.number = r.width;
      break;
    case PropId::kHeight:
      v.number = r.height;
      break;
    case PropId::kBounds:
      v.rect = {r.left, r.top, r.left + r.width, r.top + r.height};
      break;
    case PropId::kPosition:
      v.point = {r.left, r.top};
      break;
    case PropId::kRightSide:
      v.point = {r.left + r.width + PlacementGap(in), r.top};
      break;
    default:  // kBelow
      v.point = {r.left, r.top + r.height + PlacementGap(in)};
      break;
  }
  return v;
}

// 値 of a list, combo or radio group and 値 and 行 of a grid select an item
// or a row: an index outside the widget does nothing. A grid's 値 of 0
// selects its first data row (row 0 is the header).
bool IndexInRange(ObjectBackend& b, int index, ObjKind kind, PropId id, PropertyValue& v) {
  bool grid = kind == ObjKind::kGrid;
  bool items = kind == ObjKind::kCombo || kind == ObjKind::kList || kind == ObjKind::kRadio;
  if (!(id == PropId::kValue && (items || grid)) && !(id == PropId::kRow && grid)) return true;
  if (id == PropId::kValue && grid && v.number == 0) v.number = 1;
  if (v.number < 0) return false;
  int count = b.ItemCount(index);
  return count < 0 || v.number < count;
}

void SetWidgetProperty(Interpreter& in, const FoundObject& object, const PropertyRow& row,
                       const std::string& property, const std::string& value_text) {
  const int index = object.node->ObjectIndex;
  const std::string name = object.node->Name;
  const PropertyRow& setter = PropertyRowOf(row.set_via);
  // Coordinates are read by the point and rectangle readers, which evaluate
  // each item themselves ("(左,4)"); every other value is an expression.
  bool coordinates = setter.value == ValueKind::kPoint || setter.value == ValueKind::kRect;
  std::string text = coordinates ? value_text : in.Evaluate(value_text);
  PropertyValue v = ConvertPropertyValue(in, setter, text);
  // Evaluating may have run script code that destroyed the object.
  TObjNode& node = LiveObject(in, index, name);
  ObjectBackend& b = Backend(in);
  bool accepted = true;
  if (IsGeometry(setter.id))
    SetGeometry(in, index, node.Kind, setter.id, v);
  else if (IndexInRange(b, index, node.Kind, setter.id, v))
    accepted = b.SetProperty(index, setter.id, v);
  if (!accepted && setter.id == PropId::kShortcut)
    in.Raise(SJ("\"%s\"のショートカットキーの割り当てに失敗"), name);
  if (!accepted && setter.id == PropId::kFileDrop) RaiseUndefined(in, node, property);
  if (row.keeps_value) {
    if (THashNode* own = OwnWord(in, node, object.word)) {
      own->ValueToWrite() = text;
      RememberObject(in, *own);
    }
  }
}

}  // namespace

void SetPropertyOf(Interpreter& in, const FoundObject& object, const std::string& property,
                   const std::string& value_text) {
  RememberObject(in, *object.word);
  TObjNode& node = *object.node;
  const PropertyRow& row = RowOrRaise(in, node, property);
  switch (RouteSet(row, node.Kind)) {
    case SetRoute::kReadOnly:
      in.Raise(msg::ReadOnly(), property);
    case SetRoute::kUndefined:
      RaiseUndefined(in, node, property);
    case SetRoute::kNotSettable:
      in.Raise(SJ("オブジェクト\"%s\"の設定は、未定義です。"), node.Name);
    case SetRoute::kEventSlot: {
      int copy = row.event_slot == kEventAny ? KindRowOf(node.Kind).event_copy_slot : -1;
      SetEventSlot(in, node, row.event_slot, value_text, copy);
      return;
    }
    case SetRoute::kWidget:
      SetWidgetProperty(in, object, row, property, value_text);
      return;
  }
}

PropertyRead GetPropertyOf(Interpreter& in, const FoundObject& object,
                           const std::string& property) {
  TObjNode& node = *object.node;
  const PropertyRow& row = RowOrRaise(in, node, property);
  PropertyRead read{{}, row.mark};
  switch (RouteGet(row, node.Kind)) {
    case GetRoute::kWidget: {
      PropertyValue v = IsGeometry(row.id) ? GeometryValue(in, node.ObjectIndex, row.id)
                                           : Backend(in).GetProperty(node.ObjectIndex, row.id);
      read.text = FormatPropertyValue(row, v);
      break;
    }
    case GetRoute::kUndefined:
      RaiseUndefined(in, node, property);
    case GetRoute::kZero:
      read.text = "0";
      break;
    case GetRoute::kEmpty:
      break;
    case GetRoute::kWordValue:
      read.text = OwnWord(in, node, object.word)->Value();
      break;
    case GetRoute::kObjectName:
      read.text = node.Name;
      break;
    case GetRoute::kFireEvent:
      // The handler may destroy the object: nothing of it is used afterwards.
      FireEvent(in, node, kEventAny);
      break;
    case GetRoute::kEventWarning:
      in.Warn(Format(SJ("\"%s,%s\"は、未定義です。"), node.Name, property));
      break;
  }
  return read;
}

PropertyRead GetDefaultOf(Interpreter& in, THashNode* word) {
  TObjNode& node = ObjectOfWord(in, word);
  const KindRow& kind = KindRowOf(node.Kind);
  if (!kind.value_mark)
    in.Raise(SJ("オブジェクト\"%s\"から、直接値を得ることは出来ません。"), node.Name);
  // An image's value is the picture file last assigned to it, kept in its word.
  if (node.Kind == ObjKind::kImage)
    return {Trim(OwnWord(in, node, word)->Value()), kind.value_mark};
  return {Backend(in).GetDefaultValue(node.ObjectIndex), kind.value_mark};
}

void SetDefaultOf(Interpreter& in, THashNode* word, const std::string& value) {
  TObjNode& node = ObjectOfWord(in, word);
  if (!KindRowOf(node.Kind).value_mark) return;  // トラック, アニメ, ブラウザ: nothing happens
  if (node.Kind == ObjKind::kImage) OwnWord(in, node, word)->ValueToWrite() = value;
  Backend(in).SetDefaultValue(node.ObjectIndex, value);
}

// ---------------------------------------------------------------- the hooks

static std::string HookGetProperty(Interpreter& in, THashNode* word, const std::string& property) {
  PropertyRead read = GetPropertyOf(in, {word, &ObjectOfWord(in, word)}, property);
  if (read.mark) in.S.SoreType = read.mark;
  return read.text;
}

static void HookSetProperty(Interpreter& in, THashNode* word, const std::string& property,
                            const std::string& value_text) {
  SetPropertyOf(in, {word, &ObjectOfWord(in, word)}, property, value_text);
}

static std::string HookGetDefault(Interpreter& in, THashNode* word) {
  PropertyRead read = GetDefaultOf(in, word);
  in.S.SoreType = read.mark;
  return read.text;
}

// 待機 hands control to the window system: destroyed widgets can go now that
// none of their events is running, once two or more have gathered.
static void HookWaiting(Interpreter& in) {
  ObjectBackend& b = Backend(in);
  if (b.DestroyedCount() >= 2) b.FreeDestroyedSoon();
}

const ObjectLayer& ObjectLayerHooks() {
  static constexpr ObjectLayer kHooks{HookGetProperty, HookSetProperty, HookGetDefault,
                                      SetDefaultOf, HookWaiting};
  return kHooks;
}

}  // namespace sorane
