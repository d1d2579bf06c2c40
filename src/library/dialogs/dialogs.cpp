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

// それ := ダイアログキャンセルの値: its value and, with `with_type`, its type mark.
static void SetCancelled(Interpreter& in, bool with_type) {
  THashNode* w = SystemWord(in, SJ("ダイアログキャンセルの値"));
  std::string value = w ? w->Value : std::string();
  if (!with_type) {
    in.SetSore(value, "s");
    return;
  }
  const std::string& mark = w ? w->TypeMark : std::string();
  in.SetSore(value, !mark.empty() && mark.back() == 'e' ? "e" : "s");
}

static std::string InitialText(Interpreter& in) {
  THashNode* w = SystemWord(in, SJ("ダイアログ初期値"));
  return w ? w->Value : std::string();
}

// それ's value without touching its type mark.
static void SetSoreValue(Interpreter& in, std::string value) {
  in.S.Fast.Sore->Value = std::move(value);
}

static void CmdAsk(Interpreter& in, THashNode&) {
  bool implied = in.S.SoreImplied;
  std::string prompt = in.PopValue();
  if (implied) prompt = SJ("入力してください。");
  ApplyTextFont(in);
  std::optional<std::string> answer = in.host.AskText(prompt, InitialText(in));
  if (!answer) return SetCancelled(in, true);
  if (const char* type = AnswerType(*answer))
    in.SetSore(*answer, type);
  else
    SetSoreValue(in, "");
}

static void CmdYesNo(Interpreter& in, THashNode&) {
  std::string prompt = in.PopValue();
  int choice = in.host.AskYesNo(prompt, false);
  in.SetSore(choice == 0 ? "1" : "0", "e");
}

static void CmdYesNoCancel(Interpreter& in, THashNode&) {
  std::string prompt = in.PopValue();
  int choice = in.host.AskYesNo(prompt, true);
  in.SetSore(choice == 0 ? "1" : choice == 1 ? "0" : "2", "e");
}

static void AskFromList(Interpreter& in, bool editable) {
  std::string choices = in.PopValue();
  std::string prompt = in.PopValue();
  ApplyTextFont(in);
  SetSoreValue(in, "");
  std::optional<std::string> answer =
      in.host.AskFromList(prompt, SplitChoices(choices), InitialText(in), editable);
  if (!answer) return SetCancelled(in, true);
  SetSoreValue(in, *answer);
}

static void CmdAskAny(Interpreter& in, THashNode&) {
  AskFromList(in, true);
}
static void CmdSelectFromList(Interpreter& in, THashNode&) {
  AskFromList(in, false);
}

static void CmdSelectButton(Interpreter& in, THashNode&) {
  std::string choices = in.PopValue();
  std::string prompt = in.PopValue();
  ApplyTextFont(in);
  std::vector<std::string> buttons = SplitChoices(TrimWide(choices));
  // The dialog holds at most twenty buttons; later choices are not offered.
  if (buttons.size() > kMaxChoiceButtons) buttons.resize(kMaxChoiceButtons);
  int index = in.host.AskButtons(prompt, buttons);
  if (index < 0 || index >= static_cast<int>(buttons.size())) return SetCancelled(in, false);
  in.SetSore(buttons[index], "s");
}

static void CmdMemo(Interpreter& in, THashNode&) {
  std::string initial = in.PopValue();
  ApplyTextFont(in);
  std::optional<std::string> text = in.host.AskMemo(initial);
  if (!text) return SetCancelled(in, false);
  in.SetSore(*text, "s");
}

static void AskFile(Interpreter& in, bool save) {
  Host::FileRequest request;
  request.filter = FileFilterFor(in.PopValue());
  request.initial_name = InitialText(in);
  request.save = save;
  if (save) request.default_ext = DefaultExtension(request.filter);
  std::optional<std::vector<std::string>> files = in.host.AskFiles(request);
  if (!files || files->empty()) return SetCancelled(in, true);
  std::string answer;
  for (const std::string& f : *files) answer += (answer.empty() ? "" : "\r\n") + f;
  in.SetSore(Trim(answer), "s");
}

static void CmdOpenFile(Interpreter& in, THashNode&) {
  AskFile(in, false);
}
static void CmdSaveFile(Interpreter& in, THashNode&) {
  AskFile(in, true);
}

static void CmdFolder(Interpreter& in, THashNode&) {
  std::optional<std::string> folder = in.host.AskFolder();
  if (!folder) return SetCancelled(in, true);
  std::string path = *folder;
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += '/';
  in.SetSore(path, "s");
}

static void CmdColor(Interpreter& in, THashNode&) {
  std::optional<uint32_t> color = in.host.AskColor();
  if (!color) return SetCancelled(in, true);
  in.SetSore(std::to_string(*color), "e");
}

static void CmdFont(Interpreter& in, THashNode&) {
  std::optional<std::string> font = in.host.AskFont();
  if (!font) return SetCancelled(in, true);
  in.SetSore(*font, "s");
}

CommandTable DialogCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Ask, "尋ねる", "?と", Popping<CmdAsk>, kActs},
      {CommandId::YesNo, "二択", "?と", Popping<CmdYesNo>, kActs},
      {CommandId::OpenFile, "読込ファイル選択", "?の", Popping<CmdOpenFile>, kActs},
      {CommandId::SaveFile, "書込ファイル選択", "?の", Popping<CmdSaveFile>, kActs},
      {CommandId::ChooseColor, "色選択", "", Popping<CmdColor>, kActs},
      {CommandId::YesNoCancel, "三択", "?と", Popping<CmdYesNoCancel>, kActs},
      {CommandId::ChooseFolder, "フォルダ選択", "", Popping<CmdFolder>, kActs},
      {CommandId::AskAny, "どれか尋ねる", "?が,?の", Popping<CmdAskAny>, kActs},
      {CommandId::AskMemo, "メモ記入", "?の", Popping<CmdMemo>, kActs},
      {CommandId::SelectFromList, "リストから選択", "?を,?の", Popping<CmdSelectFromList>, kActs},
      {CommandId::SelectButton, "ボタンで選択", "?を,?の", Popping<CmdSelectButton>, kActs},
      {CommandId::ChooseFont, "フォント選択", "", Popping<CmdFont>, kActs},
  };
  return kRows;
}

}  // namespace sorane
