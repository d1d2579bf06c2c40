// Label events from outside the statement loop (data on a socket, a macro of
// a conversation) waiting to run. They are handed to the script all at once
// when it is idle, and one at a time while a command runs: the next waits
// until the handler of the last has started, so that each handler sees the
// variables its own event set.
#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "words/run_control.h"

namespace sorane {

class HostEventLoop;
class Interpreter;

class LabelEventQueue {
 public:
  struct Event {
    TPos label;                     // none: only `prepare` runs
    std::function<void()> prepare;  // sets the event's variables as it is handed over
  };

  LabelEventQueue(Interpreter& in, HostEventLoop& loop) : in_(in), loop_(loop) {}
  ~LabelEventQueue() { *alive_ = false; }
  LabelEventQueue(const LabelEventQueue&) = delete;
  LabelEventQueue& operator=(const LabelEventQueue&) = delete;

  void Push(Event e) { queue_.push_back(std::move(e)); }
  // Hands over what it can now and comes back later for the rest.
  void Deliver();

 private:
  // The handler of the event last handed over while a command ran has not
  // started: the run stack and the position are still as that left them.
  bool HandlerPending() const;

  Interpreter& in_;
  HostEventLoop& loop_;
  std::deque<Event> queue_;
  struct Handed {
    bool active = false;
    int depth = 0;
    const char* target = nullptr;
  } handed_;
  bool pump_armed_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for later calls
};

}  // namespace sorane
