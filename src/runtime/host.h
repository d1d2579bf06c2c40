// The interfaces between the interpreter core and its host (the Qt window or
// the console). The host hands out one narrow interface per service: the
// drawing surface that 表示 writes on, the dialogs, the window's own commands,
// the event loop with the label timer, the clipboard and the widgets of script
// objects. Each interface stands alone, so a host builds each from its own
// class and a command reaches only the service it uses. All texts are CP932
// byte strings.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "text/encoding.h"

namespace sorane {

class ObjectBackend;  // library/objects/backend.h

// Where 表示 and 画面クリア go, and printing of what the window shows.
class HostSurface {
 public:
  virtual ~HostSurface() = default;

  // One laid-out line of 表示 (tabs already expanded, already folded), for a
  // host that does not place text itself (DrawsText false).
  virtual void PrintLine(const std::string& line) = 0;
  // Clears the output surface (画面クリア) in the window colour.
  virtual void ClearOutput() {}
  // 画面クリア with a colour: fills the surface and makes it the window colour.
  virtual void ClearOutputWith(uint32_t color) { ClearOutput(); }

  // A surface that draws text returns true from DrawsText; the core then
  // places each line itself and calls DrawText; otherwise it calls PrintLine.
  struct TextFont {
    std::string face;  // as the host lists it (see FontFamilies)
    bool bold = false, italic = false, underline = false;
    int size = 12;       // points
    uint32_t color = 0;  // colour value (system colours have the top byte 0x80)
  };
  virtual bool DrawsText() { return false; }
  virtual void SetTextFont(const TextFont& font) {}
  // Width and height in pixels of `text` in the current text font.
  virtual int TextWidth(const std::string& text) { return 0; }
  virtual int TextHeight(const std::string& text) { return 0; }
  virtual int ClientWidth() { return 640; }
  virtual void DrawText(int x, int y, const std::string& line) {}
  // Installed font family names (CP932), for matching font texts.
  virtual std::vector<std::string> FontFamilies() { return {}; }

  // Prints the window scaled to fit the page after the printer set-up dialog;
  // without a printer it writes the page to `pdf_fallback` (CP932 name). A
  // host without a window has nothing to print.
  enum class PrintResult { kPrinted, kCancelled, kFailed };
  virtual PrintResult PrintWindow(const std::string& pdf_fallback) {
    return PrintResult::kCancelled;
  }
};

// Messages, questions, the standard choosers, the error dialog and the debug
// dialog. Every question returns nullopt (or -1) when cancelled.
class HostDialogs {
 public:
  virtual ~HostDialogs() = default;

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
  // A yes/no question (with_cancel: yes/no/cancel): 0 yes, 1 no, 2 cancel, -1 closed.
  virtual int AskYesNo(const std::string& prompt, bool with_cancel) {
    std::vector<std::string> buttons{SJ("はい"), SJ("いいえ")};
    if (with_cancel) buttons.push_back(SJ("キャンセル"));
    return AskChoice(prompt, buttons);
  }
  // A list chooser with a result field holding `initial`; `editable` lets the
  // user type an answer that is not in the list. Returns the result field.
  virtual std::optional<std::string> AskFromList(const std::string& prompt,
                                                 const std::vector<std::string>& items,
                                                 const std::string& initial, bool editable) {
    return std::nullopt;
  }
  // A row of buttons: the index of the pressed one, -1 when closed otherwise.
  virtual int AskButtons(const std::string& prompt, const std::vector<std::string>& buttons) {
    return AskChoice(prompt, buttons);
  }
  // The memo editor starting with `initial`; returns the edited text. An empty
  // caption means the application title.
  virtual std::optional<std::string> AskMemo(const std::string& initial,
                                             const std::string& caption = {}) {
    return std::nullopt;
  }
  // The debug dialog over the run's state, opened on `word` (_P names a word;
  // empty otherwise). Returns true when it was closed with 実行中断 (the abort
  // flag); whoever opened it then ends the run.
  virtual bool DebugDialog(const std::string& word) { return false; }
  // File chooser. `filter` is "label|pattern|label|pattern..."; the result holds
  // absolute names (several only for an open dialog with multiple selection).
  struct FileRequest {
    std::string filter;
    std::string initial_name;
    std::string default_ext;  // save dialog: appended to a name without extension
    bool save = false;
  };
  virtual std::optional<std::vector<std::string>> AskFiles(const FileRequest& request) {
    return std::nullopt;
  }
  // Folder chooser starting in the current folder; absolute name.
  virtual std::optional<std::string> AskFolder() { return std::nullopt; }
  // Colour chooser: the colour in the red + green*256 + blue*65536 layout.
  virtual std::optional<uint32_t> AskColor() { return std::nullopt; }
  // Font chooser: the answer as a font text "face|styles|size".
  virtual std::optional<std::string> AskFont() { return std::nullopt; }
  // The progress window (進行度表示) of a file transfer: shown with a message,
  // its bar at `done` of `total` bytes (total 0: not known) as the transfer
  // goes on, closed when it ends. ProgressStopped turns true once its stop
  // button was pressed; the transfer then fails. A host without windows shows
  // nothing and is never stopped.
  virtual void ShowProgress(const std::string& message) {}
  virtual void UpdateProgress(int64_t done, int64_t total) {}
  virtual bool ProgressStopped() { return false; }
  virtual void CloseProgress() {}
};

// The host window as a window: its state, border, icon, position and closing.
class HostWindow {
 public:
  virtual ~HostWindow() = default;

