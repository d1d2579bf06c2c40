#include "gui/dialog_host.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <cstdio>

#include "gui/dialog_automation.h"
#include "gui/draw_surface.h"
#include "gui/frm_debug.h"
#include "gui/frm_dialogs.h"
#include "gui/frm_sorane.h"
#include "gui/qt_text.h"
#include "library/objects/parse.h"
#include "platform/standard_output.h"
#include "runtime/interpreter.h"

namespace sorane {

// Dialogs carry the application title and show their texts in `font`.
static DialogLook Look(const QFont& font) {
  return {ApplicationTitle(), font};
}

void TDialogHost::Say(const std::string& text) {
  ShowMessageDialog(&window_, Look(surface_.TextQFont()), Q(text));
}

void TDialogHost::MessageBox(const std::string& text, const std::string& title) {
  ShowMessageDialog(&window_, {title.empty() ? window_.windowTitle() : Q(title), window_.font()},
                    Q(text));
}

bool TDialogHost::ErrorDialog(const std::string& log, bool debug_button, bool& debug_requested) {
  bool go_on = false;
  debug_requested = false;
  if (errors_to_stderr_) {
    QByteArray text = Q(log).replace("\r\n", "\n").toUtf8();
    if (!text.endsWith('\n')) text += '\n';
    {
      StandardOutputCall call;
      fflush(stdout);
    }
    fwrite(text.constData(), 1, text.size(), stderr);
    fflush(stderr);
  } else {
    TfrmError dialog(&window_, debug_button);
    dialog.SetLog(Q(log));
    go_on = dialog.Ask(debug_requested);
  }
  if (!go_on) {
    stopped_by_error_ = true;
    if (in_) {
      in_->S.StopRequested = true;
      in_->S.ExecPos = TPos();
    }
    window_.Close();
  }
  return go_on;
}

bool TDialogHost::DebugDialog(const std::string& word) {
  return in_ && ShowDebugDialog(&window_, *in_, word);
}

std::optional<std::string> TDialogHost::AskText(const std::string& prompt,
                                                const std::string& initial) {
  auto answer = AskTextDialog(&window_, Look(surface_.TextQFont()), Q(prompt), Q(initial));
  if (!answer) return std::nullopt;
  return S(*answer);
}

static QStringList ToQList(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) list << Q(item);
  return list;
}

int TDialogHost::AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) {
  return AskButtons(prompt, buttons);
}

int TDialogHost::AskYesNo(const std::string& prompt, bool with_cancel) {
  return AskYesNoDialog(&window_, Look(window_.font()), Q(prompt), with_cancel);
}

std::optional<std::string> TDialogHost::AskFromList(const std::string& prompt,
                                                    const std::vector<std::string>& items,
                                                    const std::string& initial, bool editable) {
  auto answer = AskListDialog(&window_, Look(surface_.TextQFont()), Q(prompt), ToQList(items),
                              Q(initial), editable);
  if (!answer) return std::nullopt;
  return S(*answer);
}

int TDialogHost::AskButtons(const std::string& prompt, const std::vector<std::string>& buttons) {
  return AskButtonsDialog(&window_, Look(surface_.TextQFont()), Q(prompt), ToQList(buttons),
                          window_.width());
}

std::optional<std::string> TDialogHost::AskMemo(const std::string& initial,
                                                const std::string& caption) {
  auto answer = AskMemoDialog(&window_, surface_.TextQFont(), Q(initial), Q(caption));
  if (!answer) return std::nullopt;
  return S(*answer);
}

// A queued test answer stands for the platform choosers.
static std::optional<QString> ScriptedAnswer() {
  if (!HasDialogAnswer()) return std::nullopt;
  return TakeDialogAnswer();
}

// "label|pattern|label|pattern" → Qt's "label (pattern);;label (pattern)".
static QString QtFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  return out.join(";;");
}

std::optional<std::vector<std::string>> TDialogHost::AskFiles(const FileRequest& request) {
  QStringList files;
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    files = scripted->split(';');
  } else {
    QFileDialog d(&window_);
    d.setNameFilter(QtFilter(Q(request.filter)));
    d.setDirectory(QDir::currentPath());
    if (!request.initial_name.empty()) d.selectFile(Q(request.initial_name));
    d.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFiles);
    if (request.save) d.setDefaultSuffix(Q(request.default_ext));
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    files = d.selectedFiles();
  }
  std::vector<std::string> names;
  for (const QString& f : files) names.push_back(S(QDir::current().absoluteFilePath(f)));
  return names;
}

std::optional<std::string> TDialogHost::AskFolder() {
  QString folder;
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    folder = QDir::current().absoluteFilePath(*scripted);
  } else {
    folder = QFileDialog::getExistingDirectory(&window_, QString(), QDir::currentPath());
    if (folder.isEmpty()) return std::nullopt;
  }
  return S(folder);
}

std::optional<uint32_t> TDialogHost::AskColor() {
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    return ParseColor(S(*scripted));
  }
  QColor c = QColorDialog::getColor(Qt::black, &window_);
  if (!c.isValid()) return std::nullopt;
  return c.red() | c.green() << 8 | c.blue() << 16;
}

std::optional<std::string> TDialogHost::AskFont() {
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    return S(*scripted);
  }
  bool ok = false;
  QFont f = QFontDialog::getFont(&ok, QFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 9), &window_);
  if (!ok) return std::nullopt;
  return FormatFontText(S(f.family()), f.bold(), f.italic(), f.underline(), f.pointSize());
}

// The progress window takes events now and then while a transfer runs, so that
// it is drawn and its stop button can be pressed; events of the run that arrive
// meanwhile wait for the transfer command to return, as during any dialog.
void TDialogHost::ShowProgress(const std::string& message) {
  if (!progress_) progress_ = new TfrmProg(&window_);
  progress_->Start(Q(message), true);
  progress_shown_.start();
  QApplication::processEvents();
}

void TDialogHost::UpdateProgress(int64_t done, int64_t total) {
  if (!progress_) return;
  progress_->SetPosition(done, total);
  if (progress_shown_.elapsed() < 30) return;
  progress_shown_.restart();
  QApplication::processEvents();
}

bool TDialogHost::ProgressStopped() {
  return progress_ && progress_->Stopped();
}

void TDialogHost::CloseProgress() {
  if (progress_) progress_->hide();
}

}  // namespace sorane
