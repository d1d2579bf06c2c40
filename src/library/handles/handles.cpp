// File handles, the INI file and the registry key of a run.
//
// A file handle is a variable whose value is "\FILE_HANDLE" and whose HandleStream
// points at its open TextFileStream (handles_stream.h); the streams themselves
// belong to the run's handle list here, so a handle word that is overwritten
// or copied can never reach a closed stream: a word counts as a handle only
// while its stream is still in the list. The list, the open INI file and the
// registry key end with the run (TRunStates of the interpreter state).
//
// Every command that writes (opening a handle, writing the INI file, changing
// the registry) asks the security policy first and does nothing when refused.
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/files/text_encoding.h"
#include "library/handles/handles_stream.h"
#include "library/library.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

const std::string kHandleValue = "\\FILE_HANDLE";

// What one run keeps open.
struct HandleState {
  std::vector<std::unique_ptr<TextFileStream>> streams;  // closed slots are null
  bool ini_open = false;
  std::string ini_name;  // CP932, absolute
  std::unique_ptr<RegistryStore> store;
  bool key_open = false;
  int root = 0;
  std::string key_path;
};

HandleState& StateOf(Interpreter& in) {
  return in.S.RunStates.Get<HandleState>();
}

[[noreturn]] void ReadOnly(Interpreter& in, const std::string& name) {
  in.Raise(msg::ReadOnly(), name);
}

// ---------------------------------------------------------------- handles

// The stream of a handle word, or nullptr when the word is not a handle.
TextFileStream* StreamOf(Interpreter& in, const THashNode* w) {
  if (!w || w->Value() != kHandleValue || !w->More().HandleStream) return nullptr;
  for (const auto& s : StateOf(in).streams)
    if (s.get() == w->More().HandleStream) return s.get();
  return nullptr;
}

void CloseStream(Interpreter& in, TextFileStream* stream) {
  for (auto& s : StateOf(in).streams)
    if (s.get() == stream) s.reset();
}

// The handle of the line commands (raw name): an unknown name or a word that
// is not a handle raises "ファイル"ハンドル:NAME"が、ありません。".
TextFileStream& LineHandle(Interpreter& in, const std::string& name) {
  TextFileStream* s = StreamOf(in, in.S.Words.FindExact(name));
  if (!s) in.Raise(msg::FileMissing(), SJ("ハンドル:") + name);
  return *s;
}

// The handle of close, end test and seeking to start or end (raw name): an
// unknown name gives nullptr (the command does nothing), a word that is not a
// handle raises "変数"%s"が見つかりません。".
TextFileStream* QuietHandle(Interpreter& in, const std::string& name, THashNode** word = nullptr) {
  THashNode* w = in.S.Words.FindExact(name);
  if (word) *word = w;
  if (!w) return nullptr;
  TextFileStream* s = StreamOf(in, w);
  if (!s) in.Raise(msg::VariableNotFound(), name);
  return s;
}

// The handle of seeking and the byte commands: the word named in slot k.
TextFileStream& NamedHandle(Call& c, size_t k) {
  THashNode* w = c.Word(k, false);
  TextFileStream* s = StreamOf(c.in, w);
  if (!s) c.in.Raise(msg::VariableNotFound(), w->Name);
  return *s;
}

[[noreturn]] void HandleIoFailure(Interpreter& in, const std::string& name) {
  in.Raise(msg::FileFailure(), SJ("ハンドル:") + name);
}

// A write through a handle that failed: nothing of it stayed in the file
// (handles_stream.h); the message says why.
[[noreturn]] void HandleWriteFailure(Interpreter& in, const std::string& name) {
  int e = errno;
  std::string why = e == ESTALE ? SJ("ファイルは置き換えられたか削除されたため、書き込めません。")
                                : SystemReason(e);
  in.Raise(Format(msg::FileFailure(), SJ("ハンドル:") + name) + why);
}

