// Files, folders and paths — questions about files (existence,
// attributes, dates, sizes, names), cutting paths, listing folders, and binary
// values inside variables.
//
// Attributes on this system: 1 read-only (the owner may not write), 2 hidden
// (a name beginning with "."), 4 system (a device, FIFO or socket), 16 folder,
// 32 archive (every regular file). Setting them changes only the read-only bit
// (the write permissions); hidden, system and archive cannot be set here.
#include <sys/stat.h>
#include <unistd.h>

#include "library/files/files_commands.h"
#include "library/files/files_util.h"
#include "library/library.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr long long kReadOnly = 1, kHidden = 2, kSystem = 4, kFolder = 16, kArchive = 32;

bool StatName(const std::string& name, struct stat& st) {
  if (name.empty() || !IsValidFileName(name)) return false;
  return stat(ToOsPath(name).c_str(), &st) == 0;
}

// The last component of a name, trailing separators left out.
std::string LastComponent(std::string name) {
  while (EndsWithPathSeparator(name)) name.pop_back();
  return ExtractFileName(name);
}

long long AttributesOf(const std::string& name, const struct stat& st) {
  long long a = 0;
  if (S_ISDIR(st.st_mode))
    a |= kFolder;
  else if (S_ISREG(st.st_mode))
    a |= kArchive;
  else
    a |= kSystem;
  if (!(st.st_mode & S_IWUSR)) a |= kReadOnly;
  std::string last = LastComponent(name);
  if (last.size() > 1 && last[0] == '.' && last != "..") a |= kHidden;
  return a;
}

// 存在するか (?が): a name ending in a separator asks for a folder, any other
// name for something that is not a folder.
void CmdExists(Interpreter& in, THashNode&) {
  std::string path = Trim(in.PopValue());
  struct stat st;
  bool ok = StatName(path, st) && (EndsWithPathSeparator(path) == S_ISDIR(st.st_mode));
  SetSoreValue(in, ok ? "1" : "0");
}

void CmdIsFolder(Interpreter& in, THashNode&) {
  struct stat st;
  SetSoreValue(in, StatName(Trim(in.PopValue()), st) && S_ISDIR(st.st_mode) ? "1" : "0");
}

void CmdIsFile(Interpreter& in, THashNode&) {
  struct stat st;
  SetSoreValue(in, StatName(Trim(in.PopValue()), st) && !S_ISDIR(st.st_mode) ? "1" : "0");
}

// ファイル属性取得 (?の)
void CmdGetAttributes(Interpreter& in, THashNode&) {
  std::string name = ResolveFileName(in, in.PopValue());
  struct stat st;
  long long a = StatName(name, st) ? AttributesOf(name, st) : -1;
  SetSoreMarked(in, std::to_string(a), "e");
}

// ファイル属性変更 (?を,?に): only the read-only bit has an effect.
void CmdSetAttributes(Interpreter& in, THashNode&) {
  std::string attr = in.PopValue();
  std::string name = in.PopValue();
  long long bits;
  if (!TryParseInteger(attr, bits)) return;
  std::string os = CheckedOsPath(in, name);
  struct stat st;
  if (stat(os.c_str(), &st) != 0) return;
  if (!SecurityCheck(in, name, QuotedQuestion(name, SJ("のファイル属性変更をしますか？")))) return;
  mode_t mode = st.st_mode & 07777;
  if (bits & kReadOnly) {
    mode &= ~mode_t(0222);
  } else if (!(mode & S_IWUSR)) {
    mode_t mask = umask(0);
    umask(mask);
    mode |= S_IWUSR | (0222 & ~mask & ((mode & 0444) >> 1));
  }
  chmod(os.c_str(), mode);
}

// The first entry that the name or pattern names (folder entries included).
bool FirstMatch(const std::string& pattern, struct stat& st) {
  std::string folder, name;
  SplitFolderAndName(pattern, folder, name);
  if (!HasFileWildcard(name)) return StatName(pattern, st);
  for (const ListedEntry& e : ListMatching(folder, name, ListKind::kAll)) {
    std::string os = ToOsPath(folder);
    if (stat((os.empty() ? e.os_name : os + "/" + e.os_name).c_str(), &st) == 0) return true;
  }
  return false;
}

