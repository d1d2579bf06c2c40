// Preparing and starting a run: the word table is rebuilt, the program text is
// preprocessed and its labels are registered, then the statement loop runs.
#include "runtime/interpreter.h"

#include "runtime/events.h"
#include "text/encoding.h"

namespace sorane {

Interpreter::Interpreter(Host& h) : host(h) {}
Interpreter::~Interpreter() = default;

void Interpreter::PrepareRun() {
  ErrorLog.clear();
  S.ExecPos = TPos();
  S.LineNo = 0;
  S.CursorX = 10;
  S.CursorY = 10;
  S.Centring = false;
  S.Words.Clear();
  S.CondResult = -1;
  try {
    if (BuildVocabulary) BuildVocabulary(*this);
  } catch (const EWordReserved& e) {
    Raise(SJ("\"%s\"は予約語なので、登録できません。"), e.name);
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
  } catch (const ESorane&) {
    ShowErrorDialog();
    host.Close();
    return false;
  } catch (const std::exception& e) {
    if (ErrorLog.empty()) ErrorLog = ReportLine(SJ("システムエラー:") + e.what()) + "\r\n";
    ShowErrorDialog();
    host.Close();
    return false;
  }
  S.ExecPos = TPos::Start(S.Sources[0]);
  try {
    Run();
  } catch (const std::exception& e) {
    if (ErrorLog.empty()) host.MessageBox(ReportLine(SJ("システムエラー:") + e.what()), "");
  }
  return true;
}

}  // namespace sorane
