// Starting other programs: command lines split the way the language writes
// them, programs started with posix_spawn on an argument vector (never through
// a shell), waiting for a child, and reaping children nobody waits for.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sorane {

// A command line (CP932) cut into the program and the rest. Walking the bytes:
// a double-byte character belongs to the program whole; a space outside
// quotation marks ends the program; a quotation mark switches the quoted state,
// and one that closes a quotation is kept and ends the program. The program
// keeps its quotation marks; the parameters are the rest, trimmed.
struct ProgramAndParameters {
  std::string program;
  std::string parameters;
};
ProgramAndParameters SplitProgram(std::string_view command);

// The words of a parameter text (CP932): spaces and tabs outside quotation
// marks separate them; quotation marks group and are dropped, and inside a
// quotation "" stands for one quotation mark ("" alone is an empty word).
std::vector<std::string> SplitArguments(std::string_view parameters);

// `text` without its quotation marks.
std::string WithoutQuotes(std::string_view text);

// Starts `path` (UTF-8; a name without "/" is looked up on PATH) with `argv`
// (argv[0] included), in the current folder, inheriting the standard streams.
// `detached`: in a session of its own, so a terminal's Ctrl-C does not reach
// it, and reaped in the background when it ends (no zombie stays). Returns the
// child's pid, -1 when it could not be started.
pid_t StartProgram(const std::string& path, const std::vector<std::string>& argv, bool detached);

// Waits until the child ends, calling `idle` about every 100 ms while it runs;
// when `idle` returns false the waiting stops and the child is left to be
// reaped in the background. Returns the exit status (-1 when it ended by a
// signal or the waiting stopped).
int WaitForChild(pid_t pid, const std::function<bool()>& idle);

// Reaps the child in the background whenever it ends.
void ReapInBackground(pid_t pid);

}  // namespace sorane
