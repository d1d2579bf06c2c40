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
  if (in.host.Dialogs().DebugDialog("")) in.EndRun();
}

static void CmdDebug(Call& c) {
  OpenDebugDialog(c.in);
}

static void CmdLineStop(Call& c) {
  c.in.S.LineStopOption = true;
}

// Vを,Nで ログる: the name V is taken as written (a name in quotation marks
// loses them, as for _P); the limit is truncated.
static void CmdLog(Call& c) {
  Interpreter& in = c.in;
  long long limit = c.Int(1);
  std::string name = c.Name(0);
  std::string value = in.Evaluate(name);
  DebugLog::Entry entry = LogOf(in).Add(name, limit, value);
  if (!entry.show) return;
  std::optional<std::string> kept = in.host.Dialogs().AskMemo(entry.text, LogCaption(name));
  // Emptying the log window (or cancelling it, which empties it) asks for the
  // debug dialog.
  if (!kept || kept->empty()) OpenDebugDialog(in);
}

CommandTable DebugCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Debug, "DEBUG", "", CmdDebug, kActs},
      {CommandId::LineStop, "改行で実行を止める", "", CmdLineStop, kActs},
      {CommandId::LogRecord, "ログる", "?を,?で", CmdLog, kActs},
  };
  return kRows;
}

}  // namespace sorane
