// The interfaces between the interpreter core and its host (the Qt window or
// the console). The host hands out one narrow interface per service: the
// drawing surface that 表示 writes on, the dialogs, the window's own commands,
// the event loop with the label timer, the clipboard and the widgets of script
// objects. Each interface stands alone, so a host builds each from its own
// class and a command reaches only the service it uses. All texts are CP932
// byte strings.
#pragma once

#include <cstdint>
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

// Pending events and the one-shot label timer.
class HostEventLoop {
 public:
  virtual ~HostEventLoop() = default;

  // Processes pending events (timers, sockets, window messages).
  virtual void ProcessEvents() {}
  // The one-shot label timer of タイマー設定: fires once after `ms` milliseconds
  // (a new start replaces the old one; 0 or less never fires), and the host then
  // calls LabelTimerTick.
  virtual void StartLabelTimer(int ms) {}
  virtual void StopLabelTimer() {}
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

// Sound and media playback: players of media files, each known by the number
// OpenMedia gives (never 0), and the beep. A host without audio output (the
// console) opens nothing and answers every player as not ready.
class HostMedia {
 public:
  virtual ~HostMedia() = default;

  enum class Mode { kNotReady, kStopped, kPlaying, kPaused, kSeeking, kOpen };
  enum class Failure {
    kNone,
    kCannotOpen,   // no audio output, or the device refused the file
    kUnsupported,  // the file's format cannot be played here (MIDI without a synthesiser)
  };

  // Opens a player on a file (an OS path that exists); 0 and `failure` set
  // when it cannot play it. Waits a bounded time for the file to load.
  virtual int OpenMedia(const std::string& os_path, Failure& failure) {
    failure = Failure::kCannotOpen;
    return 0;
  }
  virtual void CloseMedia(int player) {}
  // Plays from `from_ms` (-1: where it stands) up to `to_ms` (-1: the end),
  // from `from_ms` (or the start) again each time it gets there when `loop`.
  virtual void PlayMedia(int player, int64_t from_ms, int64_t to_ms, bool loop) {}
  virtual void PauseMedia(int player) {}
  // Stops where it stands (Mode then kStopped; a later play goes on from there).
  virtual void StopMedia(int player) {}
  // Moves to `ms` and stops there.
  virtual void SeekMedia(int player, int64_t ms) {}
  // A player that played to its end (and does not loop) is kStopped.
  virtual Mode MediaMode(int player) { return Mode::kNotReady; }
  virtual int64_t MediaLength(int player) { return 0; }
  virtual int64_t MediaPosition(int player) { return 0; }
  // 0 (silent) to 1000 (full).
  virtual void SetMediaVolume(int player, int volume) {}
  virtual void SetMediaMuted(int player, bool muted) {}
  // The platform's default beep.
  virtual void Beep() {}
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
  // Sound and media (演奏, MCI送信, BEEP); by default nothing can be opened.
  virtual HostMedia& Media() {
    static HostMedia none;
    return none;
  }
};

}  // namespace sorane
