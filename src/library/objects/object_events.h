// What the widgets of script objects report, turned into jumps to the script's
// handler labels. The sink sets the event variables the handler reads (マウスX,
// マウスY, 押された特殊キー, 押されたキー, イベントの値, ブラウザ移動先URL) and
// fires the object's event slot; the window reports the host window's own
// events (object 0) the same way.
#pragma once

#include "library/objects/backend.h"

namespace sorane {

class Interpreter;

class ObjectEventDispatcher : public ObjectEventSink {
 public:
  explicit ObjectEventDispatcher(Interpreter& in) : in_(in) {}
  // Nothing happens for an object whose record is gone or once the run is
  // stopping. Errors of the event machinery are dropped here: they must not
  // unwind through the window system.
  EventReply ObjectEventOccurred(const ObjectEvent& event) override;

 private:
  Interpreter& in_;
};

// The event slot an event fires (a navigation fires クリックした時).
int SlotOfEvent(ObjEvent what);

}  // namespace sorane
