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

// A picture as the drawing commands hold it: rows from the top, each pixel
// blue, green, red and, with 32 bits, a fourth byte no filter reads. Rows are
// packed (no padding), so the byte of channel k of pixel (x, y) is
// pixels[y * Stride() + x * Bpp() + k].
struct Bitmap {
  int width = 0, height = 0;
  int bits = 24;  // 24 or 32
  std::vector<uint8_t> pixels;

  Bitmap() = default;
  Bitmap(int w, int h, int b = 24)
      : width(w > 0 ? w : 0), height(h > 0 ? h : 0), bits(b), pixels(Size()) {}
  bool Empty() const { return width <= 0 || height <= 0; }
  int Bpp() const { return bits / 8; }
  size_t Stride() const { return size_t(width) * Bpp(); }
  size_t Size() const { return Stride() * size_t(height); }
  uint8_t* Row(int y) { return pixels.data() + size_t(y) * Stride(); }
  const uint8_t* Row(int y) const { return pixels.data() + size_t(y) * Stride(); }
};

struct HostTextFont {
  std::string face;  // as the host lists it (see FontFamilies)
  bool bold = false, italic = false, underline = false;
  int size = 12;       // points
  uint32_t color = 0;  // colour value (system colours have the top byte 0x80)
};

// A picture the drawing commands draw on: the host window's drawing surface or
// the picture of an image object. Shapes are drawn with the pen (outline) and
// the fill colour (inside); their right and bottom edges are exclusive.
class HostCanvas {
 public:
  virtual ~HostCanvas() = default;

  struct Pen {
    uint32_t color = 0;  // outline and lines (colour value)
    int width = 2;
    uint32_t fill = 0;  // inside of rectangles and ellipses
  };
  // Sets the pen and fill; the picture is made 24 bits.
  virtual void SetPen(const Pen& pen) {}
  virtual void Line(int x1, int y1, int x2, int y2) {}
  virtual void Rectangle(int x1, int y1, int x2, int y2) {}
  virtual void Ellipse(int x1, int y1, int x2, int y2) {}
  // One pixel; outside the picture nothing happens.
  virtual void SetPixel(int x, int y, uint32_t color) {}
  // The colour value at (x, y); nullopt outside the picture.
  virtual std::optional<uint32_t> Pixel(int x, int y) { return std::nullopt; }

  // The picture as it is (24 or 32 bits; empty when it has none).
  virtual Bitmap GetBitmap() { return {}; }
  // Replaces the picture; an image object takes the picture's size.
  virtual void SetBitmap(const Bitmap& picture) {}
  // Draws `picture` with its top-left corner at (x, y); the picture keeps its
  // size (what falls outside is lost).
  virtual void DrawBitmap(int x, int y, const Bitmap& picture) {}
  // Draws `picture` stretched into the rectangle (x1, y1)-(x2, y2).
  virtual void StretchBitmap(int x1, int y1, int x2, int y2, const Bitmap& picture) {}
  // Draws lines of text anti-aliased, the first with its top-left corner at
  // (x, y) and each next `pitch` pixels lower; the picture becomes 32 bits.
  virtual void DrawTextSmooth(int x, int y, const std::vector<std::string>& lines, int pitch,
                              const HostTextFont& font) {}
  // The size of the control showing the picture (a picture-less image object
  // is blank at this size).
  virtual int CanvasWidth() { return 0; }
  virtual int CanvasHeight() { return 0; }
  // Shows what was drawn.
  virtual void Refresh() {}
};

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
  using TextFont = HostTextFont;
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

  // ---- Drawing and pictures ----
  // The picture of the host window that the drawing commands draw on; nullptr
  // for a host without a window.
  virtual HostCanvas* Canvas() { return nullptr; }
  // Decodes a picture of a format the run-time does not read itself (GIF and
  // whatever the host's image plug-ins read); nullopt when no reader takes it.
  // Pictures larger than `max_pixels` are refused before they are decoded.
  virtual std::optional<Bitmap> DecodePicture(const std::string& bytes, int64_t max_pixels) {
    return std::nullopt;
  }
  // The fades: copies the whole window (frame included) from the screen into
  // the drawing surface and brings the surface in front of every object
  // (`front`), or sends it behind them again (!front). False without a window.
  virtual bool FadeSurface(bool front) { return false; }
  // A picture of the window titled `title` ("デスクトップ": the whole screen);
  // nullopt when there is none or it cannot be read.
  virtual std::optional<Bitmap> CaptureWindow(const std::string& title) { return std::nullopt; }
  // Prints a picture scaled as PrintWindow scales the window, or a text line by
  // line, after the printer set-up dialog (no printer: into `pdf_fallback`).
  virtual PrintResult PrintPicture(const Bitmap& picture, const std::string& title,
                                   const std::string& pdf_fallback) {
    return PrintResult::kCancelled;
  }
  virtual PrintResult PrintText(const std::vector<std::string>& lines,
                                const std::string& pdf_fallback) {
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
  // Sets the window icon from the bytes of an icon file made in memory; false
  // when they cannot be read.
  virtual bool SetIconData(const std::string& ico) { return false; }
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
  // The picture on the clipboard (empty when it holds none).
  virtual Bitmap ClipboardPicture() { return {}; }
  virtual void SetClipboardPicture(const Bitmap& picture) {}
};

// A clipboard kept inside the process, for hosts without a desktop clipboard.
class ProcessClipboard : public HostClipboard {
 public:
  void SetClipboardText(const std::string& text) override { text_ = text; }
  std::string ClipboardText() override { return text_; }
  Bitmap ClipboardPicture() override { return picture_; }
  void SetClipboardPicture(const Bitmap& picture) override { picture_ = picture; }

 private:
  std::string text_;
  Bitmap picture_;
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
