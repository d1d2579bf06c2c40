// A fixture that runs a small script (UTF-8, "\n" line ends) in an interpreter
// with the computing commands and a test host, up to 待機 or its end, and reads
// its variables back as UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {

// A script written in UTF-8 with "\n" line ends, as a loaded file reads: CP932, CR LF.
inline std::string ScriptSource(const char* utf8) {
  std::string text;
  for (char c : Utf8ToSjis(utf8)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return text;
}

class ScriptRunFixture : public ::testing::Test {
 protected:
  TestHost host;
  Interpreter in{host};

  void Load(const char* utf8) {
    InstallPureLibrary(in);
    in.S.SourceName = "main.srn";
    in.S.ProgramText = ScriptSource(utf8);
    in.PrepareRun();
    in.S.ExecPos = TPos::Start(in.S.Sources[0]);
    in.Run();
  }
  std::string Var(const char* name) {
    THashNode* w = in.S.Words.Find(Utf8ToSjis(name), false);
    return w ? SjisToUtf8(w->Value()) : "(none)";
  }
};

}  // namespace sorane
