#include "app/console_host.h"

#include <poll.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "debug/debug_model.h"
#include "debug/editor_link.h"
#include "library/objects/parse.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/standard_output.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

std::string ToTerminal(const std::string& sjis) {
  std::string utf8 = SjisToUtf8(sjis);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

// The first error of writing standard output (0 while none).
static int g_stdout_error = 0;

static void NoteStdoutError() {
  if (!g_stdout_error) g_stdout_error = errno ? errno : EIO;
}

// One line on standard output.
static void PrintLine(const std::string& line) {
  std::string out = ToTerminal(line);
  out += '\n';
  errno = 0;
  StandardOutputCall call;
  if (fwrite(out.data(), 1, out.size(), stdout) != out.size() || ferror(stdout)) NoteStdoutError();
}

std::string StandardOutputFailure(int err) {
  return SJ("標準出力に書き込めません。") + SystemReason(err);
}

// What the script printed, written before a message on standard error or a
// question (errors are left to the next line printed).
static void FlushStandardOutputNow() {
  StandardOutputCall call;
  fflush(stdout);
}

bool FlushStandardOutput() {
  errno = 0;
  StandardOutputCall call;
  if (fflush(stdout) != 0 || ferror(stdout)) NoteStdoutError();
  if (!g_stdout_error) return true;
  errno = g_stdout_error;
  return false;
}

void ConsoleOutput::PrintLine(const std::string& line) {
  sorane::PrintLine(line);
  if (g_stdout_error && in_ && !raised_) {
    raised_ = true;
    in_->Raise(StandardOutputFailure(g_stdout_error));
  }
}

int ConsoleHost::FinishOutput(int status) {
  if (FlushStandardOutput()) return status;
  if (status == 0) {  // otherwise the error log has said it already
    std::string out = ToTerminal(StandardOutputFailure(errno)) + "\n";
    fwrite(out.data(), 1, out.size(), stderr);
    fflush(stderr);
  }
  return 1;
}

void ConsoleDialogs::Say(const std::string& text) {
  PrintLine(text);
}

void ConsoleDialogs::MessageBox(const std::string& text, const std::string& title) {
  FlushStandardOutputNow();
  std::string out = ToTerminal(text) + "\n";
  fwrite(out.data(), 1, out.size(), stderr);
}

bool ConsoleDialogs::ErrorDialog(const std::string& log, bool, bool& debug_requested) {
  FlushStandardOutputNow();
  std::string out = ToTerminal(log);
  if (!out.empty() && out.back() != '\n') out += '\n';
  fwrite(out.data(), 1, out.size(), stderr);
  fflush(stderr);
  debug_requested = false;
  exit_status_ = 1;
  return false;
}

std::optional<std::string> ConsoleDialogs::ReadAnswer() {
  FlushStandardOutputNow();
  if (input_ended_ && !in_debug_dialog_) {
    if (exit_status_ == 0) {
      std::string message =
          SJ("標準入力が終わった後で、また入力を求められたため、実行を終了します。");
      std::string out = ToTerminal(in_ ? in_->ReportLine(message) : message) + "\n";
      fwrite(out.data(), 1, out.size(), stderr);
      fflush(stderr);
      exit_status_ = 1;
    }
    if (in_) in_->EndRun();
    return std::nullopt;
  }
  // (Read with the C library: the C++ streams, never used otherwise, are not
  // set up at start.)
  char* read = nullptr;
  size_t room = 0;
  const ssize_t length = ::getline(&read, &room, stdin);
  std::string line = length > 0 ? std::string(read, static_cast<size_t>(length)) : std::string();
  std::free(read);
  if (length < 0) {
    if (!in_debug_dialog_) input_ended_ = true;
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return Utf8ToSjis(line);
}

// The choice a line names: its number (1-based) or its text; -1 for neither.
static int ChoiceIndex(const std::string& answer, const std::vector<std::string>& choices) {
  long long n = 0;
  if (TryParseInteger(answer, n) && n >= 1 && n <= static_cast<long long>(choices.size()))
    return static_cast<int>(n - 1);
  for (size_t i = 0; i < choices.size(); ++i)
    if (choices[i] == answer) return static_cast<int>(i);
  return -1;
}

std::optional<std::string> ConsoleDialogs::AskText(const std::string& prompt,
                                                   const std::string& initial) {
  PrintLine(prompt);
  std::optional<std::string> line = ReadAnswer();
  if (line && line->empty()) return initial;
  return line;
}

int ConsoleDialogs::AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) {
  std::string question = prompt + "\r\n";
  for (size_t i = 0; i < buttons.size(); ++i)
    question += std::to_string(i + 1) + ") " + buttons[i] + (i + 1 < buttons.size() ? " " : "");
  PrintLine(question);
  // A line that names no button is asked again.
  while (std::optional<std::string> line = ReadAnswer()) {
    int index = ChoiceIndex(Trim(*line), buttons);
    if (index >= 0) return index;
  }
  return -1;
}

std::optional<std::string> ConsoleDialogs::AskFromList(const std::string& prompt,
                                                       const std::vector<std::string>& items,
                                                       const std::string& initial, bool editable) {
  PrintLine(prompt);
  for (size_t i = 0; i < items.size(); ++i) PrintLine(std::to_string(i + 1) + ") " + items[i]);
  while (std::optional<std::string> line = ReadAnswer()) {
    if (line->empty()) return initial;
    int index = ChoiceIndex(*line, items);
    if (index >= 0) return items[index];
    if (editable) return line;
  }
  return std::nullopt;
}

std::optional<std::string> ConsoleDialogs::AskMemo(const std::string& initial,
                                                   const std::string& caption) {
  PrintLine((caption.empty() ? SJ("メモ記入") : caption) + SJ("（「.」だけの行で終わり）"));
  if (!initial.empty()) PrintLine(initial);
  std::string text;
  bool any = false;
  while (std::optional<std::string> line = ReadAnswer()) {
    if (*line == ".") return any ? text : initial;
    text += (any ? "\r\n" : "") + *line;
    any = true;
  }
  if (!any) return std::nullopt;
  return text;
}

std::optional<std::vector<std::string>> ConsoleDialogs::AskFiles(const FileRequest& request) {
  PrintLine((request.save ? SJ("書込ファイル選択: ") : SJ("読込ファイル選択: ")) + request.filter);
  std::optional<std::string> line = ReadAnswer();
  if (!line) return std::nullopt;
  std::string name = Trim(*line);
  if (name.empty()) name = request.initial_name;
  if (name.empty()) return std::nullopt;
  std::string file = ExtractFileName(name);
  if (request.save && !request.default_ext.empty() && request.default_ext != "*" &&
      file.find('.') == std::string::npos)
    name += "." + request.default_ext;
  return std::vector<std::string>{AbsoluteName(name)};
}

std::optional<std::string> ConsoleDialogs::AskFolder() {
  PrintLine(SJ("フォルダ選択:"));
  std::optional<std::string> line = ReadAnswer();
  if (!line) return std::nullopt;
  std::string name = Trim(*line);
  return name.empty() ? CurrentFolder() : AbsoluteName(name);
}

std::optional<uint32_t> ConsoleDialogs::AskColor() {
  PrintLine(SJ("色選択:"));
  std::optional<std::string> line = ReadAnswer();
  if (!line) return std::nullopt;
  return ParseColor(Trim(*line));
}

std::optional<std::string> ConsoleDialogs::AskFont() {
  PrintLine(SJ("フォント選択:"));
  std::optional<std::string> line = ReadAnswer();
  if (!line) return std::nullopt;
  std::string font = Trim(*line);
  return font.empty() ? SJ("ＭＳ Ｐゴシック||9") : font;
}

void ConsoleEventLoop::StartLabelTimer(int ms) {
  timer_armed_ = ms > 0;
  timer_due_ = Clock::now() + std::chrono::milliseconds(ms);
}

bool ConsoleEventLoop::WatchDescriptor(int fd, unsigned events, bool keeps_run,
                                       WatchCallback callback) {
  Watch& w = watches_[fd];
  w.events = events;
  w.keeps_run = keeps_run;
  w.serial = ++next_serial_;
  w.callback = std::move(callback);
  return true;
}

void ConsoleEventLoop::UnwatchDescriptor(int fd) {
  watches_.erase(fd);
}

void ConsoleEventLoop::CallLater(int ms, std::function<void()> callback) {
  later_.push_back(
      {Clock::now() + std::chrono::milliseconds(std::max(ms, 0)), std::move(callback)});
}

bool ConsoleEventLoop::KeepsRun() const {
  if (timer_armed_ || !later_.empty()) return true;
  for (const auto& [fd, w] : watches_)
    if (w.keeps_run) return true;
  return false;
}

void ConsoleEventLoop::Dispatch(int ms) {
  // The wait ends at the first timer that falls due.
  Clock::time_point now = Clock::now();
  auto limit = [&](Clock::time_point due) {
    int left = static_cast<int>(
        std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(due - now).count()));
    if (ms < 0 || left < ms) ms = left;
  };
  if (timer_armed_) limit(timer_due_);
  for (const Later& l : later_) limit(l.due);

  std::vector<pollfd> fds;
  std::vector<uint64_t> serials;
  fds.reserve(watches_.size());
  for (const auto& [fd, w] : watches_) {
    short events = 0;
    if (w.events & kWatchRead) events |= POLLIN;
    if (w.events & kWatchWrite) events |= POLLOUT;
    fds.push_back({fd, events, 0});
    serials.push_back(w.serial);
  }
  int ready = poll(fds.data(), fds.size(), ms);
  if (ready < 0) ready = 0;  // a signal: nothing is ready
  for (size_t i = 0; i < fds.size() && ready > 0; ++i) {
    if (!fds[i].revents) continue;
    --ready;
    // Callbacks may unwatch (and a descriptor number may come back for another
    // socket): only the watch that was polled is called.
    auto it = watches_.find(fds[i].fd);
    if (it == watches_.end() || it->second.serial != serials[i]) continue;
    unsigned got = 0;
    short r = fds[i].revents;
    if ((it->second.events & kWatchRead) && (r & (POLLIN | POLLHUP | POLLERR))) got |= kWatchRead;
    if ((it->second.events & kWatchWrite) && (r & (POLLOUT | POLLHUP | POLLERR)))
      got |= kWatchWrite;
    if (!got) continue;
    WatchCallback callback = it->second.callback;  // it may unwatch itself
    callback(got);
  }

  now = Clock::now();
  if (timer_armed_ && in_ && now >= timer_due_) {
    timer_armed_ = false;
    LabelTimerTick(*in_);
  }
  // Calls that fall due; a call may add others, which wait for the next round.
  std::vector<std::function<void()>> due;
  for (size_t i = 0; i < later_.size();) {
    if (later_[i].due <= now) {
      due.push_back(std::move(later_[i].callback));
      later_.erase(later_.begin() + i);
    } else {
      ++i;
    }
  }
  for (auto& call : due) call();
}

