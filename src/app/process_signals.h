// Standard output and the signals that end a run.
#pragma once

namespace sorane {

// SIGINT and SIGTERM still end the process with the signal (the exit status
// tells which), but what the script printed and still sits in the buffer of
// standard output is written first. A second signal ends the process at once,
// flushed or not (a reader that stopped reading can block the flush). A signal
// the process was started with ignored (nohup, a background job) stays ignored.
void FlushOutputOnSignals();

// Standard output is line-buffered on a terminal (each line shows when it is
// printed) and fully buffered into a pipe or file.
void BufferStandardOutput();

}  // namespace sorane
