#include "gui/frm_debug.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>

#include "debug/editor_link.h"
#include "gui/dialog_automation.h"
#include "gui/qt_text.h"
#include "runtime/interpreter.h"

namespace sorane {

static QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// Line breaks as the text widgets keep them.
static QString Lines(const std::string& sjis) {
  return Q(sjis).replace("\r\n", "\n").replace('\r', '\n');
}

// A push button that Enter in the find or level box does not press.
static QPushButton* Button(QWidget* parent, const char* caption, const char* name) {
  auto* b = new QPushButton(U(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

TfrmDebug::TfrmDebug(QWidget* parent) : QDialog(parent) {
  setObjectName("frmDebug");
  setWindowTitle(Q(DebugDialogCaption()));
  resize(560, 520);
  // Answers queued for this dialog name its buttons (see dialog_automation.h).
  setProperty(kButtonAnswersProperty, true);

  auto* layout = new QVBoxLayout(this);
  lblLine = new QLabel(this);
  lblLine->setObjectName("lblLine");
  layout->addWidget(lblLine);

  memProgram = new QPlainTextEdit(this);
  memProgram->setObjectName("memProgram");
  memProgram->setReadOnly(true);
  memProgram->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(memProgram, 1);

  grdVars = new QTableWidget(0, 4, this);
  grdVars->setObjectName("grdVars");
  grdVars->setHorizontalHeaderLabels({U("名前"), U("値"), U("型"), U("宣言レベル")});
  grdVars->verticalHeader()->setVisible(false);
  grdVars->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdVars->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdVars->setSelectionMode(QAbstractItemView::SingleSelection);
  grdVars->horizontalHeader()->setStretchLastSection(true);
  grdVars->installEventFilter(this);
  layout->addWidget(grdVars, 1);

  auto* find_row = new QHBoxLayout;
  lblFind = new QLabel(U("↓検索"), this);
  edtFind = new QLineEdit(this);
  edtFind->setObjectName("edtFind");
  btnFind = Button(this, "実行", "btnFind");
  find_row->addWidget(lblFind);
  find_row->addWidget(edtFind, 1);
  find_row->addWidget(btnFind);
  layout->addLayout(find_row);

  auto* control_row = new QHBoxLayout;
  lblControl = new QLabel(U("実行制御："), this);
  cmbControl = new QComboBox(this);
  cmbControl->setObjectName("cmbControl");
  lblLevel = new QLabel(U("レベル"), this);
  edtLevel = new QLineEdit(this);
  edtLevel->setObjectName("edtLevel");
  edtLevel->setFixedWidth(48);
  lblLevelTail = new QLabel(U("以上を表示"), this);
  control_row->addWidget(lblControl);
  control_row->addWidget(cmbControl, 1);
  control_row->addWidget(lblLevel);
  control_row->addWidget(edtLevel);
  control_row->addWidget(lblLevelTail);
  layout->addLayout(control_row);

  auto* check_row = new QHBoxLayout;
  chkSystem = new QCheckBox(U("システム変数を表示"), this);
  chkSystem->setObjectName("chkSystem");
  chkObjects = new QCheckBox(U("GUIオブジェクトも表示"), this);
  chkObjects->setObjectName("chkObjects");
  check_row->addWidget(chkSystem);
  check_row->addWidget(chkObjects);
  check_row->addStretch();
  layout->addLayout(check_row);

  auto* button_row = new QHBoxLayout;
  btnEditor = Button(this, "エディタと同期(&E)", "btnEditor");
  btnContinue = Button(this, "連続実行(&O)", "btnContinue");
  btnLineByLine = Button(this, "一行毎に実行(&L)", "btnLineByLine");
  btnAbort = Button(this, "実行中断(&C)", "btnAbort");
  btnHelp = Button(this, "？", "btnHelp");
  button_row->addWidget(btnEditor);
  button_row->addStretch();
  button_row->addWidget(btnContinue);
  button_row->addWidget(btnLineByLine);
  button_row->addWidget(btnAbort);
  button_row->addWidget(btnHelp);
  layout->addLayout(button_row);

  connect(edtFind, &QLineEdit::textEdited, this, [this] { FindInGrid(); });
  connect(edtFind, &QLineEdit::returnPressed, this, [this] { FindInGrid(); });
  connect(btnFind, &QPushButton::clicked, this, [this] { FindInGrid(); });
  connect(edtLevel, &QLineEdit::textChanged, this, [this] { FillGrid(); });
  connect(chkSystem, &QCheckBox::toggled, this, [this](bool checked) {
    QString level = Q(LevelTextForSystemVariables(checked, S(edtLevel->text())));
    if (level != edtLevel->text())
      edtLevel->setText(level);  // refills through textChanged
    else
      FillGrid();
  });
  connect(chkObjects, &QCheckBox::toggled, this, [this] { FillGrid(); });
  connect(grdVars, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { ShowRow(row); });
  connect(btnEditor, &QPushButton::clicked, this, [this] {
    if (in_) SyncEditor(*in_);
  });
  connect(btnContinue, &QPushButton::clicked, this, [this] { Choose(DebugChoice::kContinue); });
  connect(btnLineByLine, &QPushButton::clicked, this, [this] { Choose(DebugChoice::kLineByLine); });
  connect(btnAbort, &QPushButton::clicked, this, [this] { Choose(DebugChoice::kAbort); });
  connect(btnHelp, &QPushButton::clicked, this, [this] {
    if (in_) in_->host.Dialogs().MessageBox(DebugHelpText(), "");
  });
  // エディタと同期 reports the current line to the companion editor; there is no
  // editor link yet, so the button has nothing to send to.
}

bool TfrmDebug::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grdVars && event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ShowRow(grdVars->currentRow());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmDebug::FillGrid() {
  if (!in_) return;
  DebugFilter filter;
  filter.level_text = S(edtLevel->text());
  filter.show_objects = chkObjects->isChecked();
  ShowRows(VariableRows(in_->S.Words, filter));
}

void TfrmDebug::ShowRows(std::vector<DebugRow> rows) {
  rows_ = std::move(rows);
  grdVars->clearContents();
  grdVars->setRowCount(static_cast<int>(rows_.size()));
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
    const DebugRow& r = rows_[i];
    const std::string* cells[] = {&r.name, &r.value, &r.type, &r.level};
    for (int c = 0; c < 4; ++c) grdVars->setItem(i, c, new QTableWidgetItem(Lines(*cells[c])));
  }
}

void TfrmDebug::FindInGrid() {
  int row = FindRow(rows_, S(edtFind->text()));
  if (row >= 0) grdVars->selectRow(row);
  edtFind->setFocus();
}

void TfrmDebug::ShowRow(int row) {
  if (!in_ || row < 0 || row >= static_cast<int>(rows_.size())) return;
  // Copies: the memo dialog may let events run that change the grid.
  std::string name = rows_[row].name;
  std::string value = rows_[row].value;
  in_->host.Dialogs().AskMemo(value, name);
}

void TfrmDebug::Choose(DebugChoice choice) {
  if (in_) abort_ = ApplyDebugChoice(*in_, choice);
  accept();
}

void TfrmDebug::ShowProgram(const DebugSnapshot& snapshot) {
  memProgram->setPlainText(Lines(snapshot.program));
  // The caret at the first character of the current line, scrolled into view.
  int offset = static_cast<int>(Lines(snapshot.program.substr(0, snapshot.line_offset)).size());
  QTextCursor cursor = memProgram->textCursor();
  cursor.setPosition(std::min(offset, memProgram->document()->characterCount() - 1));
  memProgram->setTextCursor(cursor);
  memProgram->centerCursor();
}

void TfrmDebug::Empty() {
  rows_.clear();
  grdVars->clearContents();
  grdVars->setRowCount(0);
  memProgram->clear();
  cmbControl->clear();
}

bool TfrmDebug::Execute(Interpreter& in, const std::string& word) {
  DebugDialogShown shown;
  in_ = &in;
  abort_ = false;
  if (edtLevel->text().isEmpty()) {
    QSignalBlocker block(edtLevel);
    edtLevel->setText("0");
  }
  DebugFilter filter;
  filter.level_text = S(edtLevel->text());
  filter.show_objects = chkObjects->isChecked();
  DebugSnapshot snapshot = TakeDebugSnapshot(in, filter, word);
  ShowRows(std::move(snapshot.rows));
  cmbControl->clear();
  for (const std::string& item : snapshot.controls) cmbControl->addItem(Q(item));
  cmbControl->setCurrentIndex(cmbControl->count() - 1);
  lblLine->setText(Q(snapshot.line_label));
  ShowProgram(snapshot);
  if (!edtFind->text().isEmpty()) FindInGrid();
  if (snapshot.selected_row >= 0) grdVars->selectRow(snapshot.selected_row);

  RunDialog(*this);
  bool abort = abort_;
  Empty();
  in_ = nullptr;
  return abort;
}

bool ShowDebugDialog(QWidget* parent, Interpreter& in, const std::string& word) {
  if (!parent) {
    TfrmDebug dialog(nullptr);
    return dialog.Execute(in, word);
  }
  auto* dialog = parent->findChild<TfrmDebug*>("frmDebug", Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new TfrmDebug(parent);
  // A script event that runs while the dialog is open can stop at a line again:
  // that opening gets a dialog of its own, the open one keeps its state.
  if (dialog->isVisible()) {
    TfrmDebug nested(parent);
    nested.setObjectName("frmDebugNested");
    return nested.Execute(in, word);
  }
  return dialog->Execute(in, word);
}

}  // namespace sorane
