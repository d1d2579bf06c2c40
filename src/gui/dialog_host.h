// The dialogs of the windowed run: messages, questions and the standard
// choosers over the host window, the error dialog (which can stop the run and
// close the window) and the debug dialog. Texts are shown in the text font of
// the drawing surface, as 表示 draws them. Transfers show the progress window.
#pragma once

#include <QElapsedTimer>

#include "runtime/host.h"

namespace sorane {

class Interpreter;
class TDrawSurface;
class TfrmProg;
class TfrmSorane;

class TDialogHost : public HostDialogs {
 public:
  TDialogHost(TfrmSorane& window, TDrawSurface& surface) : window_(window), surface_(surface) {}
  // The run the error and debug dialogs act on; nullptr detaches.
  void Attach(Interpreter* in) { in_ = in; }
  // True when the run was stopped through the error dialog.
  bool StoppedByError() const { return stopped_by_error_; }
  // Where nobody can press the error dialog's buttons (offscreen, a
  // screenshot run), the error log goes to standard error instead and the run
  // stops, as in the console.
  void SetErrorsToStandardError(bool on) { errors_to_stderr_ = on; }

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
  bool DebugDialog(const std::string& word) override;
  std::optional<std::vector<std::string>> AskFiles(const FileRequest& request) override;
  std::optional<std::string> AskFolder() override;
  std::optional<uint32_t> AskColor() override;
  std::optional<std::string> AskFont() override;
  void ShowProgress(const std::string& message) override;
  void UpdateProgress(int64_t done, int64_t total) override;
  bool ProgressStopped() override;
  void CloseProgress() override;

 private:
  TfrmSorane& window_;
  TDrawSurface& surface_;
  Interpreter* in_ = nullptr;
  bool stopped_by_error_ = false;
  bool errors_to_stderr_ = false;
  TfrmProg* progress_ = nullptr;  // made at the first transfer, owned by the window
  QElapsedTimer progress_shown_;  // when the progress window last took events
};

}  // namespace sorane
