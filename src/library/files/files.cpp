// Files, folders and paths — whole-file reading and writing, copying,
// moving, renaming, deleting, folders and the current folder.
//
// Every command that changes something asks the security policy first with the
// name it will really use (reading commands search the usual folders with
// ResolveFileName; writing commands never do) and does nothing when refused.
// Every file that is replaced is written safely (platform/safe_write.h).
#include "platform/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "library/files/files_commands.h"
#include "library/files/files_util.h"
#include "library/files/text_encoding.h"
#include "library/library.h"
#include "library/objects/object_access.h"
#include "platform/file_ops.h"
#include "platform/path_resolve.h"
#include "platform/safe_write.h"
#include "platform/trash.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

// ---------------------------------------------------------------- shared pieces

void RaiseFileFailure(Interpreter& in, const std::string& name, const std::string& tail) {
  in.Raise(Format(msg::FileFailure(), name) + tail);
}

std::string FromProgramFolder(Interpreter& in, const std::string& name) {
  if (name.empty() || IsAbsoluteName(name)) return name;
  return in.S.HostPath + name;
}

void SplitFolderAndName(const std::string& path, std::string& folder, std::string& name) {
  folder = ExtractFolder(path);
  name = path.substr(folder.size());
}

std::vector<ListedEntry> ListMatching(const std::string& folder, const std::string& pattern,
                                      ListKind kind) {
  std::vector<ListedEntry> out;
  std::vector<DirEntry> entries;
  std::string os = ToOsPath(folder);
  if (!ListOsFolder(os.empty() ? std::string(".") : os, entries)) return out;
  for (DirEntry& e : entries) {
    if ((kind == ListKind::kFiles && e.is_dir) || (kind == ListKind::kFolders && !e.is_dir))
      continue;
    std::string name = FromOsPath(e.name);
    if (!MatchFileWildcard(pattern, name)) continue;
    out.push_back({std::move(name), std::move(e.name), e.is_dir, e.is_link});
  }
  std::sort(out.begin(), out.end(),
            [](const ListedEntry& a, const ListedEntry& b) { return NameLess(a.name, b.name); });
  return out;
}