bool ConsoleEventLoop::WaitIdle() {
  if (!in_ || in_->S.StopRequested || !KeepsRun()) return false;
  try {
    Dispatch(-1);
  } catch (const ESorane&) {
    // Recorded in the error log already; nothing runs the error routine here.
  }
  return true;
}

bool ConsoleDialogs::DebugDialog(const std::string& word) {
  std::string text = DebugDialogCaption();
  if (in_) {
    DebugSnapshot s = TakeDebugSnapshot(*in_, DebugFilter{}, word);
    text += "\r\n" + s.line_label;
    text += "\r\n" + SJ("名前\t値\t型\t宣言レベル");
    for (const DebugRow& r : s.rows)
      text += "\r\n" + r.name + "\t" + ReplaceText(r.value, "\r\n", LogLineBreakMarker(), true) +
              "\t" + r.type + "\t" + r.level;
    if (s.selected_row >= 0) text += "\r\n" + SJ("選択: ") + s.rows[s.selected_row].name;
    text += "\r\n" + SJ("実行制御：");
    for (size_t i = 0; i < s.controls.size(); ++i) text += (i ? " " : "") + s.controls[i];
  }
  DebugDialogShown shown;
  in_debug_dialog_ = true;
  int choice = AskChoice(text, {SJ("連続実行"), SJ("一行毎に実行"), SJ("実行中断")});
  in_debug_dialog_ = false;
  DebugChoice chosen = choice == 1   ? DebugChoice::kLineByLine
                       : choice == 2 ? DebugChoice::kAbort
                                     : DebugChoice::kContinue;
  if (!in_) return chosen == DebugChoice::kAbort;
  return ApplyDebugChoice(*in_, chosen);
}

}  // namespace sorane
