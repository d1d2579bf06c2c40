// The spreadsheet (エクセル…) and word-processor (ワード…) commands, on the
// office layer of office_link.h.
//
// The link and the state of both halves last for the run: the suite is
// started (or attached to) by the first 起動 and stays connected across
// commands. Every other command of a half fails until its 起動 has run, as
// the half has no document then. Failures raise "Excelのエラー。%s" or
// "Wordのエラー。%s" with the reason; when the suite is not installed, one
// line on standard error also names the packages to install.
//
// 終了 closes only the documents the script opened or created, never others
// of an instance it attached to, and ends only an instance it started.
// 保存 asks the security policy with the file first, and the file is written
// under a private temporary name, then put in place only when complete, so
// a failure never destroys the old file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "interop/office/office_link.h"
#include "library/files/files_util.h"
#include "library/objects/parse.h"
#include "library/output/output.h"
#include "platform/files.h"
#include "platform/run_temp.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/number.h"

namespace sorane {

CommandTable OfficeCommands();

namespace {

constexpr OfficeHalf kCalc = OfficeHalf::kSpreadsheet;
constexpr OfficeHalf kWriter = OfficeHalf::kDocument;

struct OfficeState {
  std::unique_ptr<OfficeLink> link;
  bool started[2] = {false, false};
  RunTempDir temp;
  int exports = 0;
  // Destroyed with the run: the link ends the helper and the suite it started.
};

OfficeState& StateOf(Interpreter& in) {
  return in.S.RunStates.Get<OfficeState>();
}

const std::string& ErrorLine(OfficeHalf half) {
  return half == kCalc ? SJ("Excelのエラー。%s") : SJ("Wordのエラー。%s");
}

[[noreturn]] void Fail(Interpreter& in, OfficeHalf half, const std::string& reason_sjis) {
  in.Raise(ErrorLine(half), reason_sjis);
}

// The reply's value; raises the half's error when the request failed.
const std::string& Checked(Interpreter& in, OfficeHalf half, const OfficeReply& reply) {
  if (reply.kind == OfficeReply::Kind::kMissing)
    fprintf(stderr, "sorane: the office commands need LibreOffice: install %s\n",
            reply.extra.c_str());
  if (!reply.ok()) Fail(in, half, Utf8ToSjis(reply.text));
  return reply.text;
}

// The link of a half that 起動 has started; raises otherwise.
OfficeLink& Started(Interpreter& in, OfficeHalf half) {
  OfficeState& state = StateOf(in);
  if (!state.link || !state.started[static_cast<int>(half)])
    Fail(in, half, SJ("起動されていません。"));
  return *state.link;
}

void Start(Call& c, OfficeHalf half) {
  OfficeState& state = StateOf(c.in);
  if (!state.link) state.link = MakeHelperLink();
  Checked(c.in, half, state.link->Start(half));
  state.started[static_cast<int>(half)] = true;
}

void Open(Call& c, OfficeHalf half) {
  OfficeLink& link = Started(c.in, half);
  std::string name = ResolveFileName(c.in, PackedFirst(c.in, c.Text(0)));
  Checked(c.in, half, link.Open(half, CheckedOsPath(c.in, AbsoluteName(name))));
}

void Quit(Call& c, OfficeHalf half) {
  OfficeLink& link = Started(c.in, half);
  StateOf(c.in).started[static_cast<int>(half)] = false;
  Checked(c.in, half, link.Quit(half));
}

// A new file for the suite to write into, in the run's private folder.
std::string ExportTemp(Interpreter& in, OfficeHalf half, const std::string& extension) {
  OfficeState& state = StateOf(in);
  std::string path;
  int fd = state.temp.Create("office" + std::to_string(++state.exports) + "." + extension, path);
  if (fd < 0) Fail(in, half, SJ("一時ファイルを作成できません。"));
  close(fd);
  return path;
}

// Puts the finished `temp` in place of `target` (CP932), safely; the
// temporary file goes either way.
void PutInPlace(Interpreter& in, OfficeHalf half, const std::string& temp,
                const std::string& target) {
  std::string bytes;
  bool read = ReadFileBytes(FromOsPath(temp), bytes);
  unlink(temp.c_str());
  if (!read || !WriteOsFileAtomic(CheckedOsPath(in, target), bytes))
    Fail(in, half, Format(msg::FileFailure(), target));
}

// The extension of `name` without the dot, in lower case ASCII.
std::string ExtensionOf(const std::string& name) {
  std::string ext = CutExtension(name);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return ext;
}

void Save(Call& c, OfficeHalf half) {
  Interpreter& in = c.in;
  OfficeLink& link = Started(in, half);
  std::string file = AbsoluteName(c.Text(0));
  CheckedOsPath(in, file);
  if (!SecurityCheck(in, file, QuotedQuestion(file, SJ("へ保存します。")))) return;
  std::string ext = ExtensionOf(file);
  std::string temp = ExportTemp(in, half, ext.empty() ? "tmp" : ext);
  OfficeReply reply = link.Export(half, temp, ext);
  if (!reply.ok()) unlink(temp.c_str());
  Checked(in, half, reply);
  PutInPlace(in, half, temp, file);
}

// On the default printer; without one, as a PDF beside the script.
void Print(Call& c, OfficeHalf half) {
  Interpreter& in = c.in;
  OfficeLink& link = Started(in, half);
  std::string temp = ExportTemp(in, half, "pdf");
  OfficeReply reply = link.Print(half, temp);
  if (!reply.ok() || reply.text != "pdf") unlink(temp.c_str());
  if (Checked(in, half, reply) != "pdf") return;
  std::string pdf = PrintFallbackName(in);
  if (!SecurityCheck(in, pdf, QuotedQuestion(pdf, SJ("へ印刷します。")))) {
    unlink(temp.c_str());
    return;
  }
  PutInPlace(in, half, temp, pdf);
}

void RunMacro(Call& c, OfficeHalf half) {
  OfficeLink& link = Started(c.in, half);
  Checked(c.in, half, link.RunMacro(half, SjisToUtf8(c.Text(0))));
}

// A command both halves have: `Op` on the one the row names.
template <void (*Op)(Call&, OfficeHalf), OfficeHalf half>
void CmdFor(Call& c) {
  Op(c, half);
}

// ---------------------------------------------------------------- spreadsheet

// エクセル設定 (?を,?に): the cell as a point (column, row) counted from 0, the
// value, entered as typed (numbers become numbers, "=" starts a formula).
void CmdExcelSet(Call& c) {
  OfficeLink& link = Started(c.in, kCalc);
  Point cell = ParsePoint(c.in, CoordinateText(c, 0));
  std::string value = c.Text(1);
  Checked(c.in, kCalc, link.SetCell(cell.x, cell.y, SjisToUtf8(value)));
}

// エクセル得る (?を,?に): the cell, the variable (created when missing) that
// gets its value as text: numbers as the run-time writes them, dates and
// times as the sheet shows them.
void CmdExcelGet(Call& c) {
  OfficeLink& link = Started(c.in, kCalc);
  Point cell = ParsePoint(c.in, CoordinateText(c, 0));
  THashNode* var = c.Word(1, true);
  if (var->Reserved || var->Kind != kWordVariable) c.in.Raise(msg::ReadOnly(), var->Name);
  OfficeReply reply = link.GetCell(cell.x, cell.y);
  std::string value = Utf8ToSjis(Checked(c.in, kCalc, reply));
  if (reply.extra == "n") value = FormatNumber(ParseNumber(value));
  var->ValueToWrite() = std::move(value);
  var->TypeMark = "s";
}

// ---------------------------------------------------------------- word processor

// ワードブックマーク設定 (?を,?に): the bookmark's text becomes the text.
void CmdWordSetBookmark(Call& c) {
  OfficeLink& link = Started(c.in, kWriter);
  std::string name = c.Text(0);
  std::string text = c.Text(1);
  Checked(c.in, kWriter, link.SetBookmark(SjisToUtf8(name), SjisToUtf8(text)));
}

// ワード文字挿入 (?を): the text goes at the end of the document.
void CmdWordInsertText(Call& c) {
  OfficeLink& link = Started(c.in, kWriter);
  Checked(c.in, kWriter, link.AppendText(SjisToUtf8(c.Text(0))));
}

// ワード本文を得る: the document's text, paragraphs ended by CR.
void CmdWordGetBody(Call& c) {
  OfficeLink& link = Started(c.in, kWriter);
  c.ReturnText(Utf8ToSjis(Checked(c.in, kWriter, link.BodyText())));
}

}  // namespace

CommandTable OfficeCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::ExcelStart, "エクセル起動", "", CmdFor<Start, kCalc>, kActs},
      {CommandId::ExcelOpen, "エクセル開く", "?を", CmdFor<Open, kCalc>, kActs},
      {CommandId::ExcelSave, "エクセル保存", "?へ", CmdFor<Save, kCalc>, kActs},
      {CommandId::ExcelQuit, "エクセル終了", "", CmdFor<Quit, kCalc>, kActs},
      {CommandId::ExcelSet, "エクセル設定", "?を,?に", CmdExcelSet, kActs},
      {CommandId::ExcelGet, "エクセル得る", "?を,?に", CmdExcelGet, kActs},
      {CommandId::ExcelMacro, "エクセルマクロ実行", "?を", CmdFor<RunMacro, kCalc>, kActs},
      {CommandId::WordStart, "ワード起動", "", CmdFor<Start, kWriter>, kActs},
      {CommandId::WordOpen, "ワード開く", "?を", CmdFor<Open, kWriter>, kActs},
      {CommandId::WordSave, "ワード保存", "?へ", CmdFor<Save, kWriter>, kActs},
      {CommandId::WordQuit, "ワード終了", "", CmdFor<Quit, kWriter>, kActs},
      {CommandId::WordSetBookmark, "ワードブックマーク設定", "?を,?に", CmdWordSetBookmark, kActs},
      {CommandId::WordInsertText, "ワード文字挿入", "?を", CmdWordInsertText, kActs},
      {CommandId::WordGetBody, "ワード本文を得る", "", CmdWordGetBody, kActs},
      {CommandId::WordMacro, "ワードマクロ実行", "?を", CmdFor<RunMacro, kWriter>, kActs},
      {CommandId::ExcelPrint, "エクセル印刷", "", CmdFor<Print, kCalc>, kActs},
      {CommandId::WordPrint, "ワード印刷", "", CmdFor<Print, kWriter>, kActs},
  };
  return kRows;
}

}  // namespace sorane
