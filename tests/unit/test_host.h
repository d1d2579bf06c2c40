// A host for unit tests: records printed lines and error dialogs, answers
// nothing, and never stops the run unless asked to.
#pragma once

#include <string>
#include <vector>

#include "runtime/host.h"

namespace sorane {

class TestHost : public Host {
 public:
  std::vector<std::string> lines;
  std::vector<std::string> dialogs;
  bool continue_after_error = false;

  void PrintLine(const std::string& line) override { lines.push_back(line); }
  void Say(const std::string& text) override { lines.push_back(text); }
  void MessageBox(const std::string& text, const std::string&) override { dialogs.push_back(text); }
  bool ErrorDialog(const std::string& log, bool, bool& debug) override {
    dialogs.push_back(log);
    debug = false;
    return continue_after_error;
  }
};

}  // namespace sorane