// Makes the word `name` a handle of the file. mode < 0: read and write,
// creating a missing file (ハンドルを開く); otherwise a TextFileStream mode.
void OpenHandle(Interpreter& in, const std::string& name, const std::string& file, int mode) {
  THashNode* w = in.S.Words.FindExact(name);
  if (w && (w->Reserved || w->Kind != kWordVariable)) ReadOnly(in, name);
  const bool read_only = mode >= 0 && mode != TextFileStream::kCreate && (mode & 3) == 0;
  // A NUL would cut the name short at the system call: refused before the
  // check, as a file that cannot be opened.
  if (HasNulByte(file)) in.Raise(Format(SJ("ファイル %s は開けません"), NameForMessage(file)));
  const std::string target = read_only ? ResolveFileName(in, file) : file;
  if (!SecurityCheck(
          in, target,
          SJ("ファイル\"") + target + SJ("\"を操作しようとしています。よろしいですか？")))
    return;
  const std::string os = ToOsPath(target);
  const bool creating = mode == TextFileStream::kCreate || (mode < 0 && !FileExists(target));
  std::unique_ptr<TextFileStream> stream =
      mode < 0 ? TextFileStream::OpenOrCreate(os) : TextFileStream::Open(os, mode);
  if (!stream) {
    if (errno == EISDIR) in.Raise(SJ("ファイル %s はフォルダなので開けません"), target);
    in.Raise(Format(creating ? SJ("ファイル %s を作成できません") : SJ("ファイル %s は開けません"),
                    target));
  }
  stream->SetUtf8Lines(LineFormOf(in, os) != TextFileForm::kShiftJis);
  if (!w) w = in.AddVariable(name);
  if (TextFileStream* old = StreamOf(in, w)) CloseStream(in, old);
  HandleState& st = StateOf(in);
  size_t slot = 0;
  while (slot < st.streams.size() && st.streams[slot]) ++slot;
  if (slot == st.streams.size()) st.streams.emplace_back();
  st.streams[slot] = std::move(stream);
  w->ValueToWrite() = kHandleValue;
  w->MoreToWrite().HandleStream = st.streams[slot].get();
}

// ハンドルを開く (?で,?の): handle name (evaluated), file.
void CmdOpenHandle(Call& c) {
  std::string file = c.Text(1);
  std::string name = c.Text(0);
  OpenHandle(c.in, name, file, -1);
}

// ハンドルを詳しく開く (?に,?を,?で): handle name (evaluated), file, mode.
void CmdOpenHandleMode(Call& c) {
  long long mode = c.Int(2);
  std::string file = c.Text(1);
  std::string name = c.Text(0);
  OpenHandle(
      c.in, name, file,
      mode == TextFileStream::kCreate ? TextFileStream::kCreate : static_cast<int>(mode & 3));
}

// ハンドルを閉じる (?の)
void CmdCloseHandle(Call& c) {
  const std::string& name = c.Raw(0);
  THashNode* w = nullptr;
  TextFileStream* s = QuietHandle(c.in, name, &w);
  if (!s) return;
  CloseStream(c.in, s);
  w->MoreToWrite().HandleStream = nullptr;
  c.in.S.Words.Delete(name, false);
}

// ハンドルを一行読む (?に,?の): variable (raw, created if missing), handle (raw).
void CmdReadLine(Call& c) {
  const std::string& handle = c.Raw(1);
  const std::string& var = c.Raw(0);
  TextFileStream& s = LineHandle(c.in, handle);
  THashNode* w = c.in.S.Words.FindExact(var);
  if (w && (w->Reserved || w->Kind != kWordVariable)) ReadOnly(c.in, var);
  std::string line;
  if (!s.ReadLine(line)) HandleIoFailure(c.in, handle);
  if (s.Utf8Lines()) line = Utf8ToSjisKeepingBytes(line);
  if (!w) w = c.in.AddVariable(var);
  w->ValueToWrite() = std::move(line);
  w->TypeMark = "s";
}

