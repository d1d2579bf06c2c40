#include "gui/qt_host.h"

#include <QClipboard>
#include <QGuiApplication>

#include "gui/qt_text.h"
#include "runtime/interpreter.h"

namespace sorane {

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
