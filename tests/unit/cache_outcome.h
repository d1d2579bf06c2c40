// Runs a script with the run-time's caches and without them: both runs must
// print the same lines, log the same errors and leave the same variables.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_object_backend.h"
#include "library/library.h"
#include "runtime/interpreter.h"
#include "script_run_fixture.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {

struct Outcome {
  std::vector<std::string> lines;
  std::string log;
  std::vector<std::string> values;
};

// Runs `utf8` (lines joined with "\n"); `then` is called after the run (to
// raise events); the values of `names` are read at the end. A step limit,
// when given, stops the run after that many steps of the statement loop.
template <class Then>
Outcome RunScript(bool caches, const char* utf8, const std::vector<const char*>& names, Then then,
                  uint64_t step_limit = 0) {
  TestHost host;
  FakeObjectBackend fake;
  host.object_backend = &fake;
  host.continue_after_error = true;
  Interpreter in(host);
  if (!caches) in.DisableCaches();
  InstallLibrary(in);
  in.S.SourceName = "main.srn";
  in.S.ProgramText = ScriptSource(utf8);
  in.PrepareRun();
  in.S.ExecPos = TPos::Start(in.S.Sources[0]);
  in.StepLimit = step_limit;
  in.Run();
  then(in);
  Outcome out;
  for (const std::string& line : host.lines) out.lines.push_back(SjisToUtf8(line));
  out.log = SjisToUtf8(in.ErrorLog);
  for (const char* name : names) {
    THashNode* w = in.S.Words.FindExact(Utf8ToSjis(name));
    out.values.push_back(w ? SjisToUtf8(w->Value()) : "(none)");
  }
  return out;
}

// The outcome with caches, checked to be the outcome without them.
template <class Then>
Outcome Both(const char* utf8, const std::vector<const char*>& names, Then then) {
  Outcome cached = RunScript(true, utf8, names, then);
  Outcome plain = RunScript(false, utf8, names, then);
  EXPECT_EQ(cached.lines, plain.lines);
  EXPECT_EQ(cached.log, plain.log);
  EXPECT_EQ(cached.values, plain.values);
  return cached;
}
inline Outcome Both(const char* utf8, const std::vector<const char*>& names) {
  return Both(utf8, names, [](Interpreter&) {});
}

}  // namespace sorane
