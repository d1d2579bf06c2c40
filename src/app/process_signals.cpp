#include "app/process_signals.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "interop/dde/dde_transport.h"
#include "platform/standard_output.h"

namespace sorane {
namespace {

volatile sig_atomic_t g_caught = 0;

// Writes what standard output holds, removes the link sockets and ends the
// process with the signal. Run by the handler when no call on standard output
// is under way (so the buffer is whole and flushing it touches nothing the
// interrupted code holds), else by that call when it returns. The process
// stays single-threaded: no thread waits for the signal.
void EndBySignal(int sig) {
  fflush(stdout);
  dde::RemoveSocketsFromSignal();
  signal(sig, SIG_DFL);
  raise(sig);
}

void OnSignal(int sig) {
  if (g_caught) {  // the second one: end now
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  g_caught = sig;
  if (StandardOutputBusy()) {
    DeferSignal(sig);
    return;
  }
  EndBySignal(sig);
}

}  // namespace

void FlushOutputOnSignals() {
  SetDeferredSignalEnd(EndBySignal);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old = {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
}

void BufferStandardOutput() {
  if (isatty(STDOUT_FILENO)) setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

}  // namespace sorane
