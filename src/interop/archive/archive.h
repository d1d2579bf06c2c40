// The archiver commands: 圧縮, 解凍 and 自己解凍書庫作成.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/command.h"

namespace sorane {

// The commands of this family (listed by the library with every other family).
CommandTable ArchiveCommands();

// How 自己解凍書庫作成 writes its program: `output` (UTF-8 path) becomes this
// run-time followed by the script file `script` and the files (path, entry
// name in CP932), written beside `output` and put in place only when complete.
// False with a reason (UTF-8) in `error`; `missing_runtime` when the run-time's
// own executable could not be read. The packer lives above this layer; the
// program installs it at start.
using ProgramPacker = bool (*)(const std::string& output, const std::string& script,
                               const std::vector<std::pair<std::string, std::string>>& files,
                               std::string& error, bool& missing_runtime);
void SetProgramPacker(ProgramPacker packer);

// The script a self-extracting program runs (CP932): it extracts its entry
// `entry` into the folder named by its first argument (unless that starts with
// "-", as the run-time's own options do), or else the one the user chooses
// with フォルダ選択, with the extraction switches `options`.
std::string SelfExtractorScript(const std::string& entry, const std::string& options);

}  // namespace sorane