// ファイル日時 (?の)
void CmdFileTime(Interpreter& in, THashNode&) {
  std::string pattern = in.PopValue();
  struct stat st;
  if (!FirstMatch(pattern, st)) RaiseFileFailure(in, pattern);
  SetSoreMarked(in, FormatFileTime(st.st_mtime), "s");
}

// ファイルサイズ (?の): a folder has size 0.
void CmdFileSize(Interpreter& in, THashNode&) {
  std::string pattern = in.PopValue();
  struct stat st;
  if (!FirstMatch(pattern, st)) RaiseFileFailure(in, pattern);
  SetSoreMarked(in, std::to_string(S_ISDIR(st.st_mode) ? 0 : st.st_size), "s");
}

// 短いファイル名取得 (?の): there are no short forms here; an existing file's
// name is returned as it is, a missing one gives "".
void CmdShortName(Interpreter& in, THashNode&) {
  std::string name = ResolveFileName(in, in.PopValue());
  struct stat st;
  SetSoreMarked(in, StatName(name, st) ? name : std::string(), "s");
}

// The absolute path with every component spelled as on disk (a component
// found only with another letter case takes the disk's spelling).
std::string LongName(const std::string& name) {
  std::string abs = NormalizeOsPath(AbsoluteOsPath(ToOsPath(name)));
  std::string out;
  size_t i = 1;
  while (i <= abs.size() && abs != "/") {
    size_t slash = abs.find('/', i);
    if (slash == std::string::npos) slash = abs.size();
    std::string part = abs.substr(i, slash - i);
    struct stat st;
    if (lstat((out + "/" + part).c_str(), &st) != 0) {
      std::vector<DirEntry> entries;
      ListOsFolder(out.empty() ? "/" : out, entries);
      std::string folded = AsciiUpper(part);
      for (const DirEntry& e : entries)
        if (AsciiUpper(e.name) == folded) {
          part = e.name;
          break;
        }
    }
    out += "/" + part;
    i = slash + 1;
  }
  return FromOsPath(out.empty() ? "/" : out);
}

// 長いファイル名取得 (?の)
void CmdLongName(Interpreter& in, THashNode&) {
  std::string name = ResolveFileName(in, in.PopValue());
  CheckedOsPath(in, name);
  SetSoreMarked(in, LongName(name), "s");
}

void CmdCutPath(Interpreter& in, THashNode&) {
  SetSoreMarked(in, CutFolderPart(in.PopValue()), "s");
}

void CmdCutFileName(Interpreter& in, THashNode&) {
  SetSoreMarked(in, ExtractFileName(in.PopValue()), "s");
}

void CmdCutExtension(Interpreter& in, THashNode&) {
  SetSoreMarked(in, CutExtension(in.PopValue()), "s");
}

// 拡張子変更 (?を,?に)
void CmdChangeExtension(Interpreter& in, THashNode&) {
  std::string ext = in.PopValue();
  std::string path = in.PopValue();
  SetSoreMarked(in, ChangeExtension(path, ext), "s");
}

// The ";"-separated patterns of a listing; a pattern ending in a separator
// lists the whole folder.
std::vector<std::string> Patterns(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t semi = text.find(';', start);
    if (semi == std::string::npos) semi = text.size();
    std::string p = Trim(text.substr(start, semi - start));
    if (!p.empty()) {
      if (EndsWithPathSeparator(p)) p += '*';
      out.push_back(std::move(p));
    }
    start = semi + 1;
  }
  return out;
}

void ListNames(Interpreter& in, ListKind kind) {
  std::string text = in.PopValue();
  if (text.empty()) return;
  std::string out;
  for (const std::string& p : Patterns(text)) {
    std::string folder, name;
    SplitFolderAndName(p, folder, name);
    if (!IsValidFileName(p)) continue;
    for (const ListedEntry& e : ListMatching(folder, name, kind)) out += e.name + "\r\n";
  }
  SetSoreValue(in, std::move(out));
}

void CmdListFiles(Interpreter& in, THashNode&) {
  ListNames(in, ListKind::kFiles);
}
void CmdListFolders(Interpreter& in, THashNode&) {
  ListNames(in, ListKind::kFolders);
}