// ハンドルへ一行書く (?を,?の): text, handle (raw). Nothing at the high level.
void CmdWriteLine(Call& c) {
  const std::string& handle = c.Raw(1);
  std::string text = c.Text(0);
  TextFileStream& s = LineHandle(c.in, handle);
  if (c.in.S.SecurityLevel >= 2) return;
  if (s.Utf8Lines()) text = SjisToUtf8KeepingBytes(text);
  if (!s.WriteLine(text)) HandleWriteFailure(c.in, handle);
}

// ハンドル最後か (?の)
void CmdAtEnd(Call& c) {
  if (TextFileStream* s = QuietHandle(c.in, c.Raw(0))) c.ReturnTruth(s->AtEnd());
}

// ハンドルを先頭に移動 / ハンドルを最後に移動 (?の)
void CmdSeekStart(Call& c) {
  if (TextFileStream* s = QuietHandle(c.in, c.Raw(0))) s->Seek(0);
}
void CmdSeekEnd(Call& c) {
  if (TextFileStream* s = QuietHandle(c.in, c.Raw(0))) s->SeekToEnd();
}

// ハンドルを移動 (?の,?に): handle (a word's name), byte offset.
void CmdSeek(Call& c) {
  long long position = c.Int(1);
  NamedHandle(c, 0).Seek(position);
}

// ハンドルにバイナリを書く (?を,?に,?つ): data, handle (a word's name), count.
void CmdWriteBytes(Call& c) {
  long long count = c.Int(2);
  THashNode* w = c.Word(1, false);
  std::string data = c.Text(0);
  TextFileStream* s = StreamOf(c.in, w);
  if (!s) c.in.Raise(msg::VariableNotFound(), w->Name);
  if (c.in.S.SecurityLevel >= 2) return;
  if (!s->WriteBytes(data, count)) HandleWriteFailure(c.in, w->Name);
}

// ハンドルにバイナリを読む (?へ,?を,?つ): variable (a word's name, created if
// missing), handle (a word's name), count. The variable gets the bytes
// actually read.
void CmdReadBytes(Call& c) {
  long long count = c.Int(2);
  THashNode* hw = c.Word(1, false);
  THashNode* var = c.Word(0, true);
  TextFileStream* s = StreamOf(c.in, hw);
  if (!s) c.in.Raise(msg::VariableNotFound(), hw->Name);
  if (count <= 0) return;
  if (var->Reserved || var->Kind != kWordVariable) ReadOnly(c.in, var->Name);
  std::string bytes;
  if (!s->ReadBytes(count, bytes)) HandleIoFailure(c.in, hw->Name);
  var->ValueToWrite() = std::move(bytes);
  var->TypeMark = "s";
}

// ---------------------------------------------------------------- INI file

[[noreturn]] void IniFailure(Interpreter& in, const HandleState& st, const std::string& section,
                             const std::string& key) {
  in.Raise(SJ("INIファイル書き込みに失敗。ファイル名=") + st.ini_name + SJ(" キー名=") + key +
           SJ(" セクション=") + section);
}

// The INI file read and written in the run's text-file encoding.
IniCodec CodecOf(Interpreter& in, const std::string& name) {
  if (GetTextFileEncoding(in) == TextFileEncoding::kShiftJis) return {};
  std::string os = ToOsPath(name);
  return {[&in, os](std::string& bytes) { DecodeFileText(in, os, bytes); },
          [&in, os](std::string& text) { EncodeFileText(in, os, text, FileWrite::kReplace); }};
}

// INIファイル開く (?の)
void CmdIniOpen(Call& c) {
  std::string file = c.Text(0);
  HandleState& st = StateOf(c.in);
  st.ini_open = false;
  if (HasNulByte(file)) c.in.Raise(msg::FileFailure(), NameForMessage(file));
  std::string name = AbsoluteName(file);
  if (!FileExists(name)) {
    if (!SecurityCheck(c.in, name, SJ("設定ファイル\"") + name + SJ("\"を作成します。"))) return;
    if (!WriteFileAtomic(name, "")) {
      c.in.Raise(msg::FileFailure(), name);
    }
  }
  st.ini_open = true;
  st.ini_name = name;
}

