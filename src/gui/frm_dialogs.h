// The dialog forms of the host window: message box, input box, list chooser,
// button chooser, memo editor, the error dialog and the progress window of
// transfers. Each takes its caption and
// the text font from the caller and returns the answer (nullopt = cancelled).
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace sorane {

struct DialogLook {
  QString caption;
  QFont font;
};

void ShowMessageDialog(QWidget* parent, const DialogLook& look, const QString& text);
std::optional<QString> AskTextDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                                     const QString& initial);
// 0 yes, 1 no, 2 cancel; -1 closed otherwise.
int AskYesNoDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                   bool with_cancel);
std::optional<QString> AskListDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                                     const QStringList& items, const QString& initial,
                                     bool editable);
int AskButtonsDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                     const QStringList& buttons, int host_width);
std::optional<QString> AskMemoDialog(QWidget* parent, const QFont& font, const QString& initial,
                                     const QString& caption = {});

// The error dialog: the whole error log, "continue", "stop" and (with the debug
// option) "debug". Centred over the host window.
class TfrmError : public QDialog {
  Q_OBJECT
 public:
  TfrmError(QWidget* host, bool debug_button);
  void SetLog(const QString& log);
  // Shows the dialog modally; true when the run should continue.
  bool Ask(bool& debug_requested);

  QPlainTextEdit* memMsg;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* btnDebug;

 private:
  bool continue_ = false;
  bool debug_ = false;
};

// The progress window of a transfer (進行度表示): shown without blocking, a bar
// from 0 to 100, the message below it and a stop button, enabled when the
// caller can stop. Stopped() turns true once the button was pressed.
class TfrmProg : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProg(QWidget* host);
  void Start(const QString& message, bool can_stop);
  // `done` of `total` (total 0: not known, the bar shows that it is busy).
  void SetPosition(int64_t done, int64_t total);
  bool Stopped() const { return stopped_; }

  QProgressBar* progBar;
  QLabel* lblMsg;
  QPushButton* btnStop;

 private:
  bool stopped_ = false;
};

}  // namespace sorane
