// Calls on standard output and the signals that end a run.
//
// A signal that ends the run writes what sits in the buffer of standard output
// first. Its handler may do that at once unless a call on standard output is
// under way (the buffer is being changed): the call then ends the run when it
// returns. Every call of the run-time that writes or flushes standard output
// while a script runs is marked with a StandardOutputCall.
#pragma once

namespace sorane {

class StandardOutputCall {
 public:
  StandardOutputCall();
  // Ends the process when a signal came meanwhile (see DeferSignal).
  ~StandardOutputCall();
  StandardOutputCall(const StandardOutputCall&) = delete;
  StandardOutputCall& operator=(const StandardOutputCall&) = delete;
};

// For a signal handler (async-signal-safe): whether a call is under way, and
// the signal the last call to return must end the run with.
bool StandardOutputBusy();
void DeferSignal(int sig);
// What ends the run with a deferred signal, called in ordinary code; set by
// whoever installs the handler.
void SetDeferredSignalEnd(void (*end)(int sig));

}  // namespace sorane
