// The host window: a top-level widget whose client area is covered by the
// drawing surface `img`, a QImage that keeps every drawing across repaints and
// grows with the window (new space in the window colour). It implements the
// Host interface with widgets: 表示 draws into `img`, the dialogs are the forms
// of frm_dialogs.h, closing goes through the script's close handler. As object
// 0 it raises the script's events: mouse events of the surface, key events of
// the whole window (seen before the focused control) and resizing.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

class QKeyEvent;
class QTimer;
class QMouseEvent;

#include "runtime/host.h"
#include "words/obj_list.h"

namespace sorane {

class Interpreter;

class TfrmSorane : public QWidget, public Host {
  Q_OBJECT
 public:
  TfrmSorane();
  void Attach(Interpreter& in) { in_ = &in; }
  // Before the interpreter goes: later window events reach no script.
  void Detach() { in_ = nullptr; }

  // Prepares and runs the program: hidden when the program text holds 母艦浮上,
  // otherwise shown first. Returns false when preparation failed.
  bool StartRun();
  // Image of the window as a person sees it: `img` and the child widgets.
  QImage Snapshot();
  const QImage& Surface() const { return img_; }
  // True when the run was stopped through the error dialog.
  bool StoppedByError() const { return stopped_by_error_; }

  // Host
  void PrintLine(const std::string& line) override;
  void ClearOutput() override;
  void ClearOutputWith(uint32_t color) override;
  void Say(const std::string& text) override;
  void MessageBox(const std::string& text, const std::string& title) override;
  bool ErrorDialog(const std::string& log, bool debug_button, bool& debug_requested) override;
  std::optional<std::string> AskText(const std::string& prompt,
                                     const std::string& initial) override;
  int AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) override;
  int AskYesNo(const std::string& prompt, bool with_cancel) override;
  std::optional<std::string> AskFromList(const std::string& prompt,
                                         const std::vector<std::string>& items,
                                         const std::string& initial, bool editable) override;
  int AskButtons(const std::string& prompt, const std::vector<std::string>& buttons) override;
  std::optional<std::string> AskMemo(const std::string& initial,
                                     const std::string& caption) override;
  std::optional<std::vector<std::string>> AskFiles(const FileRequest& request) override;
  std::optional<std::string> AskFolder() override;
  std::optional<uint32_t> AskColor() override;
  std::optional<std::string> AskFont() override;
  void ProcessEvents() override;
  void StartLabelTimer(int ms) override;
  void StopLabelTimer() override;
  // True while the label timer is armed (the run goes on even when hidden).
  bool LabelTimerActive() const;
  void Close() override;
  int ScreenWidth() override;
  int ScreenHeight() override;
  bool DrawsText() override { return true; }
  void SetTextFont(const TextFont& font) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  int ClientWidth() override { return width(); }
  void DrawText(int x, int y, const std::string& line) override;
  std::vector<std::string> FontFamilies() override;
  void WindowCommand(WindowAction action) override;
  void SetBorderStyle(int style) override;
  bool SetIconFile(const std::string& os_path) override;
  PrintResult PrintWindow(const std::string& pdf_fallback) override;
  Geometry GetGeometry() override;
  void SetGeometry(const Geometry& g) override;
  std::string WindowCaption() override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  bool DebugDialog(const std::string& word) override;

  // The colour of a colour value: system colours ($80000000 range) from the
  // palette, others red + green*256 + blue*65536.
  static QColor ToQColor(uint32_t color);
  // Sets the window icon from a picture through a unique temporary icon file
  // that is removed afterwards.
  bool SetIconFromImage(const QImage& picture);
  // Renders `window` scaled to fit both the width and the height of `page`.
  static QRect FitToPage(const QSize& window, const QRect& page);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  QFont TextQFont() const { return text_font_; }
  Interpreter* in_ = nullptr;
  QImage img_;
  QColor window_color_ = Qt::white;
  QFont text_font_;
  QColor text_color_ = Qt::black;
  // Events of object 0 (the host window) to the script.
  TObjNode* HostObject() const;
  void SetEventVariable(const char* name, const std::string& value);
  void RaiseSlot(int slot);
  void RaiseKey(QKeyEvent* e, bool down);
  void RaiseMouse(QMouseEvent* e, int slot, bool double_click);
  const QEvent* last_key_event_ = nullptr;  // a key event is raised once, not per widget
  quint64 last_key_time_ = 0;
  QTimer* label_timer_ = nullptr;  // SoraneTimer: the one-shot label timer
  bool pressed_ = false;           // a button went down on the surface (for the click)
  bool closing_ = false;           // the close request already ran (おわり)
  bool stopped_by_error_ = false;
};

// Maps the face names scripts use on other systems to installed Japanese fonts.
void InstallFontSubstitutes();

}  // namespace sorane
