// Scripts that create objects, run on the fake backend with the library
// installed; errors are collected instead of stopping the run.
#pragma once

#include <string>

#include "fake_object_backend.h"
#include "library/library.h"
#include "script_run_fixture.h"
#include "text/encoding.h"

namespace sorane {

class ObjectScriptFixture : public ScriptRunFixture {
 protected:
  FakeObjectBackend fake;
  void SetUp() override {
    host.object_backend = &fake;
    host.continue_after_error = true;
    InstallLibrary(in);
  }
  std::string Errors() { return SjisToUtf8(in.ErrorLog); }
  int IndexOf(const char* name) { return in.S.Objects.IndexOf(Utf8ToSjis(name)); }
};

}  // namespace sorane
