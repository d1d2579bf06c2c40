#include "gui/frm_dialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/dialog_automation.h"

namespace sorane {

static void CentreOnScreen(QWidget& w) {
  w.adjustSize();
  QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->availableGeometry();
  w.move(area.left() + (area.width() - w.width()) / 2,
         area.top() + (area.height() - w.height()) / 2);
}

// The longest message a message box shows: the lines that fit in 70 % of the
// screen height, then "...".
static QString FitMessage(const QString& text, const QFont& font) {
  QScreen* screen = QGuiApplication::primaryScreen();
  int max_height = static_cast<int>((screen ? screen->size().height() : 768) * 0.7);
  int line_height = static_cast<int>(QFontMetrics(font).height() * 1.2);
  QStringList lines = text.split('\n');
  if (line_height <= 0 || lines.size() * line_height <= max_height) return text;
  lines = lines.mid(0, max_height / line_height);
  return lines.join('\n') + "\n...";
}

void ShowMessageDialog(QWidget* parent, const DialogLook& look, const QString& text) {
  QDialog d(parent);
  d.setWindowTitle(look.caption);
  auto* layout = new QVBoxLayout(&d);
  auto* label = new QLabel(FitMessage(QString(text).replace("\r\n", "\n"), look.font), &d);
  label->setFont(look.font);
  label->setObjectName("lblMsg");
  layout->addWidget(label);
  auto* ok = new QPushButton("&OK", &d);
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  ok->setFixedSize(75, 25);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
  d.setMinimumWidth(100);
  CentreOnScreen(d);
  RunDialog(d);
}

// OK and キャンセル in a centred row.
static QHBoxLayout* OkCancelRow(QDialog& d, int width) {
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("&OK", &d);
  auto* cancel = new QPushButton(QString::fromUtf8("キャンセル(&C)"), &d);
  ok->setObjectName("btnOk");
  cancel->setObjectName("btnCancel");
  ok->setFixedSize(width, 25);
  cancel->setFixedSize(width, 25);
  ok->setDefault(true);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  row->addStretch();
  QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
  return row;
}

std::optional<QString> AskTextDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                                     const QString& initial) {
  QDialog d(parent);
  d.setWindowTitle(look.caption);
  auto* layout = new QVBoxLayout(&d);
  auto* label = new QLabel(prompt, &d);
  label->setObjectName("lblMsg");
  label->setFont(look.font);
  auto* edit = new QLineEdit(initial, &d);
  edit->setObjectName("edtInput");
  edit->setFont(look.font);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addLayout(OkCancelRow(d, 81));
  d.setMinimumWidth(300);
  edit->setFocus();
  CentreOnScreen(d);
  if (RunDialog(d) != QDialog::Accepted) return std::nullopt;
  return edit->text();
}

int AskYesNoDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                   bool with_cancel) {
  QMessageBox box(QMessageBox::Question, look.caption, prompt, QMessageBox::NoButton, parent);
  QAbstractButton* yes = box.addButton(QString::fromUtf8("はい"), QMessageBox::YesRole);
  QAbstractButton* no = box.addButton(QString::fromUtf8("いいえ"), QMessageBox::NoRole);
  QAbstractButton* cancel =
      with_cancel ? box.addButton(QString::fromUtf8("キャンセル"), QMessageBox::RejectRole)
                  : nullptr;
  if (cancel) box.setEscapeButton(cancel);
  RunDialog(box);
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == yes) return 0;
  if (clicked == no) return 1;
  if (clicked && clicked == cancel) return 2;
  return with_cancel ? 2 : -1;
}

