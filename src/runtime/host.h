// The narrow interface between the interpreter core and its host (the Qt window
// or the console): print, dialogs, event pumping, timers, closing. All texts are
// CP932 byte strings.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sorane {

class Host {
 public:
  virtual ~Host() = default;

  // One laid-out line of 表示 (tabs already expanded, already folded).
  virtual void PrintLine(const std::string& line) = 0;
  // Clears the output surface (画面クリア).
  virtual void ClearOutput() {}
  // 言う: a message with an OK button.
  virtual void Say(const std::string& text) = 0;
  // A plain message box (startup failures, system errors).
  virtual void MessageBox(const std::string& text, const std::string& title) = 0;
  // The error dialog with the whole error log. Returns true to continue the run.
  // `debug_requested` is set when the user chose the debug button.
  virtual bool ErrorDialog(const std::string& log, bool debug_button, bool& debug_requested) = 0;
  // Asks one line of text; nullopt = cancelled.
  virtual std::optional<std::string> AskText(const std::string& prompt,
                                             const std::string& initial) {
    return std::nullopt;
  }
  // Asks a question with buttons; returns the index of the chosen button, -1 cancelled.
  virtual int AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) {
    return -1;
  }
  // Processes pending events (timers, sockets, window messages).
  virtual void ProcessEvents() {}
  // True while something can still raise an event (a timer, socket, open window).
  virtual bool HasEventSource() { return false; }
  // Closes the host window; the run ends when control returns to the host loop.
  virtual void Close() {}
  // Screen size in pixels.
  virtual int ScreenWidth() { return 1024; }
  virtual int ScreenHeight() { return 768; }
};

}  // namespace sorane
