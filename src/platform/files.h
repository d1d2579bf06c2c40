// File-system services at the OS boundary. Names inside the run-time are CP932;
// they are converted to UTF-8 here, and a "\" becomes "/".
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace sorane {

// CP932 script-side name -> OS path bytes ("\" separators become "/"; the
// escape characters FromOsPath uses become their bytes again).
std::string ToOsPath(std::string_view name);
// OS path bytes -> CP932 name, losslessly: a character CP932 cannot hold
// exactly (é, an emoji, a byte that is not UTF-8) is kept as one user-defined
// CP932 character per byte (U+E080-U+E0FF), so ToOsPath(FromOsPath(p)) == p.
std::string FromOsPath(std::string_view path);
// A name is absolute when it starts with "/" or "\".
bool IsAbsoluteName(std::string_view name);
bool FileExists(std::string_view name);    // a regular file (CP932 name)
bool FolderExists(std::string_view name);  // a directory (CP932 name)
// Folder part of a name including its trailing separator ("" when none).
std::string ExtractFolder(std::string_view name);
// Part after the last "/", "\" or ":".
std::string ExtractFileName(std::string_view name);
// The current folder (CP932) with a trailing "/".
std::string CurrentFolder();
// The name itself when absolute, otherwise the name in the current folder.
std::string AbsoluteName(std::string_view name);

// The first existing file `folder + name` for the folders in order (empty ones
// are skipped, a missing trailing "/" is added); the name unchanged when it is
// found in none. The run-time's search order for reading commands is
// ResolveFileName (runtime/interpreter.h).
std::string FindFileInFolders(std::string_view name, std::span<const std::string> folders);

// Reads a whole file as bytes; false when it cannot be read (missing, a folder,
// no permission).
bool ReadFileBytes(std::string_view name, std::string& out);
// Reads a script: lines (split at CR LF, LF or CR) joined with CR LF after every
// line. A UTF-8 file (BOM, or valid UTF-8 with non-ASCII bytes) is converted to
// CP932. False when the file cannot be read.
bool LoadScriptFile(std::string_view name, std::string& out);
// The same for script bytes from elsewhere (standard input, the command line).
std::string ScriptText(std::string bytes);
// Joins the lines of raw bytes with CR LF after every line.
std::string JoinLinesCrLf(std::string_view bytes);

}  // namespace sorane