// INIファイル閉じる
void CmdIniClose(Call& c) {
  StateOf(c.in).ini_open = false;
}

void RequireIni(Call& c) {
  if (!StateOf(c.in).ini_open)
    c.in.Raise(SJ("\"%s\"予めINIファイルを開いておく必要があります。"), c.cmd.Name);
}

// INIファイル書く (?の,?へ): section, key; the value is that of それ.
void CmdIniWrite(Call& c) {
  std::string key = c.Text(1);
  std::string section = c.Text(0);
  Interpreter& in = c.in;
  if (in.S.SecurityLevel >= 2) return;
  RequireIni(c);
  HandleState& st = StateOf(in);
  std::string question = SJ("設定ファイル\"") + st.ini_name + SJ("\"にある[") + section +
                         SJ("]の\"") + key + SJ("\"に値を書き込みます。");
  if (!SecurityCheck(in, st.ini_name, question)) return;
  if (!IniFileWrite(st.ini_name, section, key, in.S.Fast.Sore->Value(), CodecOf(in, st.ini_name)))
    IniFailure(in, st, section, key);
}

// INIファイル読む (?の,?を): section, key.
void CmdIniRead(Call& c) {
  std::string key = c.Text(1);
  std::string section = c.Text(0);
  if (c.in.S.SecurityLevel >= 2) {
    c.ReturnText(std::string());
    return;
  }
  RequireIni(c);
  HandleState& st = StateOf(c.in);
  bool ok = true;
  std::optional<std::string> value =
      IniFileRead(st.ini_name, section, key, &ok, CodecOf(c.in, st.ini_name));
  if (!ok) IniFailure(c.in, st, section, key);
  c.ReturnText(value.value_or(std::string()));
}

// ---------------------------------------------------------------- registry

// The open key; raises "レジストリが開かれていません。" when none.
HandleState& OpenKey(Interpreter& in) {
  HandleState& st = StateOf(in);
  if (!st.key_open || !st.store || !st.store->IsOpen())
    in.Raise(SJ("レジストリが開かれていません。"));
  return st;
}

[[noreturn]] void RegistryFailure(Interpreter& in, const char* utf8_fmt, const std::string& name) {
  in.Raise(Format(Utf8ToSjis(utf8_fmt), name));
}

bool AskRegistryWrite(Interpreter& in, const HandleState& st, const std::string& name,
                      const std::string& value) {
  return SecurityCheck(in, "*",
                       SJ("レジストリ\"") + st.key_path + SJ("\"の,\"") + name + SJ("\"に,\r\n") +
                           "\"" + value + SJ("\"が書き込まれます。よろしいですか？"));
}

void WriteValue(Interpreter& in, HandleState& st, const std::string& name, const RegValue& v) {
  if (!st.store->SetValue(st.root, st.key_path, name, v))
    RegistryFailure(in, "'%s' の設定に失敗しました", name);
}

// レジストリ開く (?の,?を): root number, key path.
void CmdRegOpen(Call& c) {
  std::string path = c.Text(1);
  long long root = -1;
  if (!TryParseInteger(c.Text(0), root) || root < 0 || root >= kRegistryRoots) c.BadArgument();
  Interpreter& in = c.in;
  HandleState& st = StateOf(in);
  st.key_open = false;
  if (!st.store) st.store = std::make_unique<RegistryStore>();
  const std::string os = RegistryStore::DefaultPath();
  if (!st.store->IsOpen() && !st.store->Open(os)) {
    std::string message =
        Format(SJ("レジストリの保存ファイル\"%s\"を開けません。"), FromOsPath(os)) +
        FromOsPath(st.store->Error());
    st.store.reset();
    in.Raise(message);
  }
  if (!st.store->CreateKey(static_cast<int>(root), path)) {
    st.store.reset();
    c.BadArgument();
  }
  st.key_open = true;
  st.root = static_cast<int>(root);
  st.key_path = path;
}

// レジストリ閉じる
void CmdRegClose(Call& c) {
  HandleState& st = StateOf(c.in);
  st.key_open = false;
  st.store.reset();
}