// Files matching `name` in `folder`, then the same in each subfolder. Folders
// whose names begin with "." and links to folders are not entered.
void ListTree(const std::string& folder, const std::string& name, std::string& out) {
  for (const ListedEntry& e : ListMatching(folder, name, ListKind::kFiles))
    out += folder + e.name + "\r\n";
  for (const ListedEntry& e : ListMatching(folder, "*", ListKind::kFolders))
    if (!e.is_link && e.name[0] != '.') ListTree(folder + e.name + "/", name, out);
}

// 全ファイル列挙 (?の)
void CmdListAllFiles(Interpreter& in, THashNode&) {
  SetSoreMarked(in, "", "s");
  std::string text = in.PopValue();
  std::string out;
  for (const std::string& p : Patterns(text)) {
    if (!IsValidFileName(p)) continue;
    std::string folder, name;
    SplitFolderAndName(p, folder, name);
    ListTree(folder, name.empty() ? "*" : name, out);
  }
  SetSoreMarked(in, std::move(out), "s");
}

// ---------------------------------------------------------------- binary values

void CmdBinaryDump(Interpreter& in, THashNode&) {
  SetSoreMarked(in, BinaryDump(in.PopValue()), "s");
}

// バイナリ取得 (?の,?を,?形式で)
void CmdBinaryGet(Interpreter& in, THashNode&) {
  BinaryFormat format = ParseBinaryFormat(in.PopValue());
  long long position = in.PopInt();
  THashNode* var = in.PopName(false);
  if (format == BinaryFormat::kUnknown) return;
  bool number = false;
  std::string v = BinaryRead(var->Value, position, format, number);
  if (format == BinaryFormat::kCharZ)
    SetSoreValue(in, std::move(v));
  else
    in.SetSore(std::move(v), number ? "e" : "s");
}

// バイナリ設定 (?を,?の,?に,?形式で)
void CmdBinarySet(Interpreter& in, THashNode&) {
  BinaryFormat format = ParseBinaryFormat(in.PopValue());
  long long position = in.PopInt();
  THashNode* var = in.PopName(false);
  std::string value = in.PopValue();
  BinaryWrite(var->Value, position, format, value);
}

}  // namespace

CommandTable FileInfoCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::SetAttributes, "ファイル属性変更", "?を,?に", Popping<CmdSetAttributes>, kActs},
      {CommandId::ListFiles, "ファイル列挙", "?の", Popping<CmdListFiles>, kActs},
      {CommandId::IsFolder, "フォルダか", "?が", Popping<CmdIsFolder>, kActs},
      {CommandId::IsFile, "ファイルか", "?が", Popping<CmdIsFile>, kActs},
      {CommandId::Exists, "存在するか", "?が", Popping<CmdExists>, kActs},
      {CommandId::ListFolders, "フォルダ列挙", "?の", Popping<CmdListFolders>, kActs},
      {CommandId::CutPath, "パスを切り出す", "?から", Popping<CmdCutPath>, kActs},
      {CommandId::CutExtension, "拡張子を切り出す", "?から", Popping<CmdCutExtension>, kActs},
      {CommandId::FileTime, "ファイル日時", "?の", Popping<CmdFileTime>, kActs},
      {CommandId::FileSize, "ファイルサイズ", "?の", Popping<CmdFileSize>, kActs},
      {CommandId::ListAllFiles, "全ファイル列挙", "?の", Popping<CmdListAllFiles>, kActs},
      {CommandId::CutFileName, "ファイル名を切り出す", "?から", Popping<CmdCutFileName>, kActs},
      {CommandId::ChangeExtension, "拡張子変更", "?を,?に", Popping<CmdChangeExtension>, kActs},
      {CommandId::BinaryDump, "バイナリダンプ", "?を", Popping<CmdBinaryDump>, kActs},
      {CommandId::GetAttributes, "ファイル属性取得", "?の", Popping<CmdGetAttributes>, kActs},
      {CommandId::ShortName, "短いファイル名取得", "?の", Popping<CmdShortName>, kActs},
      {CommandId::LongName, "長いファイル名取得", "?の", Popping<CmdLongName>, kActs},
      {CommandId::BinaryGet, "バイナリ取得", "?の,?を,?形式で", Popping<CmdBinaryGet>, kActs},
      {CommandId::BinarySet, "バイナリ設定", "?を,?の,?に,?形式で", Popping<CmdBinarySet>, kActs},
  };
  return kRows;
}

}  // namespace sorane
