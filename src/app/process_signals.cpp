#include "app/process_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <thread>

#include "interop/dde/dde_transport.h"

namespace sorane {
namespace {

// A handler may do almost nothing safely: it writes the signal's number to this
// pipe, and a thread waiting on the other end does the flushing in ordinary
// code.
int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_caught = 0;

void OnSignal(int sig) {
  if (g_caught) {  // the second one: end now
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  g_caught = sig;
  int saved = errno;
  unsigned char number = static_cast<unsigned char>(sig);
  if (write(g_pipe[1], &number, 1) != 1) {
    signal(sig, SIG_DFL);
    raise(sig);
  }
  errno = saved;
}

void FlushThenEnd() {
  unsigned char number = 0;
  while (read(g_pipe[0], &number, 1) != 1) {
    if (errno != EINTR) return;
  }
  fflush(stdout);
  dde::StopAllListening();  // the link sockets go with the process
  signal(number, SIG_DFL);
  raise(number);
}

}  // namespace

void FlushOutputOnSignals() {
  if (pipe2(g_pipe, O_CLOEXEC) != 0) return;
  std::thread(FlushThenEnd).detach();
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