namespace {

// The list chooser: a click copies the item into the result field, a double
// click also accepts; a character key selects the first item starting with it.
class ListDialog : public QDialog {
 public:
  ListDialog(QWidget* parent, bool editable) : QDialog(parent) {
    auto* layout = new QVBoxLayout(this);
    label = new QLabel(this);
    label->setObjectName("Label1");
    list = new QListWidget(this);
    list->setObjectName("ListBox");
    list->setMinimumSize(265, 169);
    result = new QLineEdit(this);
    result->setObjectName("EditResult");
    result->setReadOnly(!editable);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(result);
    layout->addLayout(OkCancelRow(*this, 81));
    // Only a click copies: the list taking the focus must not overwrite the
    // initial text of the result field.
    connect(list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { result->setText(item->text()); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
      result->setText(item->text());
      accept();
    });
    list->installEventFilter(this);
    setMinimumWidth(280);
  }
  QLabel* label;
  QListWidget* list;
  QLineEdit* result;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == list && event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      QString t = key->text();
      if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter &&
          key->key() != Qt::Key_Escape && !t.isEmpty() && t[0].isPrint()) {
        list->blockSignals(true);
        list->setCurrentRow(-1);
        for (int i = 0; i < list->count(); ++i) {
          if (list->item(i)->text().startsWith(t[0])) {
            list->setCurrentRow(i);
            break;
          }
        }
        list->blockSignals(false);
        return true;
      }
    }
    return QDialog::eventFilter(watched, event);
  }
};

}  // namespace

std::optional<QString> AskListDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                                     const QStringList& items, const QString& initial,
                                     bool editable) {
  ListDialog d(parent, editable);
  d.setWindowTitle(look.caption);
  d.label->setText(prompt);
  d.label->setFont(look.font);
  d.list->setFont(look.font);
  d.result->setFont(look.font);
  d.list->addItems(items);
  d.result->setText(initial);
  CentreOnScreen(d);
  if (RunDialog(d) != QDialog::Accepted) return std::nullopt;
  return d.result->text();
}

int AskButtonsDialog(QWidget* parent, const DialogLook& look, const QString& prompt,
                     const QStringList& buttons, int host_width) {
  QDialog d(parent);
  d.setWindowTitle(look.caption);
  auto* label = new QLabel(prompt, &d);
  label->setObjectName("Label1");
  label->setFont(look.font);
  label->move(8, 8);
  label->adjustSize();
  QFontMetrics fm(look.font);
  int pitch = fm.height() * 2;
  int height = static_cast<int>(pitch * 0.8);
  int widest = 30;
  for (const QString& b : buttons) widest = std::max(widest, fm.horizontalAdvance(b));
  int w = static_cast<int>(widest * 1.3);
  int top = 2 * label->y() + label->height();
  int n = static_cast<int>(buttons.size());
  bool one_row = host_width * 0.8 > n * w * 1.1;
  int client_w, client_h;
  if (one_row) {
    client_w = n == 1 ? w + 16 : static_cast<int>(n * w * 1.1 + 16);
    client_w = std::max(client_w, label->width() + label->x() + 8);
    client_h = 2 * label->y() + pitch + label->height();
  } else {
    client_w = label->width() < w ? w + 16 : label->width() + 16;
    client_h = n * pitch + top;
  }
  int column_x = label->width() < w ? 8 : (client_w - w) / 2;
  int chosen = -1;
  for (int i = 0; i < n; ++i) {
    auto* b = new QPushButton(buttons[i], &d);
    b->setFont(look.font);
    b->resize(w, height);
    if (one_row)
      b->move(static_cast<int>(i * w * 1.1 + 8), top);
    else
      b->move(column_x, top + i * pitch);
    QObject::connect(b, &QPushButton::clicked, &d, [&d, &chosen, i] {
      chosen = i;
      d.accept();
    });
  }
  d.setFixedSize(client_w, client_h);
  CentreOnScreen(d);
  RunDialog(d);
  return chosen;
}

std::optional<QString> AskMemoDialog(QWidget* parent, const QFont& font, const QString& initial,
                                     const QString& caption) {
  QDialog d(parent);
  d.setWindowTitle(caption.isEmpty() ? QString::fromUtf8("メモ帳") : caption);
  d.resize(412, 323);
  auto* layout = new QVBoxLayout(&d);
  auto* memo = new QPlainTextEdit(initial, &d);
  memo->setObjectName("Memo");
  memo->setFont(font);
  layout->addWidget(memo);
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("&OK", &d);
  auto* cancel = new QPushButton(QString::fromUtf8("キャンセル(&C)"), &d);
  ok->setFixedSize(113, 25);
  cancel->setFixedSize(81, 25);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  bool cancelled = false;
  QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &d, [&] {
    cancelled = true;
    memo->clear();
    d.reject();
  });
  RunDialog(d);
  // Closing the window otherwise keeps the memo text.
  if (cancelled) return std::nullopt;
  return memo->toPlainText().replace('\n', "\r\n");
}

