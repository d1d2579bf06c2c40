// libFuzzer target: runs each input twice as a script, once with the
// run-time's caches and once without, and fails when the two runs print,
// show or log anything differently. Script errors are not faults; a
// difference is. Runs that reach a limit of the native stack are not compared
// (where that limit falls depends on the frames of each path), and neither are
// scripts whose runs differ from one another (a script reading the clock).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../unit/test_host.h"
#include "library/library.h"
#include "platform/files.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"

namespace {

class RecordingHost : public sorane::TestHost {
 public:
  std::vector<std::string> seen;
  void PrintLine(const std::string& s) override { seen.push_back("print " + s); }
  void Say(const std::string& s) override { seen.push_back("say " + s); }
  void MessageBox(const std::string& s, const std::string& t) override {
    seen.push_back("box " + s + "|" + t);
  }
  bool ErrorDialog(const std::string& log, bool, bool& debug) override {
    seen.push_back("error " + log);
    debug = false;
    return ++errors_ < 20;  // go on after errors, as a user pressing "continue" would
  }

 private:
  int errors_ = 0;
};

std::vector<std::string> RunOnce(const std::string& program, bool caches) {
  RecordingHost host;
  sorane::Interpreter in(host);
  if (!caches) in.DisableCaches();
  sorane::InstallPureLibrary(in);
  in.StepLimit = 20000;
  in.S.Random.seed(20240401);
  in.S.SourceName = "fuzz.srn";
  in.S.ProgramText = program;
  in.Start();
  host.seen.push_back("log " + in.ErrorLog);
  return host.seen;
}

bool ReachedStackLimit(const std::vector<std::string>& seen) {
  static const std::string full = sorane::Utf8ToSjis("スタックが一杯になりました");
  static const std::string deep = sorane::Utf8ToSjis("式の入れ子や関数の呼び出しが深すぎます");
  for (const std::string& s : seen)
    if (s.find(full) != std::string::npos || s.find(deep) != std::string::npos) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string program =
      sorane::JoinLinesCrLf(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> cached = RunOnce(program, true);
  std::vector<std::string> plain = RunOnce(program, false);
  if (cached == plain || ReachedStackLimit(cached) || ReachedStackLimit(plain)) return 0;
  // A script whose runs differ from one another (reading the clock) is not
  // compared: both runs again, in the same order, must give what they gave.
  if (RunOnce(program, true) != cached || RunOnce(program, false) != plain) return 0;
  for (size_t i = 0; i < cached.size() || i < plain.size(); ++i) {
    const char* a = i < cached.size() ? cached[i].c_str() : "(nothing)";
    const char* b = i < plain.size() ? plain[i].c_str() : "(nothing)";
    if (cached.size() <= i || plain.size() <= i || cached[i] != plain[i]) {
      std::fprintf(stderr, "with caches:    %s\nwithout caches: %s\n",
                   sorane::SjisToUtf8(a).c_str(), sorane::SjisToUtf8(b).c_str());
      break;
    }
  }
  std::abort();
}
