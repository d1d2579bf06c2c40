// Where a name really leads: the one way every writer's target is judged.
//
// A writer that opens, creates or replaces a file follows symbolic links in
// every folder of the path, and (when it opens with O_CREAT or replaces a
// file safely) the final link too — even a link whose target does not exist
// yet: the target is created. Creating folders ("フォルダ作成", the folder of a
// copy or move) makes each missing folder in turn, so after a missing folder a
// ".." comes back to the folder it was made in, and a later link in the path
// is followed from there. ResolveOsPath walks a path exactly that way, one
// component at a time against the real tree, and gives the absolute path the
// operation will really reach, with no link and no "." or ".." left in it.
// Judging that path (and not the name as written, nor what realpath makes of
// its existing part) is what keeps a check and the write it allows in step.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

// Whether the final component, when it is a symbolic link, is followed.
enum class FinalLink {
  kFollow,  // opening, writing, appending, creating, changing attributes
  kKeep,    // removing or renaming the name itself (the link, not its target)
};

struct ResolvedPath {
  std::string real;  // absolute, without links, "." or ".."; "" when !ok
  bool ok = false;   // false: a loop of links, or a name that cannot be a path
};

// The path `os_path` (UTF-8, relative to the current folder unless it starts
// with "/") leads to. Components that do not exist count as folders the
// operation will create; a "/" at the end is ignored. More than 40 links on
// the way (a loop) gives !ok.
ResolvedPath ResolveOsPath(const std::string& os_path, FinalLink final_link = FinalLink::kFollow);

// True when a name holds a NUL byte. The system calls would see only the part
// before it, so such a name must be refused before it is checked or used.
inline bool HasNulByte(std::string_view name) {
  return name.find('\0') != std::string_view::npos;
}

}  // namespace sorane
