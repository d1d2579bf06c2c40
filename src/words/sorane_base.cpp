#include "words/sorane_base.h"

#include "text/encoding.h"

namespace sorane {

TSoraneBase::TSoraneBase() : SwitchValue(NoSwitch()), Random(std::random_device{}()) {}

void* TRunStates::Slot(const void* tag, void* (*create)(), void (*destroy)(void*)) {
  for (const Entry& e : entries_)
    if (e.tag == tag) return e.object;
  entries_.push_back({tag, create(), destroy});
  return entries_.back().object;
}

void TRunStates::Clear() {
  // Later states may refer to earlier ones: free in reverse order.
  while (!entries_.empty()) {
    Entry e = entries_.back();
    entries_.pop_back();
    e.destroy(e.object);
  }
}

void AssignTypeMark(std::string& mark, std::string_view m) {
  if (m.size() == 1 && !mark.empty()) {
    // A long mark (それ's first, the description of the system variable)
    // becoming one letter: shortened in place, its room kept.
    mark.resize(1);
    mark[0] = m[0];
    return;
  }
  if (std::string_view(mark) != m) mark.assign(m);
}

const std::string& TSoraneBase::NoSwitch() {
  return SJ("\\~未定義");
}

}  // namespace sorane
