// File and folder operations on UTF-8 OS paths: listing, canonical paths,
// copying and moving trees, removing trees without following links, and the
// reason texts of system errors. The script-side commands (CP932 names,
// wildcards, messages) are built on these in library/files*.cpp.
#pragma once

#include <string>
#include <vector>

namespace sorane {

struct DirEntry {
  std::string name;     // UTF-8, without folder
  bool is_dir = false;  // a folder, or a link to one
  bool is_link = false;
};

// Entries of a folder, never "." and "..", in no particular order. False when
// the folder cannot be read.
bool ListOsFolder(const std::string& os_folder, std::vector<DirEntry>& out);

// `path` made absolute against the current folder (not normalised).
std::string AbsoluteOsPath(const std::string& path);
// Lexical clean-up of an absolute path: repeated "/" and "." removed, ".."
// takes away the component before it (never above "/"), no trailing "/".
std::string NormalizeOsPath(const std::string& absolute);
// The real location of `path`: the longest existing leading part resolved with
// realpath (links followed), the rest appended lexically. Relative paths count
// from the current folder. This is the form the security policy compares.
std::string CanonicalOsPath(const std::string& path);

// True when both names reach the same file: the same entry (device and inode,
// links not followed), or the same file once links are followed. Copying or
// moving a file onto itself is refused with this test, whatever the spelling
// ("..", links, letter case on a file system that ignores it).
bool SameOsFile(const std::string& a, const std::string& b);

// Copies a file or a folder with everything in it. Files are replaced safely
// (see safe_write.h) and keep permissions and modification time. Inside a
// folder, links are copied as links and whatever is at a destination name (a
// file, a link) is replaced, never written through; FIFOs are recreated with
// mkfifo, sockets and devices are skipped: no special file is ever opened.
// Copying onto itself or a folder into itself fails (EINVAL); a failure stops
// the copy (files already copied stay, each one complete).
bool CopyOsTree(const std::string& from, const std::string& to);
// Moves like rename. Where rename cannot (another file system, or a folder
// onto an existing folder, which is merged) every entry is first made complete
// under a temporary name beside its destination and renamed over it, and the
// source goes only after that: a failure (a full disk) leaves the destination's
// old files as they were and the source in place. Moving onto the same file
// fails (EINVAL). Sockets and devices are not carried across file systems.
bool MoveOsPath(const std::string& from, const std::string& to);
// Removes a file or link, or a folder with everything in it. Symbolic links
// are removed, never followed, so nothing outside the folder is touched.
// Stops at the first failure.
bool RemoveOsTree(const std::string& path);
// Creates the folder and any missing parents.
bool MakeOsFolders(const std::string& path);

// The reason for a system error, in Japanese (CP932), for error messages.
std::string SystemReason(int err);

}  // namespace sorane
