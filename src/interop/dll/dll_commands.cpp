// DLL宣言, 文字型DLL宣言 and DLLを利用, and calls of the words they declare.
//
// A DLL function word (kind kWordDll) holds its argument template, the
// description "\"FILE\"FUNCTION" as its Value, its type letters as its
// TypeMark ("" for DLL宣言, "P" for 文字型DLL宣言, "=" + result letter +
// parameter letters for DLLを利用) and, in ObjectIndex, the number of its
// declaration in the run's DLL list, which holds the library handle and the
// function's address.
#include "interop/dll/dll_commands.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "interop/dll/dll_call.h"
#include "interop/dll/dll_declaration.h"
#include "platform/files.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/sjis.h"
#include "words/hash.h"

namespace sorane {
namespace {

const std::string& LibraryNotFound() {
  return SJ("DLL\"%s\"が見つかりません。");
}
const std::string& FunctionNotFound() {
  return SJ("DLL\"%s\"の関数\"%s\"が見つかりません。");
}
const std::string& BadDefinition() {
  return SJ("DLLからインポートした命令\"%s\"の定義が間違っています。");
}
const std::string& CallFailed() {
  return SJ("外部DLLからの関数\"%s\"の呼び出しに失敗しました。");
}

// An untyped word passes at most this many texts.
constexpr size_t kMaxUntypedArguments = 5;

// One declaration: declaring the same library twice opens it twice.
struct DllEntry {
  std::string library;  // as the script named it
  std::string function;
  void* handle;
  void* proc;
};

// The declarations of this run. Each handle is released once when the run's
// state goes (the libraries themselves stay mapped until the process ends).
struct DllList {
  DllList() = default;
  DllList(const DllList&) = delete;
  DllList& operator=(const DllList&) = delete;
  ~DllList() {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) CloseLibrary(it->handle);
  }
  std::vector<DllEntry> entries;
};

// Loads the library, finds the function and records both; returns the
// declaration's number.
int Load(Interpreter& in, const std::string& file, const std::string& function) {
  std::vector<std::string> paths;
  if (!file.empty())
    for (const std::string& name : DllLibraryNames(file, in.S.HostPath))
      paths.push_back(ToOsPath(name));
  void* handle = OpenLibrary(paths);
  if (!handle) in.Raise(LibraryNotFound(), file);
  void* proc = FindFunction(handle, function);
  if (!proc) {
    CloseLibrary(handle);
    in.Raise(FunctionNotFound(), file, function);
  }
  std::vector<DllEntry>& entries = in.S.RunStates.Get<DllList>().entries;
  entries.push_back({file, function, handle, proc});
  return static_cast<int>(entries.size() - 1);
}

void AddWord(Interpreter& in, const std::string& name, std::string templ, int declaration,
             const std::string& type_letters) {
  const DllEntry& e = in.S.RunStates.Get<DllList>().entries[declaration];
  auto w = std::make_unique<THashNode>(name, kWordDll);
  w->MoreToWrite().Template = std::move(templ);
  w->ValueToWrite() = "\"" + e.library + "\"" + e.function;
  w->TypeMark = type_letters;
  w->ObjectIndex = declaration;
  try {
    in.S.Words.Add(std::move(w));
  } catch (const EWordReserved& reserved) {
    in.Raise(msg::Reserved(), reserved.name);
  }
}

std::string Normalised(std::string_view text) {
  return Trim(TConvToHalf::ConvertText(text));
}

// DLL宣言 / 文字型DLL宣言 (F の, "Func(?を,?で)" を, N で).
void DeclareUntyped(Call& c, const char* type_letters) {
  std::string file = c.Text(0);
  DllUntypedDeclaration d = ParseUntypedDeclaration(Normalised(c.Text(1)));
  std::string name = Normalised(c.Text(2));
  if (name.empty()) c.BadArgument();
  int declaration = Load(c.in, file, d.function);
  AddWord(c.in, name, Trim(d.templ), declaration, type_letters);
}

void CmdDllDeclare(Call& c) {
  DeclareUntyped(c, "");
}

void CmdDllDeclareText(Call& c) {
  DeclareUntyped(c, "P");
}

// DLLを利用 (F の, "ret Func(type,type)" を, template の, N として). A type name
// that is not a type, a template whose "?" marks are not one per parameter or
// not one per slot, and an empty name are errors of the declaration.
void CmdDllUse(Call& c) {
  std::string file = c.Text(0);
  DllTypedDeclaration d = ParseTypedDeclaration(Normalised(c.Text(1)));
  std::string templ = Normalised(c.Text(2));
  std::string name = Normalised(c.Text(3));
  size_t marks = QuestionMarks(templ);
  if (!d.known || marks != DllArgumentCount(d.params) || marks != TemplateSlotCount(templ) ||
      name.empty())
    c.BadArgument();
  int declaration = Load(c.in, file, d.function);
  AddWord(c.in, name, std::move(templ), declaration, std::string("=") + d.result + d.params);
}

// What standard error shows when the function faults and the process ends.
std::string FaultReport(Interpreter& in, const std::string& word, const DllEntry& e) {
  return SjisToUtf8(in.ReportLine(Format(CallFailed(), word))) + "\n" +
         SjisToUtf8(Format(SJ("DLL\"%s\"の関数\"%s\"の中で異常が起きたため、終了します。"),
                           e.library, e.function)) +
         "\n";
}

}  // namespace

