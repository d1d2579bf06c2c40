// The windowed host with a script loaded from UTF-8 lines, for the GUI tests.
// The host is detached from the interpreter before the interpreter goes.
#pragma once

#include <string>

#include "gui/qt_host.h"
#include "library/library.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"

namespace sorane {

struct ScriptRun {
  TQtHost host;
  TfrmSorane& window = host.Form();
  Interpreter in{host};
  explicit ScriptRun(const std::string& utf8_script) {
    host.Attach(in);
    InstallLibrary(in);
    std::string crlf;
    for (char c : Utf8ToSjis(utf8_script))
      crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    in.S.SourceName = "test.srn";
    in.S.ProgramText = crlf;
  }
  ~ScriptRun() { host.Detach(); }
  bool Start() { return host.StartRun(); }
  const QImage& Surface() { return host.Canvas().Picture(); }
  std::string Sore() { return SjisToUtf8(in.S.Fast.Sore->Value()); }
  bool Defined(const char* utf8_name) {
    return in.S.Words.FindExact(Utf8ToSjis(utf8_name)) != nullptr;
  }
};

}  // namespace sorane
