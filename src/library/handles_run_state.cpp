// The per-run state bundle (see handles_run_state.h).
#include "library/handles_run_state.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/interpreter.h"

namespace sorane {

namespace {

class Bundle;

// Live bundles by the address of their anchor, so that a RefText that came
// from elsewhere (a label's source text copied onto それ) is never taken for
// a bundle.
std::mutex live_mutex;
std::unordered_map<const std::string*, Bundle*>& Live() {
  static std::unordered_map<const std::string*, Bundle*> live;
  return live;
}

class Bundle {
 public:
  Bundle() {
    std::lock_guard<std::mutex> lock(live_mutex);
    Live()[&anchor] = this;
  }
  ~Bundle() {
    {
      std::lock_guard<std::mutex> lock(live_mutex);
      Live().erase(&anchor);
    }
    // Later states may refer to earlier ones: free in reverse order.
    for (auto it = slots_.rbegin(); it != slots_.rend(); ++it) it->destroy(it->object);
  }
  Bundle(const Bundle&) = delete;
  Bundle& operator=(const Bundle&) = delete;

  void* Slot(const void* tag, void* (*create)(), void (*destroy)(void*)) {
    for (const Entry& e : slots_)
      if (e.tag == tag) return e.object;
    slots_.push_back({tag, create(), destroy});
    return slots_.back().object;
  }

  const std::string anchor;  // what それ's RefText points at

 private:
  struct Entry {
    const void* tag;
    void* object;
    void (*destroy)(void*);
  };
  std::vector<Entry> slots_;
};

Bundle* BundleOf(const std::shared_ptr<const std::string>& ref) {
  if (!ref) return nullptr;
  std::lock_guard<std::mutex> lock(live_mutex);
  auto it = Live().find(ref.get());
  return it == Live().end() ? nullptr : it->second;
}

}  // namespace

void* RunStateSlot(Interpreter& in, const void* tag, void* (*create)(), void (*destroy)(void*)) {
  THashNode* sore = in.S.Fast.Sore;
  if (!sore) {
    static Bundle detached;  // only for an interpreter without a vocabulary
    return detached.Slot(tag, create, destroy);
  }
  Bundle* bundle = BundleOf(sore->RefText);
  if (!bundle) {
    auto owner = std::make_shared<Bundle>();
    bundle = owner.get();
    sore->RefText = std::shared_ptr<const std::string>(owner, &owner->anchor);
  }
  return bundle->Slot(tag, create, destroy);
}

}  // namespace sorane
