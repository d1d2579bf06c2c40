// The event loop of the window: pending window messages, the one-shot label
// timer (SoraneTimer) of タイマー設定, which jumps to its label through
// LabelTimerTick, and the descriptors and later calls of the network commands
// on QSocketNotifier and QTimer.
#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>

#include "runtime/host.h"

class QSocketNotifier;
class QTimer;

namespace sorane {

class Interpreter;

class TQtEventLoop : public HostEventLoop {
 public:
  TQtEventLoop();
  ~TQtEventLoop() override;
  void Attach(Interpreter* in) { in_ = in; }

  void ProcessEvents() override;
  void WaitForEvents(int ms) override;
  void StartLabelTimer(int ms) override;
  void StopLabelTimer() override;
  bool WatchDescriptor(int fd, unsigned events, bool keeps_run, WatchCallback callback) override;
  void UnwatchDescriptor(int fd) override;
  void CallLater(int ms, std::function<void()> callback) override;
  // True while the label timer is armed (the run goes on even when hidden).
  bool LabelTimerActive() const;
  // True while an event may still run a label without the window: the label
  // timer, a later call, a watched descriptor that keeps the run.
  bool KeepsRun() const;

 private:
  struct Watch {
    std::unique_ptr<QSocketNotifier> read, write;
    bool keeps_run = false;
    uint64_t serial = 0;
    WatchCallback callback;
  };
  void Notify(int fd, uint64_t serial, unsigned ready);
  // Notifiers are deleted once control is back in the event loop: the one
  // being unwatched may be the one whose signal is running.
  static void Retire(std::unique_ptr<QSocketNotifier>& notifier);

  std::unique_ptr<QTimer> label_timer_;
  std::unique_ptr<QObject> later_context_;  // later calls die with the loop
  int later_pending_ = 0;
  std::map<int, Watch> watches_;
  uint64_t next_serial_ = 0;
  Interpreter* in_ = nullptr;
};

}  // namespace sorane
