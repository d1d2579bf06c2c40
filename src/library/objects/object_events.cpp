// Reported widget events → event variables and the object's event slot.
#include "library/objects/object_events.h"

#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"

namespace sorane {

int SlotOfEvent(ObjEvent what) {
  switch (what) {
    case ObjEvent::kClick:
    case ObjEvent::kNavigate:
      return kEventClick;
    case ObjEvent::kDblClick:
      return kEventDblClick;
    case ObjEvent::kMouseDown:
      return kEventMouseDown;
    case ObjEvent::kMouseUp:
      return kEventMouseUp;
    case ObjEvent::kMouseMove:
      return kEventMouseMove;
    case ObjEvent::kKeyDown:
      return kEventKeyDown;
    case ObjEvent::kKeyUp:
      return kEventKeyUp;
    case ObjEvent::kChange:
      return kEventChange;
    case ObjEvent::kFileDrop:
      return kEventFileDrop;
  }
  return kEventAny;
}

static void SetVariable(Interpreter& in, const std::string& name, const std::string& value) {
  if (THashNode* w = in.S.Words.FindExact(name)) w->ValueToWrite() = value;
}

// The names without a final line break. Each name is kept as it is: a file
// name may well begin or end with a blank.
static std::string DroppedNames(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

EventReply ObjectEventDispatcher::ObjectEventOccurred(const ObjectEvent& e) {
  EventReply reply;
  if (in_.S.StopRequested) return reply;
  TObjNode* object = in_.S.Objects.Get(e.index);
  if (!object || object->Name.empty()) return reply;
  int slot = SlotOfEvent(e.what);
  bool armed = !object->EventTarget[slot].None();
  switch (e.what) {
    case ObjEvent::kMouseDown:
    case ObjEvent::kMouseUp:
    case ObjEvent::kMouseMove:
      // Set even when no handler waits: a later handler reads where the mouse was.
      SetVariable(in_, SJ("マウスX"), std::to_string(e.x));
      SetVariable(in_, SJ("マウスY"), std::to_string(e.y));
      SetVariable(in_, SJ("押された特殊キー"), e.special_keys);
      break;
    case ObjEvent::kKeyDown:
    case ObjEvent::kKeyUp:
      if (!armed) return reply;
      SetVariable(in_, SJ("押されたキー"), std::to_string(e.key));
      SetVariable(in_, SJ("押された特殊キー"), e.special_keys);
      break;
    case ObjEvent::kFileDrop:
      SetVariable(in_, SJ("イベントの値"), DroppedNames(e.text));
      break;
    case ObjEvent::kNavigate:
      if (armed) SetVariable(in_, SJ("ブラウザ移動先URL"), e.text);
      break;
    default:
      break;
  }
  if (armed) {
    reply.handled = true;
    try {
      FireEvent(in_, *object, slot);
    } catch (...) {
    }
  }
  if (e.what == ObjEvent::kNavigate) {
    THashNode* allow = in_.S.Words.FindExact(SJ("ブラウザURL移動許可"));
    reply.cancel = allow && ToInt32(ParseNumber(allow->Value())) == 0;
  }
  return reply;
}

}  // namespace sorane
