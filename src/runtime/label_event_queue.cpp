#include "runtime/label_event_queue.h"

#include "runtime/events.h"
#include "runtime/host.h"
#include "runtime/interpreter.h"

namespace sorane {

// How soon undelivered events are offered again.
constexpr int kPumpMs = 10;

bool LabelEventQueue::HandlerPending() const {
  if (!handed_.active) return false;
  const TRunControl* top = in_.S.RunStack.Top();
  return top && top->Kind == kRunEvent && in_.S.RunStack.Count() == handed_.depth &&
         top->ExitPos.p == handed_.target && in_.S.ExecPos.p == handed_.target;
}

void LabelEventQueue::Deliver() {
  while (!queue_.empty()) {
    if (in_.S.StopRequested) {
      queue_.clear();
      return;
    }
    bool running = in_.RunDepth > 0;
    if (running && HandlerPending()) break;
    handed_.active = false;
    Event e = std::move(queue_.front());
    queue_.pop_front();
    if (e.prepare) e.prepare();
    if (e.label.None()) continue;
    RaiseLabelEvent(in_, e.label);  // idle: the handler runs now
    if (running) {
      // The handler runs when the running command returns.
      handed_ = {true, in_.S.RunStack.Count(), e.label.p};
      break;
    }
  }
  if (queue_.empty() || pump_armed_) return;
  pump_armed_ = true;
  std::weak_ptr<bool> alive = alive_;
  loop_.CallLater(kPumpMs, [this, alive] {
    if (alive.expired()) return;
    pump_armed_ = false;
    Deliver();
  });
}

}  // namespace sorane
