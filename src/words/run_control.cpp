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
  if (depth_ == levels_.size()) levels_.emplace_back();
  current_.swap(levels_[depth_]);  // the level's stack is empty
  ++depth_;
}

void TRunControlStack::Restore() {
  if (depth_ == 0) return;
  current_.clear();
  --depth_;
  current_.swap(levels_[depth_]);
  // Deep levels give their storage back.
  if (depth_ >= kLevelsKeepingStorage) std::vector<TRunControl>().swap(levels_[depth_]);
}

void TRunControlStack::ClearAll() {
  current_.clear();
  while (depth_ > 0) {
    Restore();
    current_.clear();
  }
}

}  // namespace sorane
