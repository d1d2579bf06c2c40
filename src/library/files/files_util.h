// Helpers of the file commands that do not touch the file system: cutting
// paths, file-name wildcards, name order, binary values and dumps, name checks.
// All texts are CP932. Path separators are "/" and "\" (a "\" that is the
// trail byte of a double-byte character is part of that character).
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace sorane {

class Interpreter;

// True when the name ends in a "/" or "\" that is a character of its own.
bool EndsWithPathSeparator(std::string_view path);
// Up to and including the last "/", "\" or ":" (パスを切り出す).
std::string CutFolderPart(std::string_view path);
// The extension with its point ("" when none): the last "." after the last
// separator (拡張子を切り出す).
std::string CutExtension(std::string_view path);
// The extension replaced by `ext` (appended when there is none) (拡張子変更).
std::string ChangeExtension(std::string_view path, std::string_view ext);

// File-name wildcards as the file system matches them: "*" any run, "?" one
// character; letter case ignored for single-byte letters; a pattern ending in
// ".*" also matches names without any point ("*.*" matches every name).
bool MatchFileWildcard(std::string_view pattern, std::string_view name);
bool HasFileWildcard(std::string_view name);
// Listing order: letters compared without case, then bytes.
bool NameLess(const std::string& a, const std::string& b);

// Every byte as two upper-case hex digits; CR LF after every 16th byte, ","
// after every other byte (バイナリダンプ).
std::string BinaryDump(std::string_view bytes);

// Formats of バイナリ取得 / バイナリ設定.
enum class BinaryFormat { kUnknown, kChar, kByte, kWord, kDword, kInt, kCharZ };
BinaryFormat ParseBinaryFormat(std::string_view format);
// Reads at the 1-based byte position (below 1 counts as 1). Numbers come back
// as decimal text with `number` set. Nothing outside the value is read: a
// position or width that does not fit gives "" (texts) or "0" (numbers).
std::string BinaryRead(std::string_view value, long long position, BinaryFormat format,
                       bool& number);
// Writes `text` (a number for the numeric formats, ParseNumber truncated, low
// bytes little-endian) at the 1-based position. Returns false and changes
// nothing when the bytes do not fit inside the value (it never grows).
bool BinaryWrite(std::string& value, long long position, BinaryFormat format,
                 std::string_view text);

// True when the name can reach the file system unchanged: no NUL byte and only
// valid CP932 characters (an invalid byte would turn into a replacement
// character, so two different names could reach the same file).
bool IsValidFileName(std::string_view name);
// ToOsPath after IsValidFileName; raises a clear error for an invalid name
// (for a name holding a NUL byte, the message of a failed read or write).
std::string CheckedOsPath(Interpreter& in, const std::string& name);

// The file a reading command opens for `name`: when the run has a resource
// archive (a packed program, -resource) holding an entry of that name (any
// letter case), the entry extracted into the run's private temporary folder;
// else `name` itself. 読む/開く, ファイルコピー, 取り込む, 起動 and the commands
// that load pictures, sounds and icons look there first.
std::string PackedFirst(Interpreter& in, const std::string& name);

// "yyyy/mm/dd hh:nn:ss" in local time.
std::string FormatFileTime(std::time_t t);

// Hooks filled by other parts of the run-time; null until they are installed.
struct FileHooks {
  // The registry side of 関連付ける / 関連付けを削除 (keys under
  // HKEY_CLASSES_ROOT), installed by the registry store. CP932 texts; `command`
  // is the quoted application followed by "%1" in quotes.
  bool (*registry_has_extension)(const std::string& ext) = nullptr;
  void (*registry_associate)(const std::string& ext, const std::string& description,
                             const std::string& icon, const std::string& command) = nullptr;
  void (*registry_unassociate)(const std::string& ext) = nullptr;
};
FileHooks& GetFileHooks();

}  // namespace sorane
