// The archive commands (ファイル合成, 合成ファイル取り出す), scrambled files
// (暗号化して保存, 暗号解除して読込) and shared memory (共有保存, 共有読込).
// The launch commands are in launch.cpp; the table of the family is here.
#include <algorithm>
#include <cstring>
#include <map>

#include "library/files/files_util.h"
#include "library/strings/strings_util.h"
#include "packaging/filemix.h"
#include "packaging/packaging.h"
#include "packaging/scrambler.h"
#include "platform/files.h"
#include "platform/safe_write.h"
#include "platform/shared_memory.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/sjis.h"
#include "words/hash.h"

namespace sorane {

namespace {

std::string BadArgumentWith(Call& c, const std::string& detail) {
  return Format(msg::BadArgument(), c.cmd.Name) + ":" + detail;
}

// ---------------------------------------------------------------- archives

// ファイル合成 (?を, ?へ): the list's lines are "file=name=flag" ("," may stand
// for "="), or plain file names stored under their own names, unscrambled. The
// archive is replaced only when it was written whole; otherwise the old one
// stays and the failure is recorded as a warning.
void CmdFileMixJoin(Call& c) {
  Interpreter& in = c.in;
  std::string list = Trim(c.Text(0));
  std::string archive = Trim(c.Text(1));
  if (!SecurityCheck(in, archive, QuotedQuestion(archive, SJ("へ保存します。")))) return;
  std::string os = CheckedOsPath(in, archive);
  list = ReplaceText(list, ",", "=", true);
  const bool named = list.find('=') != std::string::npos;
  TFileMixWriter writer;
  for (std::string_view line : SplitLines(list)) {
    if (line.empty()) continue;
    std::string text(line);
    writer.Files.push_back(named ? text : text + "=" + ExtractFileName(text) + "=0");
  }
  if (writer.Files.size() > kFileMixMaxEntries)
    in.Raise(BadArgumentWith(c, SJ("合成できるファイルは65535個までです。")));
  FileMixWriteResult result = writer.SaveToFile(os);
  switch (result.status) {
    case FileMixWriteResult::kOk:
      return;
    case FileMixWriteResult::kEmptyName:
      in.Raise(BadArgumentWith(c, "\"" + result.what + SJ("\"には、格納する名前がありません。")));
    case FileMixWriteResult::kBadFlag:
      return in.Warn(BadArgumentWith(c, "\"" + result.what + SJ("\"のフラグは0から255です。")));
    case FileMixWriteResult::kUnreadable:
      return in.Warn(Format(msg::FileFailure(), FromOsPath(result.what)));
    case FileMixWriteResult::kTooLarge:
      return in.Warn(Format(SJ("\"%s\"は、4GBを超えるため作れません。"), archive));
    case FileMixWriteResult::kWriteFailed:
      return in.Warn(Format(msg::FileFailure(), archive));
  }
}

// 合成ファイル取り出す (?から,?を): the entry's data up to its first NUL byte.
void CmdFileMixExtract(Call& c) {
  Interpreter& in = c.in;
  std::string archive = Trim(c.Text(0));
  std::string name = c.Text(1);
  std::string os = CheckedOsPath(in, ResolveFileName(in, archive));
  std::unique_ptr<TFileMixReader> reader;
  try {
    reader = TFileMixReader::Open(os, archive);
  } catch (const FileMixError& e) {
    in.Raise(e.what());
  }
  const FileMixEntry* entry = reader->Find(name);
  if (!entry) in.Raise(msg::FileMissing(), name);
  std::string data;
  if (!reader->Read(*entry, data)) in.Raise(msg::FileFailure(), archive);
  data.resize(strnlen(data.data(), data.size()));
  c.ReturnText(std::move(data));
}

// ---------------------------------------------------------------- scrambled files

// 暗号化して保存 (?を,?へ)
void CmdSaveScrambled(Call& c) {
  Interpreter& in = c.in;
  std::string text = c.Text(0);
  std::string file = c.Text(1);
  if (!SecurityCheck(in, file, QuotedQuestion(file, SJ("へ保存しますか？")))) return;
  std::string os = CheckedOsPath(in, file);
  std::string bytes;
  if (!EncodeScrambledText(text, bytes)) in.Raise(SJ("\"%s\"で、暗号化に失敗"), c.cmd.Name);
  if (!WriteOsFileAtomic(os, bytes)) in.Raise(msg::FileFailure(), file);
}

// 暗号解除して読込 (?に,?を): a damaged file (a stored length that does not
// fit the bytes after it) fails like a file that cannot be read.
void CmdLoadScrambled(Call& c) {
  Interpreter& in = c.in;
  THashNode* var = c.Word(0, true);
  std::string file = c.Text(1);
  std::string name = ResolveFileName(in, file);
  CheckedOsPath(in, name);
  std::string bytes, text;
  if (!ReadFileBytes(name, bytes) || !DecodeScrambledText(std::move(bytes), text))
    in.Raise(msg::FileFailure(), file);
  var->ValueToWrite() = std::move(text);
  var->TypeMark = "s";
}

// ---------------------------------------------------------------- shared memory

constexpr size_t kSharedAreaSize = 256;

// The areas 共有保存 mapped in this run, one per name, kept to the end of the
// run so that other programs find them while the script runs.
struct SharedAreas {
  std::map<std::string, std::unique_ptr<SharedMemory>> by_name;
};

// 共有保存 (?へ): the first 256 bytes of それ, NUL-filled.
void CmdSharedSave(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  auto& areas = in.S.RunStates.Get<SharedAreas>().by_name;
  std::unique_ptr<SharedMemory>& area = areas[name];
  if (!area) {
    area = std::make_unique<SharedMemory>();
    if (!area->Open(name, kSharedAreaSize, true)) {
      areas.erase(name);
      in.Raise(SJ("共有メモリ[") + name + SJ("]を開けません"));
    }
  }
  const std::string& value = in.S.Fast.Sore->Value();
  char block[kSharedAreaSize] = {};
  memcpy(block, value.data(), std::min(value.size(), kSharedAreaSize));
  memcpy(area->Data(), block, kSharedAreaSize);
}

// 共有読込 (?を): それ = the area's text up to its first NUL; empty when nobody
// saved under the name.
void CmdSharedLoad(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  auto& areas = in.S.RunStates.Get<SharedAreas>().by_name;
  auto kept = areas.find(name);
  SharedMemory opened;
  const SharedMemory* area = kept != areas.end() ? kept->second.get() : nullptr;
  if (!area && opened.Open(name, kSharedAreaSize, false)) area = &opened;
  std::string text;
  if (area && area->Data()) text.assign(area->Data(), strnlen(area->Data(), area->Size()));
  if (text.empty()) return c.ReturnValueOnly({});
  bool number = text[0] == '$' || (text[0] >= '0' && text[0] <= '9');
  c.Return(std::move(text), number ? "e" : "s");
}

}  // namespace

CommandTable PackagingCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Launch, "起動", "?を", CmdLaunch, kActs},
      {CommandId::LaunchAndWait, "起動して終了まで待機", "?を", CmdLaunchAndWait, kActs},
      {CommandId::FileMixJoin, "ファイル合成", "?を, ?へ", CmdFileMixJoin, kActs},
      {CommandId::FileMixExtract, "合成ファイル取り出す", "?から,?を", CmdFileMixExtract, kActs},
      {CommandId::SharedSave, "共有保存", "?へ", CmdSharedSave, kActs},
      {CommandId::SharedLoad, "共有読込", "?を", CmdSharedLoad, kActs},
      {CommandId::SaveScrambled, "暗号化して保存", "?を,?へ", CmdSaveScrambled, kActs},
      {CommandId::LoadScrambled, "暗号解除して読込", "?に,?を", CmdLoadScrambled, kActs},
  };
  return kRows;
}

}  // namespace sorane
