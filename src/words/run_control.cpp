#include "words/run_control.h"

namespace sorane {

SourceNameRef& SourceNameRef::operator=(const std::string& name) {
  // The name last given, shared while names repeat.
  thread_local std::shared_ptr<const std::string> last;
  if (!last || *last != name) last = std::make_shared<const std::string>(name);
  name_ = last;
  return *this;
}

SourceNameRef::operator const std::string&() const {
  static const std::string empty;
  return name_ ? *name_ : empty;
}

bool TRunControlStack::Pop(TRunControl& out) {
  if (current_.empty()) return false;
  out = std::move(current_.back());
  current_.pop_back();
  return true;
}

bool TRunControlStack::Get(size_t i, TRunControl& out) const {
  if (i >= current_.size()) return false;
  out = current_[i];
  return true;
}

void TRunControlStack::Save() {
  saved_.push_back(std::move(current_));
  current_.clear();
  if (!spare_.empty()) {
    current_.swap(spare_.back());
    spare_.pop_back();
  }
}

void TRunControlStack::Restore() {
  if (saved_.empty()) return;
  current_.clear();
  if (current_.capacity() > 0 && spare_.size() < kSpareStacks)
    spare_.push_back(std::move(current_));
  current_ = std::move(saved_.back());
  saved_.pop_back();
}

void TRunControlStack::ClearAll() {
  current_.clear();
  while (!saved_.empty()) {
    Restore();
    current_.clear();
  }
}

}  // namespace sorane
