// What the debug dialog shows, computed from the interpreter state without any
// widgets, so the window and the console host show the same thing: the variable
// grid (with its level filter and find rule), the open control structures, the
// current-line label and the program text position, and the records of ログる.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sorane {

class Interpreter;
class THash;
class TRunControlStack;

// One row of the variable grid.
struct DebugRow {
  std::string name;
  std::string value;  // a hash (group) shows its members as pair lines
  std::string type;   // the type mark (a system variable: its description)
  std::string level;  // the declaration level in decimal (system variables: -1)
};

// The grid's filter: the level box and "GUIオブジェクトも表示".
struct DebugFilter {
  std::string level_text = "0";
  bool show_objects = false;
};

// The level below which words are hidden: nullopt for an empty box (no level
// filter); text that is not a whole number counts as -1.
std::optional<int> LevelThreshold(const std::string& level_text);

// The grid rows: variables, hashes and (when asked) script objects, in word-table
// order. "それ" is listed whatever the level box says.
std::vector<DebugRow> VariableRows(const THash& words, const DebugFilter& filter);

// The find rule: the first row whose name begins with the trimmed text (an empty
// text matches the first row); -1 when none does.
int FindRow(const std::vector<DebugRow>& rows, const std::string& text);
// The row of exactly this name, or -1.
int RowNamed(const std::vector<DebugRow>& rows, const std::string& name);

// The level box after "システム変数を表示" changed: checked empties it (nothing is
// hidden by level); unchecked puts "0" into an empty box.
std::string LevelTextForSystemVariables(bool show_system, const std::string& level_text);

// The name of a run-control record kind in the drop-down.
std::string ControlKindText(int kind);
// The drop-down items: "i:" + name from the bottom record (i = 1) to the top.
std::vector<std::string> ControlItems(const TRunControlStack& stack);

// "現在の実行行:" + line.
std::string LineLabel(int line);
// Byte offset where the 1-based line `line` of `text` starts (lines end with
// CR LF, LF or CR); the end of the text when it has fewer lines.
size_t LineStart(const std::string& text, int line);

std::string DebugDialogCaption();  // "デバッグダイアログ"
std::string DebugHelpText();       // the message of the "？" button

// What closing the dialog chose.
enum class DebugChoice { kContinue, kLineByLine, kAbort };
// Applies the choice to the line-stop mode; returns the abort flag.
bool ApplyDebugChoice(Interpreter& in, DebugChoice choice);

// Everything the dialog shows when it opens.
struct DebugSnapshot {
  int line = 0;
  std::string line_label;
  std::string program;     // the program text
  size_t line_offset = 0;  // where the current line starts in `program`
  std::vector<DebugRow> rows;
  std::vector<std::string> controls;
  int selected_row = -1;  // the row of the word the dialog was opened on
};
DebugSnapshot TakeDebugSnapshot(Interpreter& in, const DebugFilter& filter,
                                const std::string& word);

// ---- ログる ----

// The line breaks of a logged value are kept as this marker inside a record.
std::string LogLineBreakMarker();  // "~改行_"

// The records of ログる, one per logged name, kept for the run. A record reads
// name ";" count ";" limit ";" text, where the text holds every entry since the
// log was last shown, each as marker + "(" count ")=" value.
class DebugLog {
 public:
  struct Record {
    std::string name;
    long long count = 0;
    long long limit = 0;
    std::string text;
  };
  // The outcome of one ログる call: `show` when the count reached the limit, with
  // the text to show (markers turned back into CR LF).
  struct Entry {
    bool show = false;
    std::string text;
  };
  // Adds `value` (already evaluated) to the record of `name` with the limit
  // `limit`; when the count reaches the limit the text is handed out and the
  // record starts again from an empty text and count 0.
  Entry Add(const std::string& name, long long limit, const std::string& value);
  const std::vector<Record>& Records() const { return records_; }
  // The record as one line: name;count;limit;text.
  static std::string Line(const Record& r);
  void Clear() { records_.clear(); }

 private:
  std::vector<Record> records_;
};

// The caption of the log window: "ログ - " + the name in quotation marks.
std::string LogCaption(const std::string& name);

// The log of this interpreter's current run (a new run starts an empty one).
DebugLog& LogOf(Interpreter& in);

}  // namespace sorane
