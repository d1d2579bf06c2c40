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
void CmdExists(Call& c) {
  std::string path = Trim(c.Text(0));
  struct stat st;
  bool ok = StatName(path, st) && (EndsWithPathSeparator(path) == S_ISDIR(st.st_mode));
  c.ReturnValueOnly(ok ? "1" : "0");
}

// フォルダか / ファイルか (?が)
void CmdIsFolder(Call& c) {
  struct stat st;
  c.ReturnValueOnly(StatName(Trim(c.Text(0)), st) && S_ISDIR(st.st_mode) ? "1" : "0");
}

void CmdIsFile(Call& c) {
  struct stat st;
  c.ReturnValueOnly(StatName(Trim(c.Text(0)), st) && !S_ISDIR(st.st_mode) ? "1" : "0");
}

// ファイル属性取得 (?の)
void CmdGetAttributes(Call& c) {
  std::string name = ResolveFileName(c.in, c.Text(0));
  struct stat st;
  long long a = StatName(name, st) ? AttributesOf(name, st) : -1;
  c.ReturnMarked(std::to_string(a), "e");
}

// ファイル属性変更 (?を,?に): only the read-only bit has an effect.
void CmdSetAttributes(Call& c) {
  Interpreter& in = c.in;
  std::string attr = c.Text(1);
  std::string name = c.Text(0);
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
void CmdFileTime(Call& c) {
  std::string pattern = c.Text(0);
  struct stat st;
  if (!FirstMatch(pattern, st)) RaiseFileFailure(c.in, pattern);
  c.ReturnMarked(FormatFileTime(st.st_mtime), "s");
}

// ファイルサイズ (?の): a folder has size 0.
void CmdFileSize(Call& c) {
  std::string pattern = c.Text(0);
  struct stat st;
  if (!FirstMatch(pattern, st)) RaiseFileFailure(c.in, pattern);
  c.ReturnMarked(std::to_string(S_ISDIR(st.st_mode) ? 0 : st.st_size), "s");
}

// 短いファイル名取得 (?の): there are no short forms here; an existing file's
// name is returned as it is, a missing one gives "".
void CmdShortName(Call& c) {
  std::string name = ResolveFileName(c.in, c.Text(0));
  struct stat st;
  c.ReturnMarked(StatName(name, st) ? name : std::string(), "s");
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
void CmdLongName(Call& c) {
  std::string name = ResolveFileName(c.in, c.Text(0));
  CheckedOsPath(c.in, name);
  c.ReturnMarked(LongName(name), "s");
}

// パスを切り出す / ファイル名を切り出す / 拡張子を切り出す (?から)
void CmdCutPath(Call& c) {
  c.ReturnMarked(CutFolderPart(c.Text(0)), "s");
}

void CmdCutFileName(Call& c) {
  c.ReturnMarked(ExtractFileName(c.Text(0)), "s");
}

void CmdCutExtension(Call& c) {
  c.ReturnMarked(CutExtension(c.Text(0)), "s");
}

// 拡張子変更 (?を,?に)
void CmdChangeExtension(Call& c) {
  std::string ext = c.Text(1);
  std::string path = c.Text(0);
  c.ReturnMarked(ChangeExtension(path, ext), "s");
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

// ファイル列挙 / フォルダ列挙 (?の)
void ListNames(Call& c, ListKind kind) {
  std::string text = c.Text(0);
  if (text.empty()) return;
  std::string out;
  for (const std::string& p : Patterns(text)) {
    std::string folder, name;
    SplitFolderAndName(p, folder, name);
    if (!IsValidFileName(p)) continue;
    for (const ListedEntry& e : ListMatching(folder, name, kind)) out += e.name + "\r\n";
  }
  c.ReturnValueOnly(std::move(out));
}

void CmdListFiles(Call& c) {
  ListNames(c, ListKind::kFiles);
}
void CmdListFolders(Call& c) {
  ListNames(c, ListKind::kFolders);
}

// Files matching `name` in `folder`, then the same in each subfolder. Folders
// whose names begin with "." and links to folders are not entered.
void ListTree(const std::string& folder, const std::string& name, std::string& out) {
  for (const ListedEntry& e : ListMatching(folder, name, ListKind::kFiles))
    out += folder + e.name + "\r\n";
  for (const ListedEntry& e : ListMatching(folder, "*", ListKind::kFolders))
    if (!e.is_link && e.name[0] != '.') ListTree(folder + e.name + "/", name, out);
}

// 全ファイル列挙 (?の): それ is emptied before the patterns are evaluated.
void CmdListAllFiles(Call& c) {
  c.ReturnMarked("", "s");
  std::string text = c.Text(0);
  std::string out;
  for (const std::string& p : Patterns(text)) {
    if (!IsValidFileName(p)) continue;
    std::string folder, name;
    SplitFolderAndName(p, folder, name);
    ListTree(folder, name.empty() ? "*" : name, out);
  }
  c.ReturnMarked(std::move(out), "s");
}

// ---------------------------------------------------------------- binary values

// バイナリダンプ (?を)
void CmdBinaryDump(Call& c) {
  c.ReturnMarked(BinaryDump(c.Text(0)), "s");
}

// バイナリ取得 (?の,?を,?形式で)
void CmdBinaryGet(Call& c) {
  BinaryFormat format = ParseBinaryFormat(c.Text(2));
  long long position = c.Int(1);
  THashNode* var = c.Word(0, false);
  if (format == BinaryFormat::kUnknown) return;
  bool number = false;
  std::string v = BinaryRead(var->Value(), position, format, number);
  if (format == BinaryFormat::kCharZ)
    c.ReturnValueOnly(std::move(v));
  else
    c.ReturnCommon(std::move(v), number ? "e" : "s");
}

// バイナリ設定 (?を,?の,?に,?形式で)
void CmdBinarySet(Call& c) {
  BinaryFormat format = ParseBinaryFormat(c.Text(3));
  long long position = c.Int(2);
  THashNode* var = c.Word(1, false);
  std::string value = c.Text(0);
  BinaryWrite(var->ValueToWrite(), position, format, value);
}

}  // namespace

CommandTable FileInfoCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::SetAttributes, "ファイル属性変更", "?を,?に", CmdSetAttributes, kActs},
      {CommandId::ListFiles, "ファイル列挙", "?の", CmdListFiles, kActs},
      {CommandId::IsFolder, "フォルダか", "?が", CmdIsFolder, kActs},
      {CommandId::IsFile, "ファイルか", "?が", CmdIsFile, kActs},
      {CommandId::Exists, "存在するか", "?が", CmdExists, kActs},
      {CommandId::ListFolders, "フォルダ列挙", "?の", CmdListFolders, kActs},
      {CommandId::CutPath, "パスを切り出す", "?から", CmdCutPath, kActs},
      {CommandId::CutExtension, "拡張子を切り出す", "?から", CmdCutExtension, kActs},
      {CommandId::FileTime, "ファイル日時", "?の", CmdFileTime, kActs},
      {CommandId::FileSize, "ファイルサイズ", "?の", CmdFileSize, kActs},
      {CommandId::ListAllFiles, "全ファイル列挙", "?の", CmdListAllFiles, kActs},
      {CommandId::CutFileName, "ファイル名を切り出す", "?から", CmdCutFileName, kActs},
      {CommandId::ChangeExtension, "拡張子変更", "?を,?に", CmdChangeExtension, kActs},
      {CommandId::BinaryDump, "バイナリダンプ", "?を", CmdBinaryDump, kActs},
      {CommandId::GetAttributes, "ファイル属性取得", "?の", CmdGetAttributes, kActs},
      {CommandId::ShortName, "短いファイル名取得", "?の", CmdShortName, kActs},
      {CommandId::LongName, "長いファイル名取得", "?の", CmdLongName, kActs},
      {CommandId::BinaryGet, "バイナリ取得", "?の,?を,?形式で", CmdBinaryGet, kActs},
      {CommandId::BinarySet, "バイナリ設定", "?を,?の,?に,?形式で", CmdBinarySet, kActs},
  };
  return kRows;
}

}  // namespace sorane
