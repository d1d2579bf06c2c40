#include "gui/qt_host.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include "gui/qt_text.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"

namespace sorane {

TQtEventLoop::TQtEventLoop() : label_timer_(std::make_unique<QTimer>()) {
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

void TQtClipboard::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(Q(text));
}

std::string TQtClipboard::ClipboardText() {
  return S(QGuiApplication::clipboard()->text());
}

TQtHost::TQtHost() {
  window_.SetObjectWidgets(&objects_);
  objects_.SetMedia(&media_);
}

TQtHost::~TQtHost() {
  Detach();
}

void TQtHost::Attach(Interpreter& in) {
  in_ = &in;
  events_ = std::make_unique<ObjectEventDispatcher>(in);
  window_.Attach(&in);
  window_.SetEventSink(events_.get());
  objects_.SetEventSink(events_.get());
  dialogs_.Attach(&in);
  loop_.Attach(&in);
}

void TQtHost::Detach() {
  window_.Attach(nullptr);
  window_.SetEventSink(nullptr);
  objects_.SetEventSink(nullptr);
  dialogs_.Attach(nullptr);
  loop_.Attach(nullptr);
  events_.reset();
  in_ = nullptr;
}

bool TQtHost::StartRun() {
  return in_ && in_->Start();
}

}  // namespace sorane
