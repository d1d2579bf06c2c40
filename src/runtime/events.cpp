#include "runtime/events.h"

#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

// Property names of the event slots, in slot order.
static const char* const kEventNames[kEventSlotCount] = {
    "イベント",         "クリックした時",        "ダブルクリックした時", "マウス押した時",
    "マウス離した時",   "キー押した時",          "キー離した時",         "変更した時",
    "マウス動かした時", "ファイルドロップした時"};

// The names folded once, so キーを押した時 finds キー押した時.
static std::vector<std::string> FoldNames() {
  std::vector<std::string> v;
  for (const char* name : kEventNames) v.push_back(Fold(Utf8ToSjis(name)));
  return v;
}

static const std::vector<std::string>& FoldedEventNames() {
  static const std::vector<std::string> folded = FoldNames();
  return folded;
}

int EventSlotOf(const std::string& property) {
  const std::vector<std::string>& names = FoldedEventNames();
  std::string folded = Fold(property);
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == folded) return static_cast<int>(i);
  return -1;
}

void RegisterHostObject(Interpreter& in) {
  in.S.Objects.Clear();
  auto host = std::make_unique<TObjNode>();
  host->Name = SJ("母艦");
  host->Kind = ObjKind::kForm;
  host->ObjectIndex = 0;
  host->Parent = -1;
  in.S.Objects.Add(std::move(host));
}

TObjNode& ObjectOfWord(Interpreter& in, THashNode* word) {
  TObjNode* node = in.S.Objects.Get(word->ObjectIndex);
  if (!node || node->Name.empty())
    in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), word->Name);
  return *node;
}

static void ClearSlot(TObjNode& object, int slot) {
  object.EventText[slot].clear();
  object.EventTarget[slot] = TPos();
}

static void StoreSlot(TObjNode& object, int slot, const std::string& text, const TPos& target) {
  object.EventText[slot] = text;
  object.EventTarget[slot] = target;
}

void SetEventSlot(Interpreter& in, TObjNode& object, int slot, const std::string& value_text,
                  int copy_slot) {
  std::string value = value_text;
  bool clear = value == "\"\"" || value == "``" || value.empty() ||
               (slot == kEventAny && value == SJ("\\NULL-VALUE"));
  if (clear) {
    ClearSlot(object, slot);
    return;
  }
  if (value.size() >= 2 && value.front() == '`' && value.back() == '`')
    value = value.substr(1, value.size() - 2);
  TPos target;
  THashNode* w = in.S.Words.FindExact(value);
  if (w && w->Kind == kWordLabel && w->More().RefPos) {
    target = TPos(w->More().RefPos, w->More().RefText);
  } else if (w && w->Kind == kWordVariable) {
    in.Raise(SJ("計算式に誤りがあります。") +
             SJ("イベントに変数を設定することは出来ません。ラベルを指定してください。"));
  } else {
    // Program text: the statements inside the outer parentheses, run as they
    // stand when the event arrives.
    if (value.front() == '(') {
      size_t close = value.rfind(')');
      value =
          value.substr(1, close == std::string::npos || close == 0 ? std::string::npos : close - 1);
    }
    if (value.empty()) {
      ClearSlot(object, slot);
      return;
    }
    target = TPos::Start(std::make_shared<const std::string>(value));
  }
  StoreSlot(object, slot, value, target);
  if (copy_slot >= 0 && copy_slot < kEventSlotCount && copy_slot != slot)
    StoreSlot(object, copy_slot, value, target);
}

static void PushEventReturn(Interpreter& in, const TPos& target) {
  TRunControl r;
  r.Kind = kRunEvent;
  r.ReturnPos = in.S.ExecPos;
  r.ExitPos = target;
  r.SavedSource = in.S.SourceName;
  in.S.RunStack.Push(std::move(r));
  in.S.ExecPos = target;
}

void FireEvent(Interpreter& in, TObjNode& object, int slot) {
  if (slot < 0 || slot >= kEventSlotCount) return;
  // A copy: the handler may set the slot again or destroy the object, and the
  // text it runs stays alive in the copy (and in ExecPos) meanwhile.
  TPos target = object.EventTarget[slot];
  if (target.None() || in.S.StopRequested) return;
  if (THashNode* w = in.S.Words.FindExact(SJ("イベントオブジェクト"))) {
    w->Kind = kWordObject;
    w->ObjectIndex = object.ObjectIndex;
  }
  // Idle: no statement loop is running (after 待機 or the end of the program).
  bool idle = in.RunDepth == 0;
  PushEventReturn(in, target);
  if (!idle) return;  // the running command returns first, then the handler runs
  in.CheckStack();
  in.Run();
}

void RaiseLabelEvent(Interpreter& in, const TPos& target) {
  if (target.None() || in.S.StopRequested) return;
  if (in.RunDepth > 0) {
    PushEventReturn(in, target);
    return;
  }
  in.RunNested(target);
}

void LabelTimerTick(Interpreter& in) {
  if (!in.S.DeferredJump.None()) RaiseLabelEvent(in, in.S.DeferredJump);
}

// ---------------------------------------------------------------- object layer

static const ObjectLayer& Layer(Interpreter& in, THashNode* object) {
  if (!in.ObjectHooks) in.Raise(msg::LinkBroken(), object->Name);
  return *in.ObjectHooks;
}

std::string GetObjectProperty(Interpreter& in, THashNode* object, const std::string& property) {
  return Layer(in, object).get_property(in, object, property);
}

void SetObjectProperty(Interpreter& in, THashNode* object, const std::string& property,
                       const std::string& value_text) {
  Layer(in, object).set_property(in, object, property, value_text);
}

std::string GetObjectDefault(Interpreter& in, THashNode* object) {
  if (in.ObjectHooks) return in.ObjectHooks->get_default(in, object);
  // Without the layer an object word reads as the value text kept in it.
  SetTypeMark(in.S.SoreType, "s");
  return object->Value();
}

void SetObjectDefault(Interpreter& in, THashNode* object, const std::string& value) {
  Layer(in, object).set_default(in, object, value);
}

void ObjectsWaiting(Interpreter& in) {
  if (in.ObjectHooks) in.ObjectHooks->waiting(in);
}

}  // namespace sorane