namespace {

bool PathExists(const std::string& os) {
  struct stat st;
  return lstat(os.c_str(), &st) == 0;
}

std::string JoinOs(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsClipboardWord(const std::string& raw) {
  return raw == SJ("クリップボード");
}

// The pseudo-file クリップボード is the host's clipboard (the console keeps
// one inside the process).
std::string ClipboardText(Interpreter& in) {
  return in.host.Clipboard().ClipboardText();
}

void SetClipboardText(Interpreter& in, const std::string& text) {
  in.host.Clipboard().SetClipboardText(text);
}

// ---------------------------------------------------------------- whole files

// 読む / 開く (?に,?を): the file item is looked at as written before it is
// evaluated (the word クリップボード names the clipboard).
void CmdRead(Call& c) {
  Interpreter& in = c.in;
  const bool clipboard = IsClipboardWord(c.Raw(1));
  THashNode* var = c.Word(0, true);
  std::string text;
  if (clipboard) {
    text = ClipboardText(in);
  } else {
    std::string name = ResolveFileName(in, PackedFirst(in, c.Text(1)));
    std::string os = CheckedOsPath(in, name);
    if (!ReadFileBytes(name, text)) RaiseFileFailure(in, name);
    DecodeFileText(in, os, text);
  }
  // Read into an object: the text becomes its default value (an エディタ's text).
  if (var->Kind == kWordObject) return SetDefaultOf(in, var, text);
  var->ValueToWrite() = std::move(text);
  var->TypeMark = "s";
}

// 書く / 保存 (?を,?へ): the destination is evaluated after the text.
void CmdWrite(Call& c) {
  Interpreter& in = c.in;
  // A variable written whole is not copied (it may hold a file of many
  // megabytes) while nothing else runs: reading the file name runs nothing,
  // and the value is copied before a question lets the script's events run.
  bool in_place = c.ReadsNothingElse(1) && c.ValueInPlace(0);
  std::string text = in_place ? std::string() : c.Text(0);
  auto written = [&]() -> const std::string& { return in_place ? *c.VariableInPlace(0) : text; };
  if (IsClipboardWord(c.Raw(1))) return SetClipboardText(in, written());
  std::string name = c.Text(1);
  std::string os = CheckedOsPath(in, name);
  auto copy_before_asking = [&] {
    if (in_place) text = written();
    in_place = false;
  };
  if (!SecurityCheck(in, name, QuotedQuestion(name, SJ("へ書き込みます。")), copy_before_asking))
    return;
  std::string encoded;
  if (!WriteOsFileAtomic(os, EncodedFileText(in, os, written(), FileWrite::kReplace, encoded)))
    RaiseFileFailure(in, name);
}

// 追加保存 (?を,?へ): the destination is evaluated after the text.
void CmdAppend(Call& c) {
  Interpreter& in = c.in;
  std::string text = c.Text(0);
  if (IsClipboardWord(c.Raw(1))) return SetClipboardText(in, ClipboardText(in) + text);
  std::string name = c.Text(1);
  std::string os = CheckedOsPath(in, name);
  if (!FileExists(name)) in.Raise(msg::FileMissing(), name);
  if (!SecurityCheck(in, name, SJ("ファイル\"") + name + SJ("\"へ文字列を追加します。"))) return;
  EncodeFileText(in, os, text, FileWrite::kAppend);
  if (!AppendOsFile(os, text, false)) RaiseFileFailure(in, name);
}

// ---------------------------------------------------------------- copy, move, rename

struct Transfer {
  std::string from_os, to_os;
  std::string from, to;  // CP932, for the policy
};

struct TransferPlan {
  std::vector<Transfer> items;
  bool into_folder = false;  // the destination is a folder that may need creating
};

// What a copy or move of `from` (a name or a pattern) to `to` does: a pattern,
// or a destination that is a folder (existing, or written with a trailing
// separator), puts each item into that folder under its own name; otherwise
// the destination is the new name. A missing source gives nothing.
TransferPlan PlanTransfer(Interpreter& in, const std::string& from, const std::string& to) {
  TransferPlan plan;
  std::string from_os = CheckedOsPath(in, from);
  std::string to_os = CheckedOsPath(in, to);
  if (from.empty() || to.empty()) return plan;
  std::string folder, pattern;
  SplitFolderAndName(from, folder, pattern);
  bool wild = HasFileWildcard(pattern);
  plan.into_folder = wild || FolderExists(to) || EndsWithPathSeparator(to);
  std::string to_folder = to;
  if (plan.into_folder && !EndsWithPathSeparator(to_folder)) to_folder += '/';
  if (wild) {
    for (const ListedEntry& e : ListMatching(folder, pattern, ListKind::kAll))
      plan.items.push_back({JoinOs(ToOsPath(folder), e.os_name), JoinOs(to_os, e.os_name),
                            folder + e.name, to_folder + e.name});
  } else if (PathExists(from_os)) {
    std::string base = ExtractFileName(from);
    if (plan.into_folder)
      plan.items.push_back({from_os, JoinOs(to_os, ToOsPath(base)), from, to_folder + base});
    else
      plan.items.push_back({from_os, to_os, from, to});
  }
  return plan;
}

// Adds the names a copy of `from_os` to `to` writes: `to` itself and, for a
// folder, every entry below it under `to`. Links in the source are copied as
// links and not entered. Each name is judged by the policy as the copy reaches
// it, so a link already in the destination that leads outside (or to
// security.ini) is caught at the file written through it.
void AddWrittenNames(const std::string& from_os, const std::string& to,
                     std::vector<PolicyTarget>& out) {
  out.push_back({to});
  struct stat st;
  if (lstat(from_os.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  std::vector<DirEntry> entries;
  if (!ListOsFolder(from_os, entries)) return;
  std::string folder = to;
  if (!EndsWithPathSeparator(folder)) folder += '/';
  for (const DirEntry& e : entries) {
    std::string from_entry = JoinOs(from_os, e.name);
    std::string to_entry = folder + FromOsPath(e.name);
    if (e.is_dir && !e.is_link)
      AddWrittenNames(from_entry, to_entry, out);
    else
      out.push_back({to_entry});
  }
}

// A copy, move or rename of a file onto itself (the same file under another
// spelling: a link, "..", letter case) does nothing and says so.
void RefuseSameFile(Interpreter& in, const Transfer& t, const std::string& action) {
  if (SameOsFile(t.from_os, t.to_os))
    in.Raise(Format(SJ("ファイル\"%s\"と\"%s\"は、同じファイルです。"), t.from, t.to) + action);
}

// A copy or move that failed part-way: what was there stays (see file_ops.h);
// the script hears why.
[[noreturn]] void RaiseTransferFailure(Interpreter& in, const std::string& name,
                                       const std::string& action) {
  int e = errno;
  RaiseFileFailure(in, name, action + SJ("。理由は、") + SystemReason(e));
}

// ファイルコピー (?から,?へ)
void CmdCopy(Call& c) {
  Interpreter& in = c.in;
  std::string to = Trim(c.Text(1));
  std::string from = ResolveFileName(in, PackedFirst(in, Trim(c.Text(0))));
  TransferPlan plan = PlanTransfer(in, from, to);
  if (plan.items.empty()) return;
  // A destination folder still to be created is judged through the names
  // below it: they are reached by the same walk that creates it.
  std::vector<PolicyTarget> targets;
  for (const Transfer& t : plan.items) AddWrittenNames(t.from_os, t.to, targets);
  std::string question = SJ("ファイル\"") + from + SJ("\"を、\"") + to + SJ("\"へコピーします。");
  if (!SecurityCheck(in, targets, question)) return;
  for (const Transfer& t : plan.items) RefuseSameFile(in, t, SJ("コピーできません。"));
  if (plan.into_folder) MakeOsFolders(ToOsPath(to));
  for (const Transfer& t : plan.items)
    if (!CopyOsTree(t.from_os, t.to_os)) RaiseTransferFailure(in, t.from, SJ("ファイルのコピー"));
}

// ファイル移動 (?から,?へ): the security.ini guard applies to every source and
// destination; the move is silent only when all of them are inside.
void CmdMove(Call& c) {
  Interpreter& in = c.in;
  std::string to = c.Text(1);
  std::string from = c.Text(0);
  TransferPlan plan = PlanTransfer(in, from, to);
  if (plan.items.empty()) return;
  // The sources are taken away as names (a link moves as a link); what arrives
  // is judged as a copy would write it, for a move across file systems copies.
  std::vector<PolicyTarget> targets = {{from, FinalLink::kKeep}};
  for (const Transfer& t : plan.items) {
    targets.push_back({t.from, FinalLink::kKeep});
    AddWrittenNames(t.from_os, t.to, targets);
  }
  std::string question =
      QuotedQuestion(from, SJ("を,")) + QuotedQuestion(to, SJ("へ移動しますか？"));
  if (!SecurityCheck(in, targets, question)) return;
  for (const Transfer& t : plan.items) RefuseSameFile(in, t, SJ("移動できません。"));
  if (plan.into_folder) MakeOsFolders(ToOsPath(to));
  for (const Transfer& t : plan.items)
    if (!MoveOsPath(t.from_os, t.to_os)) RaiseTransferFailure(in, t.from, SJ("ファイルの移動"));
}

// True when `a` and `b` name one entry of one folder spelt with other letter
// case (a file system that ignores case): renaming changes only the spelling.
bool CaseOnlyRename(const std::string& a, const std::string& b) {
  auto split = [](const std::string& p, std::string& folder, std::string& name) {
    size_t slash = p.rfind('/');
    folder = slash == std::string::npos ? "." : p.substr(0, slash + 1);
    name = slash == std::string::npos ? p : p.substr(slash + 1);
  };
  std::string fa, na, fb, nb;
  split(a, fa, na);
  split(b, fb, nb);
  return na != nb && AsciiUpper(na) == AsciiUpper(nb) && SameOsFile(fa, fb);
}

// Renames without ever replacing an existing file.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (NormalizeOsPath(AbsoluteOsPath(from)) == NormalizeOsPath(AbsoluteOsPath(to)))
    return PathExists(from);
  if (CaseOnlyRename(from, to)) return rename(from.c_str(), to.c_str()) == 0;
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EXDEV) return false;
  if (!PathExists(from)) {
    errno = ENOENT;
    return false;
  }
  if (PathExists(to)) {
    errno = EEXIST;
    return false;
  }
  return MoveOsPath(from, to);
}

// ファイル名変更 (?から,?へ)
void CmdRename(Call& c) {
  Interpreter& in = c.in;
  std::string to = c.Text(1);
  std::string from = c.Text(0);
  std::string from_os = CheckedOsPath(in, from);
  std::string to_os = CheckedOsPath(in, to);
  std::string question = Format(SJ("ファイル名\"%s\"を、\r\n\"%s\"に、改名します。"), from, to);
  // A rename acts on the names themselves, never through a final link.
  if (!SecurityCheck(in, {{from, FinalLink::kKeep}, {to, FinalLink::kKeep}}, question)) return;
  if (NormalizeOsPath(AbsoluteOsPath(from_os)) != NormalizeOsPath(AbsoluteOsPath(to_os)) &&
      !CaseOnlyRename(from_os, to_os))
    RefuseSameFile(in, {from_os, to_os, from, to}, SJ("名前を変更できません。"));
  if (!RenameNoReplace(from_os, to_os)) RaiseFileFailure(in, from, SJ("ファイル名の変更"));
}

// ---------------------------------------------------------------- deleting

// ファイル削除 (?を): into the trash.
void CmdDelete(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  if (name.empty()) return;
  std::string target = FromProgramFolder(in, name);
  std::string os = CheckedOsPath(in, target);
  std::string folder, pattern;
  SplitFolderAndName(target, folder, pattern);
  std::vector<std::string> victims;
  std::vector<std::string> names;
  if (HasFileWildcard(pattern)) {
    for (const ListedEntry& e : ListMatching(folder, pattern, ListKind::kAll)) {
      victims.push_back(JoinOs(ToOsPath(folder), e.os_name));
      names.push_back(folder + e.name);
    }
  } else if (PathExists(os)) {
    victims.push_back(os);
  }
  if (victims.empty()) return;
  if (!SecurityCheck(in, {{target, FinalLink::kKeep}},
                     SJ("ファイル\"") + target + SJ("\"を、削除します。")))
    return;
  for (size_t i = 0; i < victims.size(); ++i) {
    if (i < names.size() && !SecurityIniGuard(in, names[i])) continue;
    MoveToTrash(victims[i]);
  }
}

// ファイル完全削除 (?を)
void CmdDeleteNow(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  if (name.empty()) return;
  std::string target = FromProgramFolder(in, name);
  std::string os = CheckedOsPath(in, target);
  struct stat st;
  if (lstat(os.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;  // files only
  if (!SecurityCheck(in, {{target, FinalLink::kKeep}},
                     SJ("ファイル\"") + target + SJ("\"を、完全に削除します。")))
    return;
  unlink(os.c_str());
}

// ---------------------------------------------------------------- folders

[[noreturn]] void RaiseNeedArgument(const Call& c) {
  c.in.Raise(SJ("\"%s\"命令の引数に誤りがあります。引数を指定してください。"), c.cmd.Name);
}

// フォルダ作成 (?へ)
void CmdMakeFolder(Call& c) {
  Interpreter& in = c.in;
  std::string folder = Trim(c.Text(0));
  if (folder.empty()) RaiseNeedArgument(c);
  std::string os = CheckedOsPath(in, folder);
  if (!SecurityCheck(in, folder, QuotedQuestion(folder, SJ(" にフォルダを作成します。")))) return;
  if (!MakeOsFolders(os))
    in.Raise(Format(SJ("フォルダ\"%s\"を作成できません。"), folder) + SystemReason(errno));
}

// フォルダ削除 (?の): the folder and everything in it; links inside are
// removed, never followed; a link named as the folder is removed itself.
void CmdRemoveFolder(Call& c) {
  Interpreter& in = c.in;
  std::string folder = Trim(c.Text(0));
  if (folder.empty()) RaiseNeedArgument(c);
  std::string os = CheckedOsPath(in, folder);
  while (os.size() > 1 && os.back() == '/') os.pop_back();
  if (os == "/" || CanonicalOsPath(os) == "/") RaiseNeedArgument(c);
  struct stat st;
  if (lstat(os.c_str(), &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode))) return;
  if (!SecurityCheck(in, {{folder, FinalLink::kKeep}},
                     SJ("フォルダ\"") + folder + SJ("\"を、中身ごと削除します。")))
    return;
  if (S_ISLNK(st.st_mode)) {
    unlink(os.c_str());
    return;
  }
  RemoveOsTree(os);
}

void ChangeFolder(const Call& c, const std::string& folder) {
  std::string os = CheckedOsPath(c.in, folder);
  if (chdir(os.c_str()) != 0)
    c.in.Raise(QuoteName(c.cmd.Name) + SJ("で作業フォルダの変更に失敗。理由は、") +
               SystemReason(errno));
}

// 作業フォルダ変更 / 作業ディレクトリ変更 (?へ)
void CmdChangeFolder(Call& c) {
  ChangeFolder(c, Trim(c.Text(0)));
}

// 作業フォルダ (?へ): with the argument left out, the current folder; with
// one, changes it (also reached by the assignment 『作業フォルダは、「…」』).
// 作業ディレクトリ has no slot: the item on the argument stack, when there is
// one (a value written before it, or the assigned value), is the folder to
// change to; without one it does nothing.
void CmdWorkFolder(Call& c) {
  if (c.in.S.SoreImplied) {
    c.ReturnMarked(CurrentFolder(), "s");
    return;
  }
  if (c.SlotCount() > 0) return ChangeFolder(c, Trim(c.Text(0)));
  TStack& items = c.in.S.ArgStack;
  if (items.Empty()) return;
  ChangeFolder(c, Trim(c.in.Evaluate(items.PopLast())));
}

}  // namespace

CommandTable FileCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::ReadFile, "読む", "?に,?を", CmdRead, kActs},
      {CommandId::ReadFile, "開く", "?に,?を", CmdRead, kActs},
      {CommandId::WriteFile, "書く", "?を,?へ", CmdWrite, kActs},
      {CommandId::WriteFile, "保存", "?を,?へ", CmdWrite, kActs},
      {CommandId::FileCopy, "ファイルコピー", "?から,?へ", CmdCopy, kActs},
      {CommandId::DeleteFile, "ファイル削除", "?を", CmdDelete, kActs},
      {CommandId::FileRename, "ファイル名変更", "?から,?へ", CmdRename, kActs},
      {CommandId::FileMove, "ファイル移動", "?から,?へ", CmdMove, kActs},
      {CommandId::ChangeFolder, "作業フォルダ変更", "?へ", CmdChangeFolder, kActs},
      {CommandId::ChangeFolder, "作業ディレクトリ変更", "?へ", CmdChangeFolder, kActs},
      {CommandId::MakeFolder, "フォルダ作成", "?へ", CmdMakeFolder, kActs},
      {CommandId::RemoveFolder, "フォルダ削除", "?の", CmdRemoveFolder, kActs},
      {CommandId::WorkFolder, "作業フォルダ", "?へ", CmdWorkFolder, kActs},
      {CommandId::WorkFolder, "作業ディレクトリ", "", CmdWorkFolder, kActs},
      {CommandId::Append, "追加保存", "?を,?へ", CmdAppend, kActs},
      {CommandId::DeleteNow, "ファイル完全削除", "?を", CmdDeleteNow, kActs},
  };
  return kRows;
}

}  // namespace sorane
