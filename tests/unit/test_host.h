// A host for unit tests: records printed lines and error dialogs, answers
// nothing, and never stops the run unless asked to. It is every service of
// Host in one object, so a test overrides just the call it wants to observe
// (AskChoice, DebugDialog, ScreenWidth, ...).
#pragma once

#include <string>
#include <vector>

#include "library/objects/backend.h"
#include "runtime/host.h"

namespace sorane {

class TestHost : public Host,
                 public HostSurface,
                 public HostDialogs,
                 public HostWindow,
                 public HostEventLoop {
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

  HostSurface& Surface() override { return *this; }
  HostDialogs& Dialogs() override { return *this; }
  HostWindow& Window() override { return *this; }
  HostEventLoop& EventLoop() override { return *this; }
  HostClipboard& Clipboard() override { return clipboard; }
  ObjectBackend& Objects() override { return object_backend ? *object_backend : objects; }
  HostMedia& Media() override { return media ? *media : Host::Media(); }

  ProcessClipboard clipboard;
  NoObjectBackend objects;
  ObjectBackend* object_backend = nullptr;  // a test's own widgets, when set
  HostMedia* media = nullptr;               // a test's own media service, when set
};

}  // namespace sorane
