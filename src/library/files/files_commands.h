// Shared pieces of the file command family (files.cpp, files_info.cpp,
// files_shell.cpp): messages, names and folder listings with wildcards.
#pragma once

#include <string>
#include <vector>

namespace sorane {

class Interpreter;

// "ファイル"NAME"の、読み込みか書き込みに、失敗しました。" + tail
[[noreturn]] void RaiseFileFailure(Interpreter& in, const std::string& name,
                                   const std::string& tail = {});

// A name as the deleting commands use it: a relative name is taken from the
// program's folder (母艦のパス).
std::string FromProgramFolder(Interpreter& in, const std::string& name);

// One entry of a listing: the CP932 name the script sees and the OS name.
struct ListedEntry {
  std::string name;
  std::string os_name;
  bool is_dir = false;
  bool is_link = false;
};
enum class ListKind { kAll, kFiles, kFolders };
// Entries of `folder` (CP932; "" = current folder) whose names match the
// wildcard `pattern`, in name order; "." and ".." never appear. Empty when the
// folder cannot be read.
std::vector<ListedEntry> ListMatching(const std::string& folder, const std::string& pattern,
                                      ListKind kind);

// The folder part of a name (through the last "/" or "\"), and the rest.
void SplitFolderAndName(const std::string& path, std::string& folder, std::string& name);

}  // namespace sorane