void CallDllFunction(Interpreter& in, THashNode* w) {
  // The word may be replaced while its arguments are evaluated.
  const std::string name = w->Name;
  const std::string type_letters = w->TypeMark;
  const std::string templ = w->More().Template;
  const int declaration = w->ObjectIndex;

  size_t n = in.Bind(w);
  std::vector<std::string>& items = in.S.ArgStack.Items();
  if (n > items.size()) n = items.size();
  std::vector<std::string> args(std::make_move_iterator(items.end() - static_cast<long>(n)),
                                std::make_move_iterator(items.end()));
  items.resize(items.size() - n);

  // The letters of the call. A template changed after the declaration (関数定義)
  // may no longer give one argument per parameter.
  char result = 0;
  std::string params;
  if (type_letters.empty() || type_letters == "P") {
    if (n > kMaxUntypedArguments) in.Raise(BadDefinition(), name);
    result = type_letters.empty() ? 'n' : 'p';
    params.assign(n, 'p');
  } else if (type_letters.size() >= 2 && type_letters[0] == '=') {
    result = type_letters[1];
    params = type_letters.substr(2);
  }
  const std::vector<DllEntry>& entries = in.S.RunStates.Get<DllList>().entries;
  if (!result || DllArgumentCount(params) != n || QuestionMarks(templ) != n || declaration < 0 ||
      static_cast<size_t>(declaration) >= entries.size())
    in.Raise(BadDefinition(), name);
  const DllEntry entry = entries[declaration];

  for (std::string& a : args) a = in.Evaluate(a);
  NativeResult r;
  try {
    if (!CallNative(entry.proc, result, params, args, FaultReport(in, name, entry), r))
      in.Raise(CallFailed(), name);
  } catch (const std::invalid_argument&) {
    in.Raise(BadDefinition(), name);
  }
  in.S.SetSore(std::move(r.value), r.type);
  in.S.Fast.Sore->TypeMark = r.type;
}

CommandTable DllCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::DllDeclare, "DLL宣言", "?の,?を,?で", CmdDllDeclare, kActs},
      {CommandId::DllDeclareText, "文字型DLL宣言", "?の,?を,?で", CmdDllDeclareText, kActs},
      {CommandId::DllUse, "DLLを利用", "?の,?を,?の,?として", CmdDllUse, kActs},
  };
  return kRows;
}

}  // namespace sorane
