// The table commands: a table is a CSV text (text/csv.h); each command reads
// its table argument, works on it (tables_db.cpp, tables_where.cpp) and leaves
// the new table text or a number in それ. Arguments are popped last template
// slot first.
#include <algorithm>
#include <string>

#include "library/library.h"
#include "library/tables/tables_db.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/number.h"

namespace sorane {

namespace {

// ---------------------------------------------------------------- results
// Marked: the mark goes into それ's own type mark (and SoreType). Common: the
// common result routine (Value and SoreType). ValueOnly: marks stay as they were.

void Marked(Interpreter& in, std::string value, const char* mark) {
  in.SetSore(std::move(value), mark);
  in.S.Fast.Sore->TypeMark = mark;
}
void Common(Interpreter& in, std::string value) {
  in.SetSore(std::move(value), "s");
}
void ValueOnly(Interpreter& in, std::string value) {
  in.S.Fast.Sore->Value = std::move(value);
}
void MarkedNumber(Interpreter& in, Number v) {
  Marked(in, FormatNumber(v), "e");
}

[[noreturn]] void BadArgument(Interpreter& in, THashNode& cmd) {
  in.Raise(msg::BadArgument(), cmd.Name);
}

// Runs a table operation, turning its failure into a run-time error.
template <typename F>
void Guarded(Interpreter& in, F&& work) {
  std::string message;
  try {
    work();
    return;
  } catch (const TableError& e) {
    message = e.what();
  }
  in.Raise(message);
}

// "表フィールド名" = "1": row 0 of a table holds the field names.
bool HeaderMode(Interpreter& in) {
  THashNode* w = in.S.Words.FindExact(SJ("表フィールド名"));
  return w != nullptr && w->Value == "1";
}

// A column given as integer text: a plain decimal integer, anything else -1.
// A negative column is an error, except -1 (the whole row) where allowed.
long long IntegerColumn(Interpreter& in, THashNode& cmd, bool whole_row_allowed) {
  long long column = -1;
  if (!TryParseInteger(in.PopValue(), column)) column = -1;
  if (column < -1 || (column == -1 && !whole_row_allowed)) BadArgument(in, cmd);
  return column;
}

// A column given as a number (truncated toward zero).
long long NumberColumn(Interpreter& in) {
  return ToInt64(in.PopNumber());
}

// Padding operations refuse absurd columns instead of filling memory.
void CheckPadColumn(Interpreter& in, THashNode& cmd, long long column) {
  if (column > kMaxPadColumn) BadArgument(in, cmd);
}

// The stateful search of each interpreter (表検索 and its companions).
TableSearch& SearchOf(Interpreter& in) {
  return in.S.RunStates.Get<TableSearch>();
}

// ---------------------------------------------------------------- rows as text

// 区切る (?を,?で)
void CmdSplit(Interpreter& in, THashNode&) {
  std::string sep = in.PopValue();
  std::string text = in.PopValue();
  Marked(in, SplitToTable(text, sep), "s");
}

// 逆にする (?を)
void CmdReverse(Interpreter& in, THashNode&) {
  CsvTable table = CsvParse(in.PopValue());
  std::reverse(table.begin(), table.end());
  Common(in, CsvWrite(table));
}

// 表行数, 要素数 (?の)
void CmdRowCount(Interpreter& in, THashNode&) {
  Marked(in, std::to_string(CsvParse(in.PopValue()).size()), "e");
}

// 表列数 (?の)
void CmdColumnCount(Interpreter& in, THashNode&) {
  Marked(in, std::to_string(CsvWidth(CsvParse(in.PopValue()))), "e");
}

// ---------------------------------------------------------------- searching

// 表ピックアップ (?の,?列目から,?を)
void CmdPickUp(Interpreter& in, THashNode& cmd) {
  std::string key = in.PopValue();
  long long column = IntegerColumn(in, cmd, true);
  std::string text = in.PopValue();
  if (key.empty()) return;
  Guarded(in, [&] { Marked(in, PickUp(text, column, key, HeaderMode(in)), "s"); });
}

// 表検索 / 表曖昧検索 (?の,?列目から,?を)
void StartSearch(Interpreter& in, THashNode& cmd, bool fuzzy) {
  std::string key = in.PopValue();
  long long column = IntegerColumn(in, cmd, true);
  std::string text = in.PopValue();
  TableSearch& search = SearchOf(in);
  search.Start(text, column, std::move(key), fuzzy, HeaderMode(in));
  Guarded(in, [&] { Marked(in, std::to_string(search.Next()), "e"); });
}
void CmdSearch(Interpreter& in, THashNode& cmd) {
  StartSearch(in, cmd, false);
}
void CmdFuzzySearch(Interpreter& in, THashNode& cmd) {
  StartSearch(in, cmd, true);
}

// 表検索次の値
void CmdSearchNext(Interpreter& in, THashNode&) {
  TableSearch& search = SearchOf(in);
  Marked(in, "-1", "e");
  Guarded(in, [&] { Marked(in, std::to_string(search.Next()), "e"); });
}

// 表検索クリア
void CmdSearchClear(Interpreter& in, THashNode&) {
  SearchOf(in).Clear();
}

// ---------------------------------------------------------------- statistics

// 表最大値, 表最小値, 表合計, 表平均値 (?の,?列目の)
template <TableStat kStat>
void CmdStat(Interpreter& in, THashNode& cmd) {
  long long column = IntegerColumn(in, cmd, false);
  CsvTable table = CsvParse(in.PopValue());
  MarkedNumber(in, ColumnStat(table, static_cast<size_t>(column), HeaderMode(in), kStat));
}

// ---------------------------------------------------------------- sorting

// 表ソート (mark s), 表数値ソート and 表日付ソート (common result) (?の,?列目を)
template <SortKind kKind>
void CmdSort(Interpreter& in, THashNode& cmd) {
  long long column = IntegerColumn(in, cmd, false);
  CsvTable table = CsvParse(in.PopValue());
  Guarded(in, [&] { SortTable(table, static_cast<size_t>(column), HeaderMode(in), kKind); });
  if (kKind == SortKind::kText) {
    Marked(in, CsvWrite(table), "s");
  } else {
    Common(in, CsvWrite(table));
  }
}

// ---------------------------------------------------------------- columns
// A negative column makes insert, delete, copy, paste and the duplicate
// removal do nothing at all.

// 表列挿入 (?の,?列目へ)
void CmdInsertColumn(Interpreter& in, THashNode& cmd) {
  long long column = NumberColumn(in);
  std::string text = in.PopValue();
  if (column < 0) return;
  CheckPadColumn(in, cmd, column);
  CsvTable table = CsvParse(text);
  InsertColumn(table, static_cast<size_t>(column));
  ValueOnly(in, CsvWrite(table));
}

// 表列削除 (?の,?列目を)
void CmdDeleteColumn(Interpreter& in, THashNode&) {
  long long column = NumberColumn(in);
  std::string text = in.PopValue();
  if (column < 0) return;
  CsvTable table = CsvParse(text);
  DeleteColumn(table, static_cast<size_t>(column));
  ValueOnly(in, CsvWrite(table));
}

// 表列コピー (?の,?列目を)
void CmdCopyColumn(Interpreter& in, THashNode&) {
  long long column = NumberColumn(in);
  std::string text = in.PopValue();
  if (column < 0) return;
  ValueOnly(in, CopyColumn(CsvParse(text), static_cast<size_t>(column)));
}

// 表列貼付け (?の,?列目に,?を)
void CmdPasteColumn(Interpreter& in, THashNode& cmd) {
  std::string lines = in.PopValue();
  long long column = NumberColumn(in);
  std::string text = in.PopValue();
  if (column < 0) return;
  CheckPadColumn(in, cmd, column);
  CsvTable table = CsvParse(text);
  PasteColumn(table, static_cast<size_t>(column), lines);
  ValueOnly(in, CsvWrite(table));
}

// 表列指定置換 (?の,?列目にある,?を,?に)
void CmdReplaceInColumn(Interpreter& in, THashNode&) {
  std::string replacement = in.PopValue();
  std::string needle = in.PopValue();
  long long column = NumberColumn(in);
  CsvTable table = CsvParse(in.PopValue());
  if (column >= 0) ReplaceInColumn(table, static_cast<size_t>(column), needle, replacement);
  Marked(in, CsvWrite(table), "s");
}

// 表列移動 (?の,?列目と,?列目を)
void CmdMoveColumn(Interpreter& in, THashNode&) {
  long long to = NumberColumn(in);
  long long from = NumberColumn(in);
  CsvTable table = CsvParse(in.PopValue());
  Guarded(in, [&] { MoveColumn(table, from, to); });
  Marked(in, CsvWrite(table), "s");
}

// 表重複項目削除 (?の,?列目をキーに)
void CmdRemoveDuplicates(Interpreter& in, THashNode&) {
  long long column = NumberColumn(in);
  std::string text = in.PopValue();
  if (column < 0) return;
  CsvTable table = CsvParse(text);
  RemoveDuplicates(table, static_cast<size_t>(column));
  ValueOnly(in, CsvWrite(table));
}

// 表行列交換 (?の)
void CmdTranspose(Interpreter& in, THashNode&) {
  Marked(in, CsvWrite(Transpose(CsvParse(in.PopValue()))), "s");
}

// ---------------------------------------------------------------- two tables

// 表キー合成 (?の,?列目と,?の,?列目で): any failure gives an empty result.
void CmdKeyJoin(Interpreter& in, THashNode&) {
  long long key_b = NumberColumn(in);
  std::string text_b = in.PopValue();
  long long key_a = NumberColumn(in);
  std::string text_a = in.PopValue();
  if (key_a < 0 || key_b < 0) {
    Marked(in, std::string(), "s");
    return;
  }
  CsvTable a = CsvParse(text_a);
  KeyJoin(a, static_cast<size_t>(key_a), CsvParse(text_b), static_cast<size_t>(key_b),
          HeaderMode(in));
  Marked(in, CsvWrite(a), "s");
}

// 表条件抽出 (?を,?で)
void CmdSelectWhere(Interpreter& in, THashNode&) {
  std::string condition = in.PopValue();
  std::string text = in.PopValue();
  Guarded(in, [&] { Marked(in, SelectWhere(text, condition), "s"); });
}

// テーブルタグで囲む (?を,?で)
void CmdHtmlTable(Interpreter& in, THashNode&) {
  std::string attributes = in.PopValue();
  CsvTable table = CsvParse(in.PopValue());
  Marked(in, HtmlTable(table, attributes), "s");
}

}  // namespace

CommandTable TableCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Split, "区切る", "?を,?で", Popping<CmdSplit>, kActs},
      {CommandId::Reverse, "逆にする", "?を", Popping<CmdReverse>, kActs},
      {CommandId::PickUp, "表ピックアップ", "?の,?列目から,?を", Popping<CmdPickUp>, kActs},
      {CommandId::TableSearch, "表検索", "?の,?列目から,?を", Popping<CmdSearch>, kActs},
      {CommandId::SearchNext, "表検索次の値", "", Popping<CmdSearchNext>, kActs},
      {CommandId::SearchClear, "表検索クリア", "", Popping<CmdSearchClear>, kActs},
      {CommandId::TableFuzzySearch, "表曖昧検索", "?の,?列目から,?を", Popping<CmdFuzzySearch>,
       kActs},
      {CommandId::TableMax, "表最大値", "?の,?列目の", Popping<CmdStat<TableStat::kMax>>, kActs},
      {CommandId::TableMin, "表最小値", "?の,?列目の", Popping<CmdStat<TableStat::kMin>>, kActs},
      {CommandId::TableAverage, "表平均値", "?の,?列目の", Popping<CmdStat<TableStat::kAverage>>,
       kActs},
      {CommandId::TableSort, "表ソート", "?の,?列目を", Popping<CmdSort<SortKind::kText>>, kActs},
      {CommandId::TableSortNumbers, "表数値ソート", "?の,?列目を",
       Popping<CmdSort<SortKind::kNumber>>, kActs},
      {CommandId::TableSum, "表合計", "?の,?列目の", Popping<CmdStat<TableStat::kSum>>, kActs},
      {CommandId::InsertColumn, "表列挿入", "?の,?列目へ", Popping<CmdInsertColumn>, kActs},
      {CommandId::DeleteColumn, "表列削除", "?の,?列目を", Popping<CmdDeleteColumn>, kActs},
      {CommandId::RemoveDuplicates, "表重複項目削除", "?の,?列目をキーに",
       Popping<CmdRemoveDuplicates>, kActs},
      {CommandId::CopyColumn, "表列コピー", "?の,?列目を", Popping<CmdCopyColumn>, kActs},
      {CommandId::PasteColumn, "表列貼付け", "?の,?列目に,?を", Popping<CmdPasteColumn>, kActs},
      {CommandId::TableSortDates, "表日付ソート", "?の,?列目を", Popping<CmdSort<SortKind::kDate>>,
       kActs},
      {CommandId::SelectWhere, "表条件抽出", "?を,?で", Popping<CmdSelectWhere>, kActs},
      {CommandId::KeyJoin, "表キー合成", "?の,?列目と,?の,?列目で", Popping<CmdKeyJoin>, kActs},
      {CommandId::ElementCount, "要素数", "?の", Popping<CmdRowCount>, kActs},
      {CommandId::Transpose, "表行列交換", "?の", Popping<CmdTranspose>, kActs},
      {CommandId::TableRowCount, "表行数", "?の", Popping<CmdRowCount>, kActs},
      {CommandId::ColumnCount, "表列数", "?の", Popping<CmdColumnCount>, kActs},
      {CommandId::ReplaceInColumn, "表列指定置換", "?の,?列目にある,?を,?に",
       Popping<CmdReplaceInColumn>, kActs},
      {CommandId::MoveColumn, "表列移動", "?の,?列目と,?列目を", Popping<CmdMoveColumn>, kActs},
      {CommandId::HtmlTable, "テーブルタグで囲む", "?を,?で", Popping<CmdHtmlTable>, kActs},
  };
  return kRows;
}

}  // namespace sorane
