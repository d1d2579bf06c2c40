// TfrmDebug: the debug dialog (デバッグダイアログ) over the run's state: the
// current line in the program text, the variables with their values, types and
// declaration levels, and the open control structures. From it the user goes
// on, switches to line-by-line execution, or stops the program.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "debug/debug_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace sorane {

class Interpreter;

class TfrmDebug : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDebug(QWidget* parent);
  // Shows the dialog modally over `in`, opened on `word` (may be empty).
  // Returns the abort flag: true when it was closed with 実行中断.
  bool Execute(Interpreter& in, const std::string& word);

  // Fills the grid again from the word table with the current filter.
  void FillGrid();
  // The find rule over the grid, with the find box's text.
  void FindInGrid();
  // The memo dialog over the grid row (name as caption, value as text).
  void ShowRow(int row);

  QLabel* lblLine;
  QPlainTextEdit* memProgram;
  QTableWidget* grdVars;
  QLabel* lblFind;
  QLineEdit* edtFind;
  QPushButton* btnFind;
  QLabel* lblControl;
  QComboBox* cmbControl;
  QLabel* lblLevel;
  QLineEdit* edtLevel;
  QLabel* lblLevelTail;
  QCheckBox* chkSystem;
  QCheckBox* chkObjects;
  QPushButton* btnEditor;
  QPushButton* btnContinue;
  QPushButton* btnLineByLine;
  QPushButton* btnAbort;
  QPushButton* btnHelp;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowRows(std::vector<DebugRow> rows);
  void Choose(DebugChoice choice);
  void ShowProgram(const DebugSnapshot& snapshot);
  void Empty();

  Interpreter* in_ = nullptr;
  std::vector<DebugRow> rows_;
  bool abort_ = false;
};

// Shows the dialog modally, opened on `word` (may be empty). Returns the abort
// flag: true when it was closed with 実行中断. The dialog is created once per
// parent window and reused, so its filter and find text stay between openings.
bool ShowDebugDialog(QWidget* parent, Interpreter& in, const std::string& word);

}  // namespace sorane
