// Scripted answers for the dialogs, so tests (and runs without a user, such as
// screenshots under the offscreen platform) can drive them. Each dialog that
// opens takes the next queued answer:
//   - a text: typed into the dialog's input field (or chosen in its list) and
//     the dialog accepted; for button dialogs the button with that caption
//     ("&" ignored) is pressed;
//   - kCancelAnswer: the dialog is closed as by its window's close button.
// A dialog whose answers are only button presses (the debug dialog) sets the
// property kButtonAnswersProperty: an answer names a button with or without its
// accelerator ("実行中断(&C)", "実行中断(C)" or "実行中断"), and an answer that
// names none closes the dialog as kCancelAnswer does, so nothing is typed into
// its find or level boxes. A button that leaves the dialog open (？, 実行) hands
// it to the next queued answer.
// SORANE_DIALOG_ANSWERS (UTF-8, answers separated by newlines) fills the queue
// at start-up. With SORANE_DIALOG_NO_USER set, a dialog without a queued
// answer is cancelled at once.
#pragma once

#include <QString>

class QDialog;

namespace sorane {

inline const QString kCancelAnswer = QStringLiteral("<cancel>");
inline constexpr char kButtonAnswersProperty[] = "soraneButtonAnswers";

void QueueDialogAnswer(const QString& answer);
void ClearDialogAnswers();
bool HasDialogAnswer();
QString TakeDialogAnswer();
void LoadDialogAnswersFromEnvironment();

// Runs `dialog` modally; with a queued answer, the answer is applied once the
// dialog is shown. Returns QDialog::exec's result.
int RunDialog(QDialog& dialog);

}  // namespace sorane