  // kMinimise/kRestore are the host-window commands (application-wide);
  // kMinimiseForm/kNormal only change the window state.
  enum class WindowAction {
    kMaximise,
    kMinimise,
    kRestore,
    kFullScreen,
    kShow,
    kRepaint,
    kMinimiseForm,
    kNormal
  };
  virtual void WindowCommand(WindowAction action) {}
  // 0 none, 1 fixed, 2 sizeable, 3 dialog, 4 tool window, 5 sizeable tool window.
  virtual void SetBorderStyle(int style) {}
  // Sets the window icon from a picture file (OS path); false when unreadable.
  virtual bool SetIconFile(const std::string& os_path) { return false; }
  // Sets the window icon from the picture of an image object; false when it
  // has none.
  virtual bool SetIconFromObject(int object_index) { return false; }
  struct Geometry {
    int state = 0;                                 // 0 normal, 1 minimised, 2 maximised
    int top = 0, left = 0, height = 0, width = 0;  // normal bounds
  };
  virtual Geometry GetGeometry() { return {}; }
  virtual void SetGeometry(const Geometry& g) {}
  virtual std::string WindowCaption() { return SJ("そらね"); }
  // Screen size in pixels.
  virtual int ScreenWidth() { return 1024; }
  virtual int ScreenHeight() { return 768; }
  // Closes the host window; the run ends when control returns to the host loop.
  virtual void Close() {}
};

// Pending events, the one-shot label timer, and the descriptors and timers of
// the network commands. Every callback runs on the script's thread, from the
// host's event processing: ProcessEvents, WaitForEvents, and the host's own
// wait once the script is idle.
class HostEventLoop {
 public:
  virtual ~HostEventLoop() = default;

  // Processes pending events (timers, sockets, window messages).
  virtual void ProcessEvents() {}
  // Processes events, first waiting up to `ms` milliseconds for one when none
  // is pending.
  virtual void WaitForEvents(int ms) { ProcessEvents(); }
  // The one-shot label timer of タイマー設定: fires once after `ms` milliseconds
  // (a new start replaces the old one; 0 or less never fires), and the host then
  // calls LabelTimerTick.
  virtual void StartLabelTimer(int ms) {}
  virtual void StopLabelTimer() {}

  // Watching a descriptor: `callback` gets the conditions of `events` that hold
  // (kWatchRead: readable or closed by the peer, kWatchWrite: writable or
  // failed) whenever events are processed while one holds. Watching a watched
  // descriptor again replaces its events and callback; the callback may watch
  // and unwatch descriptors, its own too. `keeps_run`: after the statement
  // loop the host goes on waiting for events while such a descriptor is
  // watched (an event of it may still run a label), as it does while the
  // label timer is armed. False when this host cannot watch descriptors.
  enum : unsigned { kWatchRead = 1, kWatchWrite = 2 };
  using WatchCallback = std::function<void(unsigned ready)>;
  virtual bool WatchDescriptor(int fd, unsigned events, bool keeps_run, WatchCallback callback) {
    return false;
  }
  virtual void UnwatchDescriptor(int fd) {}
  // Calls `callback` once, from event processing, `ms` milliseconds from now
  // (0: at the next processing). The host keeps waiting for events after the
  // statement loop until it has run.
  virtual void CallLater(int ms, std::function<void()> callback) {}
};

class HostClipboard {
 public:
  virtual ~HostClipboard() = default;
  virtual void SetClipboardText(const std::string& text) = 0;
  virtual std::string ClipboardText() = 0;
};

// A clipboard kept inside the process, for hosts without a desktop clipboard.
class ProcessClipboard : public HostClipboard {
 public:
  void SetClipboardText(const std::string& text) override { text_ = text; }
  std::string ClipboardText() override { return text_; }

 private:
  std::string text_;
};

class Host {
 public:
  virtual ~Host() = default;

  // The value types of the services, under the names the commands use.
  using TextFont = HostSurface::TextFont;
  using PrintResult = HostSurface::PrintResult;
  using FileRequest = HostDialogs::FileRequest;
  using WindowAction = HostWindow::WindowAction;
  using Geometry = HostWindow::Geometry;

  virtual HostSurface& Surface() = 0;
  virtual HostDialogs& Dialogs() = 0;
  virtual HostWindow& Window() = 0;
  virtual HostEventLoop& EventLoop() = 0;
  virtual HostClipboard& Clipboard() = 0;
  // The widgets of script objects (作成, 設定, 得る and their events).
  virtual ObjectBackend& Objects() = 0;
};

}  // namespace sorane