// レジストリ読む (?を): the string value; それ's mark by its look (an empty
// value leaves the marks as they were).
void CmdRegRead(Call& c) {
  std::string name = c.Text(0);
  HandleState& st = OpenKey(c.in);
  std::optional<RegValue> v = st.store->GetValue(st.root, st.key_path, name);
  std::string text;
  if (v) {
    if (v->type != RegType::kString) RegistryFailure(c.in, "'%s' のデータ型が不正です", name);
    text = std::move(v->data);
  }
  if (text.empty()) return c.ReturnValueOnly(std::move(text));
  const char* mark = (text[0] >= '0' && text[0] <= '9') || text[0] == '$' ? "e" : "s";
  c.Return(std::move(text), mark);
}

// レジストリ書く (?に): writes the value of それ as a string.
void CmdRegWrite(Call& c) {
  std::string name = c.Text(0);
  HandleState& st = OpenKey(c.in);
  const std::string value = c.in.S.Fast.Sore->Value();
  if (!AskRegistryWrite(c.in, st, name, value)) return;
  WriteValue(c.in, st, name, {RegType::kString, value});
}

// レジストリのDWORDを読む (?を): signed decimal.
void CmdRegReadDword(Call& c) {
  std::string name = c.Text(0);
  HandleState& st = OpenKey(c.in);
  std::optional<RegValue> v = st.store->GetValue(st.root, st.key_path, name);
  if (!v || v->type != RegType::kDword || v->data.size() != 4)
    RegistryFailure(c.in, "'%s' のデータ型が不正です", name);
  uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(v->data[i]);
  c.ReturnCommon(std::to_string(static_cast<int32_t>(u)), "e");
}

// レジストリにDWORDを書く (?を,?に): number, value name.
void CmdRegWriteDword(Call& c) {
  std::string name = c.Text(1);
  const int64_t number = c.Int(0);
  HandleState& st = OpenKey(c.in);
  const uint32_t u = static_cast<uint32_t>(number);
  if (!AskRegistryWrite(c.in, st, name, std::to_string(static_cast<int32_t>(u)))) return;
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  WriteValue(c.in, st, name, {RegType::kDword, data});
}

// レジストリのバイナリを読む (?を,?つ): value name, count (evaluated, not used).
void CmdRegReadBinary(Call& c) {
  c.Text(1);
  std::string name = c.Text(0);
  HandleState& st = OpenKey(c.in);
  std::optional<RegValue> v = st.store->GetValue(st.root, st.key_path, name);
  std::string bytes;
  if (v && !v->data.empty()) {
    if (v->type != RegType::kBinary) RegistryFailure(c.in, "'%s' のデータ型が不正です", name);
    bytes = std::move(v->data);
  }
  c.ReturnText(std::move(bytes));
}

// レジストリにバイナリを書く (?を,?に,?つ): data, value name, count; at most
// the data's bytes are written.
void CmdRegWriteBinary(Call& c) {
  long long count = c.Int(2);
  std::string name = c.Text(1);
  std::string data = c.Text(0);
  HandleState& st = OpenKey(c.in);
  if (count < 0) count = 0;
  if (static_cast<unsigned long long>(count) < data.size()) data.resize(static_cast<size_t>(count));
  if (!AskRegistryWrite(c.in, st, name, data)) return;
  WriteValue(c.in, st, name, {RegType::kBinary, data});
}

// レジストリサブキー取得: the subkeys' names, one per line.
void CmdRegSubKeys(Call& c) {
  HandleState& st = OpenKey(c.in);
  std::string out;
  for (const std::string& n : st.store->SubKeys(st.root, st.key_path)) out += n + "\r\n";
  c.ReturnCommon(Trim(out));
}

// レジストリ値削除 (?を)
void CmdRegDeleteValue(Call& c) {
  std::string name = c.Text(0);
  Interpreter& in = c.in;
  HandleState& st = OpenKey(in);
  if (!SecurityCheck(in, "*",
                     SJ("レジストリ\"") + st.key_path + SJ("\"の,\"") + name +
                         SJ("\"の値が,削除されます。よろしいですか？")))
    return;
  if (!st.store->DeleteValue(st.root, st.key_path, name))
    in.Raise(SJ("\"%s\"が削除できません。"), name);
}

