#include "gui/dialog_automation.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <deque>

namespace sorane {

static std::deque<QString>& Answers() {
  static std::deque<QString> answers;
  return answers;
}

void QueueDialogAnswer(const QString& answer) {
  Answers().push_back(answer);
}
void ClearDialogAnswers() {
  Answers().clear();
}
bool HasDialogAnswer() {
  return !Answers().empty();
}

QString TakeDialogAnswer() {
  if (Answers().empty()) return QString();
  QString answer = Answers().front();
  Answers().pop_front();
  return answer;
}

void LoadDialogAnswersFromEnvironment() {
  QByteArray env = qgetenv("SORANE_DIALOG_ANSWERS");
  if (env.isEmpty()) return;
  for (const QString& answer : QString::fromUtf8(env).split('\n')) QueueDialogAnswer(answer);
}

static QString Plain(QString caption) {
  return caption.remove('&');
}

static QAbstractButton* ButtonNamed(QDialog& dialog, const QString& caption) {
  for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
    if (b->isVisible() && Plain(b->text()) == Plain(caption)) return b;
  return nullptr;
}

// A caption without its accelerator: "実行中断(&C)" -> "実行中断".
static QString WithoutAccelerator(const QString& caption) {
  static const QRegularExpression accelerator(QStringLiteral("\\(&.\\)$"));
  return QString(caption).remove(accelerator).remove('&');
}

// For dialogs answered by their buttons only: the button the answer names.
static QAbstractButton* ButtonAnswered(QDialog& dialog, const QString& answer) {
  if (QAbstractButton* b = ButtonNamed(dialog, answer)) return b;
  for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
    if (b->isVisible() && WithoutAccelerator(b->text()) == answer) return b;
  return nullptr;
}

// Types or chooses the answer, then accepts the dialog.
static void Apply(QDialog& dialog, const QString& answer) {
  if (answer == kCancelAnswer) {
    dialog.reject();
    return;
  }
  if (dialog.property(kButtonAnswersProperty).toBool()) {
    QAbstractButton* b = ButtonAnswered(dialog, answer);
    if (!b) {
      dialog.reject();
      return;
    }
    b->click();
    // A button that leaves the dialog open (find, help) hands it to the next
    // answer; with no user and nothing queued the dialog is closed.
    if (!dialog.isVisible()) return;
    if (HasDialogAnswer()) {
      QString next = TakeDialogAnswer();
      QTimer::singleShot(0, &dialog, [&dialog, next] { Apply(dialog, next); });
    } else if (qEnvironmentVariableIsSet("SORANE_DIALOG_NO_USER")) {
      dialog.reject();
    }
    return;
  }
  if (QAbstractButton* b = ButtonNamed(dialog, answer)) {
    b->click();
    return;
  }
  if (auto* list = dialog.findChild<QListWidget*>()) {
    auto found = list->findItems(answer, Qt::MatchExactly);
    if (!found.isEmpty()) {
      list->setCurrentItem(found.first());
      emit list->itemClicked(found.first());
    }
  }
  if (auto* edit = dialog.findChild<QLineEdit*>(); edit && !edit->isReadOnly())
    edit->setText(answer);
  if (auto* memo = dialog.findChild<QPlainTextEdit*>(); memo && !memo->isReadOnly())
    memo->setPlainText(answer);
  dialog.accept();
}

int RunDialog(QDialog& dialog) {
  // With no user to answer (SORANE_DIALOG_NO_USER set, as in the tests), a
  // dialog nobody scripted is cancelled at once instead of waiting forever.
  if (!HasDialogAnswer() && qEnvironmentVariableIsSet("SORANE_DIALOG_NO_USER")) {
    qWarning("unanswered dialog cancelled: %s", qPrintable(dialog.windowTitle()));
    QueueDialogAnswer(kCancelAnswer);
  }
  if (HasDialogAnswer()) {
    QString answer = TakeDialogAnswer();
    QTimer::singleShot(0, &dialog, [&dialog, answer] { Apply(dialog, answer); });
  }
  return dialog.exec();
}

}  // namespace sorane
