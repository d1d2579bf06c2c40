#include "debug/debug_model.h"

#include <iterator>
#include <memory>

#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"
#include "words/hash.h"
#include "words/run_control.h"

namespace sorane {

std::optional<int> LevelThreshold(const std::string& level_text) {
  if (level_text.empty()) return std::nullopt;
  long long n = 0;
  if (!TryParseInteger(level_text, n) || n < INT32_MIN || n > INT32_MAX) return -1;
  return static_cast<int>(n);
}

// The level column: an object shows its record number there.
static int32_t LevelOf(const THashNode& w) {
  return w.Kind == kWordObject ? w.ObjectIndex : w.Level;
}

std::vector<DebugRow> VariableRows(const THash& words, const DebugFilter& filter) {
  std::optional<int> threshold = LevelThreshold(filter.level_text);
  const std::string sore = SJ("それ");
  std::vector<DebugRow> rows;
  for (const THashNode* w : words.AllNodes()) {
    if (w->Kind != kWordVariable && w->Kind != kWordObject && w->Kind != kWordHash) continue;
    if (w->Kind == kWordObject && !filter.show_objects) continue;
    if (threshold && LevelOf(*w) < *threshold && w->Name != sore) continue;
    DebugRow row;
    row.name = w->Name;
    row.value = (w->Kind == kWordHash && w->Elements) ? w->Elements->PairLines() : w->Value();
    row.type = w->TypeMark;
    row.level = std::to_string(LevelOf(*w));
    rows.push_back(std::move(row));
  }
  return rows;
}

int FindRow(const std::vector<DebugRow>& rows, const std::string& text) {
  std::string prefix = Trim(text);
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].name.compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
  return -1;
}

int RowNamed(const std::vector<DebugRow>& rows, const std::string& name) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].name == name) return static_cast<int>(i);
  return -1;
}

std::string LevelTextForSystemVariables(bool show_system, const std::string& level_text) {
  if (show_system) return {};
  return level_text.empty() ? std::string("0") : level_text;
}

std::string ControlKindText(int kind) {
  // By run-control record kind.
  static const char* const kNames[] = {"もし、ならば", "もし、違えば", "繰り返す",
                                       "回",           "呼ぶ",         "イベント",
                                       "反復",         "不明",         "条件分岐"};
  if (kind < 0 || kind >= static_cast<int>(std::size(kNames))) return SJ("その他");
  return Utf8ToSjis(kNames[kind]);
}

std::vector<std::string> ControlItems(const TRunControlStack& stack) {
  std::vector<std::string> items;
  TRunControl r;
  for (int i = 0; i < stack.Count(); ++i)
    if (stack.Get(static_cast<size_t>(i), r))
      items.push_back(std::to_string(i + 1) + ":" + ControlKindText(r.Kind));
  return items;
}

std::string LineLabel(int line) {
  return SJ("現在の実行行:") + std::to_string(line);
}

size_t LineStart(const std::string& text, int line) {
  size_t pos = 0;
  for (int n = 1; n < line; ++n) {
    size_t brk = text.find_first_of("\r\n", pos);
    if (brk == std::string::npos) return text.size();
    pos = brk + 1;
    if (text[brk] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  return pos;
}

std::string DebugDialogCaption() {
  return SJ("デバッグダイアログ");
}

std::string DebugHelpText() {
  return SJ(
      "デバッグダイアログ\r\n\r\nこれは、プログラムに不具合が起こったときに、\r\n"
      "プログラムを一行ずつ実行したり、\r\n実行中の変数の値を調べたりするのに便利です。");
}

bool ApplyDebugChoice(Interpreter& in, DebugChoice choice) {
  switch (choice) {
    case DebugChoice::kContinue:
      in.S.LineStopOption = false;
      return false;
    case DebugChoice::kLineByLine:
      in.S.LineStopOption = true;
      return false;
    case DebugChoice::kAbort:
      return true;
  }
  return false;
}

DebugSnapshot TakeDebugSnapshot(Interpreter& in, const DebugFilter& filter,
                                const std::string& word) {
  DebugSnapshot s;
  s.line = in.CurrentLine();
  s.line_label = LineLabel(s.line);
  s.program = in.S.ProgramText;
  s.line_offset = LineStart(s.program, s.line);
  s.rows = VariableRows(in.S.Words, filter);
  s.controls = ControlItems(in.S.RunStack);
  if (!word.empty()) s.selected_row = RowNamed(s.rows, word);
  return s;
}

// ---------------------------------------------------------------- ログる

std::string LogLineBreakMarker() {
  return SJ("~改行_");
}

DebugLog::Entry DebugLog::Add(const std::string& name, long long limit, const std::string& value) {
  const std::string marker = LogLineBreakMarker();
  Record* r = nullptr;
  for (Record& each : records_)
    if (each.name == name) {
      r = &each;
      break;
    }
  if (!r) {
    records_.push_back(Record{name, 0, limit, {}});
    r = &records_.back();
  }
  r->count += 1;
  r->limit = limit;
  r->text +=
      marker + "(" + std::to_string(r->count) + ")=" + ReplaceText(value, "\r\n", marker, true);
  Entry entry;
  if (r->count == limit) {
    entry.show = true;
    entry.text = ReplaceText(r->text, marker, "\r\n", true);
    r->text.clear();
    r->count = 0;
  }
  return entry;
}

std::string DebugLog::Line(const Record& r) {
  return r.name + ";" + std::to_string(r.count) + ";" + std::to_string(r.limit) + ";" + r.text;
}

std::string LogCaption(const std::string& name) {
  return SJ("ログ - \"") + name + "\"";
}

DebugLog& LogOf(Interpreter& in) {
  return in.S.RunStates.Get<DebugLog>();
}

}  // namespace sorane
