// The debugging commands: DEBUG opens the debug dialog, 改行で実行を止める turns
// on line-stop mode (the dialog after every line), and ログる collects a
// variable's values and shows them every N calls.
#include "debug/debug_commands.h"

#include "debug/debug_model.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

// The debug dialog; the run ends when it was closed with 実行中断.
static void OpenDebugDialog(Interpreter& in) {
  if (in.host.DebugDialog("")) in.EndRun();
}

static void CmdDebug(Interpreter& in, THashNode&) {
  OpenDebugDialog(in);
}

static void CmdLineStop(Interpreter& in, THashNode&) {
  in.S.LineStopOption = true;
}

// Vを,Nで ログる: the name V is taken as written (a name in quotation marks
// loses them, as for _P); the limit is truncated.
static void CmdLog(Interpreter& in, THashNode&) {
  long long limit = in.PopInt();
  std::string name = StripBackquotes(in.PopRaw());
  std::string value = in.Evaluate(name);
  DebugLog::Entry entry = LogOf(in).Add(name, limit, value);
  if (!entry.show) return;
  std::optional<std::string> kept = in.host.AskMemo(entry.text, LogCaption(name));
  // Emptying the log window (or cancelling it, which empties it) asks for the
  // debug dialog.
  if (!kept || kept->empty()) OpenDebugDialog(in);
}

CommandTable DebugCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Debug, "DEBUG", "", Popping<CmdDebug>, kActs},
      {CommandId::LineStop, "改行で実行を止める", "", Popping<CmdLineStop>, kActs},
      {CommandId::LogRecord, "ログる", "?を,?で", Popping<CmdLog>, kActs},
  };
  return kRows;
}

}  // namespace sorane
