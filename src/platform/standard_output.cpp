#include "platform/standard_output.h"

#include <atomic>

namespace sorane {
namespace {

// Lock-free atomics: a handler may read them whichever thread it runs on.
std::atomic<int> g_calls{0};
std::atomic<int> g_deferred{0};
std::atomic<void (*)(int)> g_end{nullptr};

}  // namespace

StandardOutputCall::StandardOutputCall() {
  g_calls.fetch_add(1);
}

StandardOutputCall::~StandardOutputCall() {
  if (g_calls.fetch_sub(1) != 1) return;
  int sig = g_deferred.load();
  void (*end)(int) = g_end.load();
  if (sig != 0 && end) end(sig);
}

bool StandardOutputBusy() {
  return g_calls.load() != 0;
}

void DeferSignal(int sig) {
  g_deferred.store(sig);
}

void SetDeferredSignalEnd(void (*end)(int sig)) {
  g_end.store(end);
}

}  // namespace sorane
