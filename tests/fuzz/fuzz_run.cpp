// libFuzzer target: preprocess and run arbitrary bytes as a script with a step
// limit. Any crash, hang or sanitizer report is a fault; script errors are not.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../unit/test_host.h"
#include "library/library.h"
#include "platform/files.h"
#include "runtime/interpreter.h"

namespace {

class SilentHost : public sorane::TestHost {
 public:
  void PrintLine(const std::string&) override {}
  void Say(const std::string&) override {}
  void MessageBox(const std::string&, const std::string&) override {}
  bool ErrorDialog(const std::string&, bool, bool& debug) override {
    debug = false;
    return ++errors_ < 20;  // go on after errors, as a user pressing "continue" would
  }

 private:
  int errors_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SilentHost host;
  sorane::Interpreter in(host);
  sorane::InstallPureLibrary(in);
  in.StepLimit = 20000;
  in.S.SourceName = "fuzz.srn";
  in.S.ProgramText = sorane::JoinLinesCrLf(std::string(reinterpret_cast<const char*>(data), size));
  in.Start();
  return 0;
}
