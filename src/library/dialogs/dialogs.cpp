// The standard dialogs: messages, questions, choosers, the memo editor and the
// file, folder, colour and font choosers. Each command asks the host (window or
// console) and puts the answer into それ; a cancelled dialog gives the value of
// ダイアログキャンセルの値.
#include "library/dialogs/dialogs_util.h"
#include "library/library.h"
#include "library/objects/parse.h"
#include "library/output/output.h"
#include "library/strings/strings_util.h"
#include "platform/files.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

std::vector<std::string> SplitChoices(const std::string& choices) {
  std::string text = ReplaceText(ReplaceText(choices, SJ("｜"), "|", true), "|", "\r\n", true);
  if (text.empty()) return {std::string()};  // one empty choice
  std::vector<std::string> items;
  for (std::string_view line : SplitLines(text)) items.emplace_back(line);
  return items;
}

std::string FileFilterFor(const std::string& kind) {
  if (kind.find('|') != std::string::npos) return kind;
  std::string ext = kind;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  return ext + SJ(" 形式(*.") + ext + ")|*." + ext + SJ("|全て(*.*)|*.*");
}

std::string DefaultExtension(const std::string& filter) {
  size_t cursor = 0;
  SplitNext("|", filter, cursor);
  std::string pattern = SplitNext("|", filter, cursor);
  if (!pattern.empty() && pattern[0] == '*') pattern.erase(0, 1);
  if (!pattern.empty() && pattern[0] == '.') pattern.erase(0, 1);
  return pattern;
}

const char* AnswerType(const std::string& answer) {
  if (answer.empty()) return nullptr;
  unsigned char c = answer[0];
  return (c == '$' || (c >= '0' && c <= '9')) ? "e" : "s";
}

static THashNode* SystemWord(Interpreter& in, const std::string& name) {
  return in.S.Words.Find(name, false);
}

// それ := ダイアログキャンセルの値: its value and, with `with_type`, its type mark
// as the result type.
static void ReturnCancelled(Call& c, bool with_type) {
  THashNode* w = SystemWord(c.in, SJ("ダイアログキャンセルの値"));
  std::string value = w ? w->Value() : std::string();
  if (!with_type) return c.ReturnCommon(std::move(value));
  const std::string& mark = w ? w->TypeMark : std::string();
  c.ReturnCommon(std::move(value), !mark.empty() && mark.back() == 'e' ? "e" : "s");
}

static std::string InitialText(Interpreter& in) {
  THashNode* w = SystemWord(in, SJ("ダイアログ初期値"));
  return w ? w->Value() : std::string();
}

static void CmdAsk(Call& c) {
  Interpreter& in = c.in;
  bool implied = in.S.SoreImplied;
  std::string prompt = c.Text(0);
  if (implied) prompt = SJ("入力してください。");
  ApplyTextFont(in);
  std::optional<std::string> answer = in.host.Dialogs().AskText(prompt, InitialText(in));
  if (!answer) return ReturnCancelled(c, true);
  if (const char* type = AnswerType(*answer))
    c.ReturnCommon(*answer, type);
  else
    c.ReturnValueOnly("");
}

static void CmdYesNo(Call& c) {
  Interpreter& in = c.in;
  std::string prompt = c.Text(0);
  int choice = in.host.Dialogs().AskYesNo(prompt, false);
  c.ReturnCommon(choice == 0 ? "1" : "0", "e");
}

static void CmdYesNoCancel(Call& c) {
  Interpreter& in = c.in;
  std::string prompt = c.Text(0);
  int choice = in.host.Dialogs().AskYesNo(prompt, true);
  c.ReturnCommon(choice == 0 ? "1" : choice == 1 ? "0" : "2", "e");
}

// "?…,?の": slot 0 is the prompt, slot 1 the choices (read first).
static void AskFromList(Call& c, bool editable) {
  Interpreter& in = c.in;
  std::string choices = c.Text(1);
  std::string prompt = c.Text(0);
  ApplyTextFont(in);
  c.ReturnValueOnly("");
  std::optional<std::string> answer =
      in.host.Dialogs().AskFromList(prompt, SplitChoices(choices), InitialText(in), editable);
  if (!answer) return ReturnCancelled(c, true);
  c.ReturnValueOnly(*answer);
}

