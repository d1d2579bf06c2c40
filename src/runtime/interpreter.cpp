// Preparing and starting a run: the word table is rebuilt, the program text is
// preprocessed and its labels are registered, then the statement loop runs.
#include "runtime/interpreter.h"

#include "runtime/compiled_expression.h"
#include "runtime/events.h"
#include "runtime/messages.h"
#include "runtime/statement_cache.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

Interpreter::Interpreter(Host& h) : host(h) {
  if (CachesEnabled()) {
    Expressions = std::make_unique<ExpressionCache>();
    Statements = std::make_unique<StatementCache>();
  }
}
Interpreter::~Interpreter() = default;

void Interpreter::DisableCaches() {
  Expressions.reset();
  Statements.reset();
}

void Interpreter::PrepareRun() {
  ErrorLog.clear();
  S.ExecPos = TPos();
  S.LineNo = 0;
  S.CursorX = 10;
  S.CursorY = 10;
  S.Centring = false;
  S.RunStates.Clear();
  S.Words.Clear();
  S.CondResult = -1;
  try {
    if (BuildVocabulary) BuildVocabulary(*this);
  } catch (const EWordReserved& e) {
    Raise(msg::Reserved(), e.name);
  }
  RegisterHostObject(*this);
  auto program = StoreSource(Preprocess(S.ProgramText));
  S.ProgramText = *program;
  ScanLabels(program, S.SourceName);
}

bool Interpreter::Start() {
  CheckStack();  // records the bottom of the stack
  try {
    PrepareRun();
  } catch (const std::exception& e) {
    // A language error is already in the log; anything else is reported here.
    if (ErrorLog.empty()) ErrorLog = ReportLine(SJ("システムエラー:") + e.what()) + "\r\n";
    ShowErrorDialog();
    host.Window().Close();
    return false;
  }
  // The host window appears before the first statement unless the program
  // shows it itself (母艦浮上).
  if (PosFrom(SJ("母艦浮上"), *S.Sources[0], 1) == 0)
    host.Window().WindowCommand(Host::WindowAction::kShow);
  S.ExecPos = TPos::Start(S.Sources[0]);
  try {
    Run();
  } catch (const std::exception& e) {
    if (ErrorLog.empty())
      host.Dialogs().MessageBox(ReportLine(SJ("システムエラー:") + e.what()), "");
  }
  return true;
}

}  // namespace sorane
