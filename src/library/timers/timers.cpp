// Waiting and the label timer: 待つ pauses while window events go on being
// processed; タイマー設定 arms the host's one-shot timer to jump to a label
// (through RaiseLabelEvent when it fires), タイマー解除 stops it.
#include <algorithm>
#include <chrono>
#include <thread>

#include "library/library.h"
#include "runtime/command.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

// 待つ (?秒): events that arrive meanwhile run when the pause is over.
static void CmdPause(Call& c) {
  Interpreter& in = c.in;
  using Clock = std::chrono::steady_clock;
  int64_t ms = ToInt64(c.Num(0) * 1000);
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(ms, 0));
  in.host.EventLoop().ProcessEvents();
  while (!in.S.StopRequested) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) break;
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(100)));
    in.host.EventLoop().ProcessEvents();
  }
}

// タイマー設定 (?秒後に,?へ飛ぶ): the label is taken as written; an empty one
// disarms the timer. Only the last setting counts.
static void CmdSetTimer(Call& c) {
  Interpreter& in = c.in;
  std::string label = c.Name(1);
  Number seconds = c.Num(0);
  if (label.empty()) {
    in.host.EventLoop().StopLabelTimer();
    in.S.DeferredJump = TPos();
    return;
  }
  THashNode* w = in.S.Words.FindExact(label);
  if (!w || w->Kind != kWordLabel || !w->More().RefPos) in.Raise(msg::UndefinedLabel(), label);
  in.S.DeferredJump = TPos(w->More().RefPos, w->More().RefText);
  in.host.EventLoop().StartLabelTimer(ToInt32(seconds * 1000));
}

static void CmdStopTimer(Call& c) {
  c.in.host.EventLoop().StopLabelTimer();
}

CommandTable TimerCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Pause, "待つ", "?秒", CmdPause, kActs},
      {CommandId::SetTimer, "タイマー設定", "?秒後に,?へ飛ぶ", CmdSetTimer, kActs},
      {CommandId::StopTimer, "タイマー解除", "", CmdStopTimer, kActs},
  };
  return kRows;
}

}  // namespace sorane
