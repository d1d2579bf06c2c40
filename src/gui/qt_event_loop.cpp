#include "gui/qt_event_loop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "runtime/events.h"
#include "runtime/interpreter.h"

namespace sorane {

TQtEventLoop::TQtEventLoop()
    : label_timer_(std::make_unique<QTimer>()), later_context_(std::make_unique<QObject>()) {
  label_timer_->setSingleShot(true);
  QObject::connect(label_timer_.get(), &QTimer::timeout, [this] {
    if (!in_ || in_->S.StopRequested) return;
    try {
      LabelTimerTick(*in_);
    } catch (...) {
    }
  });
}

TQtEventLoop::~TQtEventLoop() = default;

void TQtEventLoop::ProcessEvents() {
  QCoreApplication::processEvents();
}

void TQtEventLoop::WaitForEvents(int ms) {
  // The timer ends the wait when nothing else comes first.
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(ms < 0 ? 0 : ms);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TQtEventLoop::StartLabelTimer(int ms) {
  label_timer_->stop();
  if (ms > 0) label_timer_->start(ms);
}

void TQtEventLoop::StopLabelTimer() {
  label_timer_->stop();
}

bool TQtEventLoop::LabelTimerActive() const {
  return label_timer_->isActive();
}

bool TQtEventLoop::KeepsRun() const {
  if (LabelTimerActive() || later_pending_ > 0) return true;
  for (const auto& [fd, w] : watches_)
    if (w.keeps_run) return true;
  return false;
}

void TQtEventLoop::Retire(std::unique_ptr<QSocketNotifier>& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  notifier.release()->deleteLater();
}

bool TQtEventLoop::WatchDescriptor(int fd, unsigned events, bool keeps_run,
                                   WatchCallback callback) {
  Watch& w = watches_[fd];
  Retire(w.read);
  Retire(w.write);
  w.keeps_run = keeps_run;
  w.serial = ++next_serial_;
  w.callback = std::move(callback);
  uint64_t serial = w.serial;
  if (events & kWatchRead) {
    w.read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(w.read.get(), &QSocketNotifier::activated,
                     [this, fd, serial] { Notify(fd, serial, kWatchRead); });
  }
  if (events & kWatchWrite) {
    w.write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(w.write.get(), &QSocketNotifier::activated,
                     [this, fd, serial] { Notify(fd, serial, kWatchWrite); });
  }
  return true;
}

void TQtEventLoop::UnwatchDescriptor(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  Retire(it->second.read);
  Retire(it->second.write);
  watches_.erase(it);
}

void TQtEventLoop::Notify(int fd, uint64_t serial, unsigned ready) {
  auto it = watches_.find(fd);
  if (it == watches_.end() || it->second.serial != serial) return;
  WatchCallback callback = it->second.callback;  // it may unwatch itself
  // Errors of an event in the window's dispatch are dropped; the error log
  // keeps them.
  try {
    callback(ready);
  } catch (...) {
  }
}

void TQtEventLoop::CallLater(int ms, std::function<void()> callback) {
  ++later_pending_;
  QTimer::singleShot(ms < 0 ? 0 : ms, later_context_.get(), [this, callback = std::move(callback)] {
    --later_pending_;
    try {
      callback();
    } catch (...) {
    }
  });
}

}  // namespace sorane