TfrmError::TfrmError(QWidget* host, bool debug_button) : QDialog(host) {
  setWindowTitle(QString::fromUtf8("実行中にエラーが発生しました。"));
  resize(480, 240);
  auto* layout = new QVBoxLayout(this);
  memMsg = new QPlainTextEdit(this);
  memMsg->setObjectName("memMsg");
  memMsg->setReadOnly(true);
  memMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  layout->addWidget(memMsg);
  auto* row = new QHBoxLayout;
  btnOk = new QPushButton(QString::fromUtf8("実行を続ける(&O)"), this);
  btnCancel = new QPushButton(QString::fromUtf8("終了(&C)"), this);
  btnDebug = new QPushButton(QString::fromUtf8("デバッグする(&D)"), this);
  btnOk->setObjectName("btnOk");
  btnCancel->setObjectName("btnCancel");
  btnDebug->setObjectName("btnDebug");
  btnDebug->setVisible(debug_button);
  row->addStretch();
  row->addWidget(btnOk);
  row->addWidget(btnCancel);
  row->addWidget(btnDebug);
  layout->addLayout(row);
  connect(btnOk, &QPushButton::clicked, this, [this] {
    continue_ = true;
    accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    continue_ = false;
    reject();
  });
  connect(btnDebug, &QPushButton::clicked, this, [this] {
    continue_ = true;
    debug_ = true;
    accept();
  });
  if (host) {
    QRect h = host->frameGeometry();
    move(h.left() + (h.width() - width()) / 2, h.top() + (h.height() - height()) / 2);
  }
}

void TfrmError::SetLog(const QString& log) {
  memMsg->setPlainText(QString(log).replace("\r\n", "\n"));
}

bool TfrmError::Ask(bool& debug_requested) {
  continue_ = false;
  debug_ = false;
  RunDialog(*this);
  debug_requested = debug_;
  return continue_;
}

TfrmProg::TfrmProg(QWidget* host) : QDialog(host) {
  setWindowTitle(QString::fromUtf8("進行度表示"));
  setFixedSize(318, 47);
  progBar = new QProgressBar(this);
  progBar->setObjectName("progBar");
  progBar->setGeometry(8, 8, 257, 17);
  progBar->setRange(0, 100);
  progBar->setTextVisible(false);
  lblMsg = new QLabel(QStringLiteral("---"), this);
  lblMsg->setObjectName("lblMsg");
  lblMsg->setGeometry(8, 32, 302, 13);
  btnStop = new QPushButton(QString::fromUtf8("中止"), this);
  btnStop->setObjectName("btnStop");
  btnStop->setGeometry(270, 8, 41, 17);
  btnStop->setEnabled(false);
  connect(btnStop, &QPushButton::clicked, this, [this] { stopped_ = true; });
}

void TfrmProg::Start(const QString& message, bool can_stop) {
  stopped_ = false;
  lblMsg->setText(message);
  progBar->setRange(0, 100);
  progBar->setValue(0);
  btnStop->setEnabled(can_stop);
  if (QWidget* host = parentWidget()) {
    QRect h = host->frameGeometry();
    move(h.left() + (h.width() - width()) / 2, h.top() + (h.height() - height()) / 2);
  }
  show();
}

void TfrmProg::SetPosition(int64_t done, int64_t total) {
  if (total <= 0) {
    progBar->setRange(0, 0);
    return;
  }
  progBar->setRange(0, 100);
  progBar->setValue(static_cast<int>(std::clamp(100.0 * done / total, 0.0, 100.0)));
}

}  // namespace sorane