// レジストリキー削除 (?を): a subkey of the open key, with everything below it.
void CmdRegDeleteKey(Call& c) {
  std::string key = c.Text(0);
  Interpreter& in = c.in;
  HandleState& st = OpenKey(in);
  if (!SecurityCheck(in, "*",
                     SJ("レジストリ\"") + st.key_path + SJ("\"の,\"") + key +
                         SJ("\"キーが,削除されます。よろしいですか？")))
    return;
  if (RegistryStore::SplitPath(key).empty() ||
      !st.store->DeleteKey(st.root, st.key_path + "\\" + key))
    in.Raise(SJ("\"%s\"が削除できません。"), key);
}

}  // namespace

CommandTable HandleCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::RegRead, "レジストリ読む", "?を", CmdRegRead, kActs},
      {CommandId::RegWrite, "レジストリ書く", "?に", CmdRegWrite, kActs},
      {CommandId::RegOpen, "レジストリ開く", "?の,?を", CmdRegOpen, kActs},
      {CommandId::RegClose, "レジストリ閉じる", "", CmdRegClose, kActs},
      {CommandId::RegDeleteValue, "レジストリ値削除", "?を", CmdRegDeleteValue, kActs},
      {CommandId::RegDeleteKey, "レジストリキー削除", "?を", CmdRegDeleteKey, kActs},
      {CommandId::IniOpen, "INIファイル開く", "?の", CmdIniOpen, kActs},
      {CommandId::IniClose, "INIファイル閉じる", "", CmdIniClose, kActs},
      {CommandId::IniWrite, "INIファイル書く", "?の,?へ", CmdIniWrite, kActs},
      {CommandId::IniRead, "INIファイル読む", "?の,?を", CmdIniRead, kActs},
      {CommandId::OpenHandle, "ハンドルを開く", "?で,?の", CmdOpenHandle, kActs},
      {CommandId::ReadLine, "ハンドルを一行読む", "?に,?の", CmdReadLine, kActs},
      {CommandId::WriteLine, "ハンドルへ一行書く", "?を,?の", CmdWriteLine, kActs},
      {CommandId::CloseHandle, "ハンドルを閉じる", "?の", CmdCloseHandle, kActs},
      {CommandId::AtEnd, "ハンドル最後か", "?の", CmdAtEnd, kActs},
      {CommandId::SeekStart, "ハンドルを先頭に移動", "?の", CmdSeekStart, kActs},
      {CommandId::SeekEnd, "ハンドルを最後に移動", "?の", CmdSeekEnd, kActs},
      {CommandId::RegReadBinary, "レジストリのバイナリを読む", "?を,?つ", CmdRegReadBinary, kActs},
      {CommandId::RegWriteBinary, "レジストリにバイナリを書く", "?を,?に,?つ", CmdRegWriteBinary,
       kActs},
      {CommandId::Seek, "ハンドルを移動", "?の,?に", CmdSeek, kActs},
      {CommandId::WriteBytes, "ハンドルにバイナリを書く", "?を,?に,?つ", CmdWriteBytes, kActs},
      {CommandId::ReadBytes, "ハンドルにバイナリを読む", "?へ,?を,?つ", CmdReadBytes, kActs},
      {CommandId::OpenHandleMode, "ハンドルを詳しく開く", "?に,?を,?で", CmdOpenHandleMode, kActs},
      {CommandId::RegReadDword, "レジストリのDWORDを読む", "?を", CmdRegReadDword, kActs},
      {CommandId::RegWriteDword, "レジストリにDWORDを書く", "?を,?に", CmdRegWriteDword, kActs},
      {CommandId::RegSubKeys, "レジストリサブキー取得", "", CmdRegSubKeys, kActs},
  };
  return kRows;
}

}  // namespace sorane
