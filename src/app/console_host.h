// The headless host: 表示 and 言う write to standard output, questions read
// standard input, and the error dialog becomes the error log on standard error
// with exit status 1. Texts are converted from CP932 to UTF-8 on the way out.
//
// Dialogs print their prompt (and numbered choices) and read one line: the end
// of input cancels; an empty line accepts what the dialog starts with (the
// initial text, the current folder, black, the default font); a choice is
// answered by its number or its text. メモ記入 reads lines up to one holding
// only "." (or the end of input, which cancels when nothing was read). A dialog
// that comes after one was cancelled by the end of input ends the run: a report
// line on standard error and exit status 1 (a script asking again until it
// gets an answer would otherwise ask forever). The debug dialog is not counted:
// at the end of input it always chooses 連続実行. Standard output is flushed
// before every dialog.
#pragma once

#include <chrono>
#include <map>
#include <vector>

#include "app/console_media.h"
#include "library/objects/backend.h"
#include "runtime/host.h"

namespace sorane {

class Interpreter;

// 表示 line by line on standard output. When standard output cannot be written
// (a full disk, /dev/full, a closed descriptor) the first failure raises an
// error in the run ("標準出力に書き込めません。" and the reason), so the run
// stops with the error log on standard error and exit status 1.
class ConsoleOutput : public HostSurface {
 public:
  void Attach(Interpreter& in) { in_ = &in; }
  void PrintLine(const std::string& line) override;

 private:
  Interpreter* in_ = nullptr;
  bool raised_ = false;
};

// The message for a standard output that cannot be written (CP932).
std::string StandardOutputFailure(int err);
// Flushes standard output; false with errno set when anything written to it
// during the run was lost.
bool FlushStandardOutput();

class ConsoleDialogs : public HostDialogs {
 public:
  void Attach(Interpreter& in) { in_ = &in; }
  int ExitStatus() const { return exit_status_; }

  void Say(const std::string& text) override;
  void MessageBox(const std::string& text, const std::string& title) override;
  bool ErrorDialog(const std::string& log, bool debug_button, bool& debug_requested) override;
  std::optional<std::string> AskText(const std::string& prompt,
                                     const std::string& initial) override;
  int AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) override;
  std::optional<std::string> AskFromList(const std::string& prompt,
                                         const std::vector<std::string>& items,
                                         const std::string& initial, bool editable) override;
  std::optional<std::string> AskMemo(const std::string& initial,
                                     const std::string& caption) override;
  std::optional<std::vector<std::string>> AskFiles(const FileRequest& request) override;
  std::optional<std::string> AskFolder() override;
  std::optional<uint32_t> AskColor() override;
  std::optional<std::string> AskFont() override;
  // The debug dialog as text: caption, current line, the variable grid (name,
  // value, type, level; tab-separated, line breaks in values shown as "~改行_")
  // and the control structures; then one choice among 連続実行, 一行毎に実行 and
  // 実行中断 by number or text. The end of input chooses 連続実行.
  bool DebugDialog(const std::string& word) override;

 private:
  // One line of standard input (CP932, no line end); nullopt at the end of input.
  std::optional<std::string> ReadAnswer();

  int exit_status_ = 0;
  bool input_ended_ = false;  // a dialog was cancelled by the end of input
  bool in_debug_dialog_ = false;
  Interpreter* in_ = nullptr;
};

// The event loop of the console: poll(2) over the watched descriptors, with
// the label timer and the later calls as its time limits. Commands process
// events through ProcessEvents and WaitForEvents (待つ, a connection being
// made); after the statement loop WaitIdle waits for the next event and runs
// it, for as long as one may still run a label.
class ConsoleEventLoop : public HostEventLoop {
 public:
  void Attach(Interpreter& in) { in_ = &in; }
  void ProcessEvents() override { Dispatch(0); }
  void WaitForEvents(int ms) override { Dispatch(ms < 0 ? 0 : ms); }
  void StartLabelTimer(int ms) override;
  void StopLabelTimer() override { timer_armed_ = false; }
  bool WatchDescriptor(int fd, unsigned events, bool keeps_run, WatchCallback callback) override;
  void UnwatchDescriptor(int fd) override;
  void CallLater(int ms, std::function<void()> callback) override;
  // Waits for the next event and runs it. False (at once) when the run is
  // stopping or no event can come: no label timer, no later call, no
  // descriptor that keeps the run. Errors raised by an event are dropped
  // here, as the window drops them: the error log keeps them.
  bool WaitIdle();

 private:
  using Clock = std::chrono::steady_clock;
  struct Watch {
    unsigned events = 0;
    bool keeps_run = false;
    uint64_t serial = 0;  // tells a watch from a later one of the same descriptor
    WatchCallback callback;
  };
  struct Later {
    Clock::time_point due;
    std::function<void()> callback;
  };
  // Polls (up to `ms` milliseconds, -1: until the next timer or for ever) and
  // runs what is ready: descriptors, then the label timer, then later calls.
  void Dispatch(int ms);
  bool KeepsRun() const;

  bool timer_armed_ = false;
  Clock::time_point timer_due_;
  std::map<int, Watch> watches_;
  std::vector<Later> later_;
  uint64_t next_serial_ = 0;
  Interpreter* in_ = nullptr;
};

// No window: the window commands do nothing; closing only ends the run.
class ConsoleWindow : public HostWindow {};

class ConsoleHost : public Host {
 public:
  // The interpreter whose state the debug dialog shows and the timer jumps in.
  void Attach(Interpreter& in) {
    output_.Attach(in);
    dialogs_.Attach(in);
    loop_.Attach(in);
  }
  int ExitStatus() const { return dialogs_.ExitStatus(); }
  // Flushes standard output at the end of the run; the exit status: `status`,
  // or 1 with the failure on standard error when output was lost.
  int FinishOutput(int status);
  bool WaitIdle() { return loop_.WaitIdle(); }

  HostSurface& Surface() override { return output_; }
  HostDialogs& Dialogs() override { return dialogs_; }
  HostWindow& Window() override { return window_; }
  HostEventLoop& EventLoop() override { return loop_; }
  HostClipboard& Clipboard() override { return clipboard_; }
  ObjectBackend& Objects() override { return objects_; }
  HostMedia& Media() override { return ConsoleMediaService(); }

 private:
  ConsoleOutput output_;
  ConsoleDialogs dialogs_;
  ConsoleWindow window_;
  ConsoleEventLoop loop_;
  ProcessClipboard clipboard_;
  NoObjectBackend objects_;
};

// CR LF and lone CR become "\n" (the terminal's line end).
std::string ToTerminal(const std::string& sjis);

}  // namespace sorane
