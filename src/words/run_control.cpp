#include "words/run_control.h"

namespace sorane {

void TRunControl::Reset() {
  // (In the order the fields are destroyed.) Most records hold a few of these
  // (a branch: its block and where it leaves), so each is let go only when
  // held: a record dropped at every pass of a もし costs a test per field.
  // (No record is given an owner without a pointer; one would only be let
  // go when the place is filled again.)
  if (Elements) Elements.reset();
  CounterGeneration = 0;
  CounterWord = nullptr;
  if (ConditionCompiled) ConditionCompiled.reset();
  Condition.clear();
  Limit = 0;
  Counter = 0;
  ResetBranch();  // the fields every record may hold
}

bool TRunControlStack::Pop(TRunControl& out) {
  if (count_ == 0) return false;
  out = std::move(current_[count_ - 1]);
  // (Its place goes, with the places of records dropped above it.)
  current_.resize(--count_);
  return true;
}

bool TRunControlStack::Get(size_t i, TRunControl& out) const {
  if (i >= count_) return false;
  out = current_[i];
  return true;
}

// Frees the storage of `records`, whose records were all dropped. (Out of
// Restore, which then needs no room for a vector of its own.)
[[gnu::noinline]] void TRunControlStack::GiveBack(std::vector<TRunControl>& records) {
  std::vector<TRunControl>().swap(records);
}

[[gnu::noinline]] void TRunControlStack::AddLevel() {
  levels_.emplace_back();
}

void TRunControlStack::ClearAll() {
  Clear();
  while (depth_ > 0) {
    Restore();
    Clear();
  }
}

}  // namespace sorane
