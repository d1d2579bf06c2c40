// The packing tools of the command line, run before (and instead of) a script:
//   sorane --pack SCRIPT [FILE...] -o OUTPUT
//     writes OUTPUT: this run-time's executable image followed by an archive
//     whose entry SORANE.SRN is SCRIPT (scrambled) and whose other entries are
//     the FILEs, named by their paths as given (a relative path keeps its
//     folders, written with "\"; an absolute one only its file name). Scripts
//     (.srn) are scrambled, other files stored as they are. OUTPUT is
//     executable and runs SCRIPT wherever it is copied.
//   sorane --unpack EXE DIR
//     lists the entries packed into EXE (a packed executable or an archive
//     file) on standard output and copies each into DIR.
// Both return the exit status: 0 done, 1 failed (the reason on standard
// error), 2 bad usage.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sorane {

int RunPackTool(const std::vector<std::string>& args);
int RunUnpackTool(const std::vector<std::string>& args);

// What --pack does: writes the packed program `output` (UTF-8 path), this
// run-time's executable image followed by an archive whose entry SORANE.SRN is
// the file `script` (scrambled) and whose other entries are `files` (path,
// entry name in CP932; .srn entries scrambled). The program is written beside
// `output` and renamed over it only when complete, so a failure leaves an old
// `output` as it was. False with the reason (UTF-8) in `error`;
// `missing_runtime` when the run-time's own executable could not be read.
bool PackProgram(const std::string& output, const std::string& script,
                 const std::vector<std::pair<std::string, std::string>>& files, std::string& error,
                 bool& missing_runtime);

// The entry name --pack gives the file at `path` (UTF-8 as given): CP932,
// "\" between folders.
std::string PackedEntryName(const std::string& path);

}  // namespace sorane