static void CmdAskAny(Call& c) {
  AskFromList(c, true);
}
static void CmdSelectFromList(Call& c) {
  AskFromList(c, false);
}

static void CmdSelectButton(Call& c) {
  Interpreter& in = c.in;
  std::string choices = c.Text(1);
  std::string prompt = c.Text(0);
  ApplyTextFont(in);
  std::vector<std::string> buttons = SplitChoices(TrimWide(choices));
  // The dialog holds at most twenty buttons; later choices are not offered.
  if (buttons.size() > kMaxChoiceButtons) buttons.resize(kMaxChoiceButtons);
  int index = in.host.Dialogs().AskButtons(prompt, buttons);
  if (index < 0 || index >= static_cast<int>(buttons.size())) return ReturnCancelled(c, false);
  c.ReturnCommon(buttons[index]);
}

static void CmdMemo(Call& c) {
  Interpreter& in = c.in;
  std::string initial = c.Text(0);
  ApplyTextFont(in);
  std::optional<std::string> text = in.host.Dialogs().AskMemo(initial);
  if (!text) return ReturnCancelled(c, false);
  c.ReturnCommon(*text);
}

static void AskFile(Call& c, bool save) {
  Interpreter& in = c.in;
  Host::FileRequest request;
  request.filter = FileFilterFor(c.Text(0));
  request.initial_name = InitialText(in);
  request.save = save;
  if (save) request.default_ext = DefaultExtension(request.filter);
  std::optional<std::vector<std::string>> files = in.host.Dialogs().AskFiles(request);
  if (!files || files->empty()) return ReturnCancelled(c, true);
  std::string answer;
  for (const std::string& f : *files) answer += (answer.empty() ? "" : "\r\n") + f;
  c.ReturnCommon(Trim(answer));
}

static void CmdOpenFile(Call& c) {
  AskFile(c, false);
}
static void CmdSaveFile(Call& c) {
  AskFile(c, true);
}

static void CmdFolder(Call& c) {
  Interpreter& in = c.in;
  std::optional<std::string> folder = in.host.Dialogs().AskFolder();
  if (!folder) return ReturnCancelled(c, true);
  std::string path = *folder;
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += '/';
  c.ReturnCommon(path);
}

static void CmdColor(Call& c) {
  Interpreter& in = c.in;
  std::optional<uint32_t> color = in.host.Dialogs().AskColor();
  if (!color) return ReturnCancelled(c, true);
  c.ReturnCommon(std::to_string(*color), "e");
}

static void CmdFont(Call& c) {
  Interpreter& in = c.in;
  std::optional<std::string> font = in.host.Dialogs().AskFont();
  if (!font) return ReturnCancelled(c, true);
  c.ReturnCommon(*font);
}

CommandTable DialogCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Ask, "尋ねる", "?と", CmdAsk, kActs},
      {CommandId::YesNo, "二択", "?と", CmdYesNo, kActs},
      {CommandId::OpenFile, "読込ファイル選択", "?の", CmdOpenFile, kActs},
      {CommandId::SaveFile, "書込ファイル選択", "?の", CmdSaveFile, kActs},
      {CommandId::ChooseColor, "色選択", "", CmdColor, kActs},
      {CommandId::YesNoCancel, "三択", "?と", CmdYesNoCancel, kActs},
      {CommandId::ChooseFolder, "フォルダ選択", "", CmdFolder, kActs},
      {CommandId::AskAny, "どれか尋ねる", "?が,?の", CmdAskAny, kActs},
      {CommandId::AskMemo, "メモ記入", "?の", CmdMemo, kActs},
      {CommandId::SelectFromList, "リストから選択", "?を,?の", CmdSelectFromList, kActs},
      {CommandId::SelectButton, "ボタンで選択", "?を,?の", CmdSelectButton, kActs},
      {CommandId::ChooseFont, "フォント選択", "", CmdFont, kActs},
  };
  return kRows;
}

}  // namespace sorane
