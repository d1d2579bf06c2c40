// The table commands: a table is a CSV text (text/csv.h); each command reads
// its table argument, works on it (tables_db.cpp, tables_where.cpp) and leaves
// the new table text or a number in それ. Handlers read their arguments from
// the last template slot to the first, the order in which scripts see their
// expressions evaluated.
#include <algorithm>
#include <string>

#include "library/library.h"
#include "library/tables/tables_db.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"

namespace sorane {

namespace {

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
  return w != nullptr && w->Value() == "1";
}

// The column in slot k given as integer text: a plain decimal integer,
// anything else -1. A negative column is an error, except -1 (the whole row)
// where allowed.
long long IntegerColumn(Call& c, size_t k, bool whole_row_allowed) {
  long long column = -1;
  if (!TryParseInteger(c.Text(k), column)) column = -1;
  if (column < -1 || (column == -1 && !whole_row_allowed)) c.BadArgument();
  return column;
}

// The column in slot k given as a number (truncated toward zero).
long long NumberColumn(Call& c, size_t k) {
  return c.Int(k);
}

// Padding operations refuse absurd columns instead of filling memory.
void CheckPadColumn(Call& c, long long column) {
  if (column > kMaxPadColumn) c.BadArgument();
}

// The stateful search of each interpreter (表検索 and its companions).
TableSearch& SearchOf(Interpreter& in) {
  return in.S.RunStates.Get<TableSearch>();
}

// ---------------------------------------------------------------- rows as text

// 区切る (?を,?で)
void CmdSplit(Call& c) {
  std::string sep = c.Text(1);
  std::string text = c.Text(0);
  c.ReturnText(SplitToTable(text, sep));
}

// 逆にする (?を)
void CmdReverse(Call& c) {
  CsvTable table = CsvParse(c.Text(0));
  std::reverse(table.begin(), table.end());
  c.ReturnCommon(CsvWrite(table));
}

// 表行数, 要素数 (?の)
void CmdRowCount(Call& c) {
  c.ReturnInt(static_cast<long long>(CsvParse(c.Text(0)).size()));
}

// 表列数 (?の)
void CmdColumnCount(Call& c) {
  c.ReturnInt(static_cast<long long>(CsvWidth(CsvParse(c.Text(0)))));
}

// ---------------------------------------------------------------- searching

// 表ピックアップ (?の,?列目から,?を)
void CmdPickUp(Call& c) {
  std::string key = c.Text(2);
  long long column = IntegerColumn(c, 1, true);
  std::string text = c.Text(0);
  if (key.empty()) return;
  Guarded(c.in, [&] { c.ReturnText(PickUp(text, column, key, HeaderMode(c.in))); });
}

// 表検索 / 表曖昧検索 (?の,?列目から,?を)
void StartSearch(Call& c, bool fuzzy) {
  std::string key = c.Text(2);
  long long column = IntegerColumn(c, 1, true);
  std::string text = c.Text(0);
  TableSearch& search = SearchOf(c.in);
  search.Start(text, column, std::move(key), fuzzy, HeaderMode(c.in));
  Guarded(c.in, [&] { c.ReturnInt(search.Next()); });
}
void CmdSearch(Call& c) {
  StartSearch(c, false);
}
void CmdFuzzySearch(Call& c) {
  StartSearch(c, true);
}

// 表検索次の値
void CmdSearchNext(Call& c) {
  TableSearch& search = SearchOf(c.in);
  c.ReturnInt(-1);
  Guarded(c.in, [&] { c.ReturnInt(search.Next()); });
}

// 表検索クリア
void CmdSearchClear(Call& c) {
  SearchOf(c.in).Clear();
}

// ---------------------------------------------------------------- statistics

// 表最大値, 表最小値, 表合計, 表平均値 (?の,?列目の)
template <TableStat kStat>
void CmdStat(Call& c) {
  long long column = IntegerColumn(c, 1, false);
  c.ReturnNumber(ColumnStat(c.Text(0), static_cast<size_t>(column), HeaderMode(c.in), kStat));
}

// ---------------------------------------------------------------- sorting

// 表ソート (mark s), 表数値ソート and 表日付ソート (common result) (?の,?列目を)
template <SortKind kKind>
void CmdSort(Call& c) {
  long long column = IntegerColumn(c, 1, false);
  CsvTable table = CsvParse(c.Text(0));
  Guarded(c.in, [&] { SortTable(table, static_cast<size_t>(column), HeaderMode(c.in), kKind); });
  if (kKind == SortKind::kText) {
    c.ReturnText(CsvWrite(table));
  } else {
    c.ReturnCommon(CsvWrite(table));
  }
}

// ---------------------------------------------------------------- columns
// A negative column makes insert, delete, copy, paste and the duplicate
// removal do nothing at all; their result is the value of それ alone.

// 表列挿入 (?の,?列目へ)
void CmdInsertColumn(Call& c) {
  long long column = NumberColumn(c, 1);
  std::string text = c.Text(0);
  if (column < 0) return;
  CheckPadColumn(c, column);
  CsvTable table = CsvParse(text);
  InsertColumn(table, static_cast<size_t>(column));
  c.ReturnValueOnly(CsvWrite(table));
}

// 表列削除 (?の,?列目を)
void CmdDeleteColumn(Call& c) {
  long long column = NumberColumn(c, 1);
  std::string text = c.Text(0);
  if (column < 0) return;
  CsvTable table = CsvParse(text);
  DeleteColumn(table, static_cast<size_t>(column));
  c.ReturnValueOnly(CsvWrite(table));
}

// 表列コピー (?の,?列目を)
void CmdCopyColumn(Call& c) {
  long long column = NumberColumn(c, 1);
  std::string text = c.Text(0);
  if (column < 0) return;
  c.ReturnValueOnly(CopyColumn(CsvParse(text), static_cast<size_t>(column)));
}

// 表列貼付け (?の,?列目に,?を)
void CmdPasteColumn(Call& c) {
  std::string lines = c.Text(2);
  long long column = NumberColumn(c, 1);
  std::string text = c.Text(0);
  if (column < 0) return;
  CheckPadColumn(c, column);
  CsvTable table = CsvParse(text);
  PasteColumn(table, static_cast<size_t>(column), lines);
  c.ReturnValueOnly(CsvWrite(table));
}

// 表列指定置換 (?の,?列目にある,?を,?に)
void CmdReplaceInColumn(Call& c) {
  std::string replacement = c.Text(3);
  std::string needle = c.Text(2);
  long long column = NumberColumn(c, 1);
  CsvTable table = CsvParse(c.Text(0));
  if (column >= 0) ReplaceInColumn(table, static_cast<size_t>(column), needle, replacement);
  c.ReturnText(CsvWrite(table));
}

// 表列移動 (?の,?列目と,?列目を)
void CmdMoveColumn(Call& c) {
  long long to = NumberColumn(c, 2);
  long long from = NumberColumn(c, 1);
  CsvTable table = CsvParse(c.Text(0));
  Guarded(c.in, [&] { MoveColumn(table, from, to); });
  c.ReturnText(CsvWrite(table));
}

// 表重複項目削除 (?の,?列目をキーに)
void CmdRemoveDuplicates(Call& c) {
  long long column = NumberColumn(c, 1);
  std::string text = c.Text(0);
  if (column < 0) return;
  CsvTable table = CsvParse(text);
  RemoveDuplicates(table, static_cast<size_t>(column));
  c.ReturnValueOnly(CsvWrite(table));
}

// 表行列交換 (?の)
void CmdTranspose(Call& c) {
  c.ReturnText(CsvWrite(Transpose(CsvParse(c.Text(0)))));
}

// ---------------------------------------------------------------- two tables

// 表キー合成 (?の,?列目と,?の,?列目で): any failure gives an empty result.
void CmdKeyJoin(Call& c) {
  long long key_b = NumberColumn(c, 3);
  std::string text_b = c.Text(2);
  long long key_a = NumberColumn(c, 1);
  std::string text_a = c.Text(0);
  if (key_a < 0 || key_b < 0) {
    c.ReturnText(std::string());
    return;
  }
  CsvTable a = CsvParse(text_a);
  KeyJoin(a, static_cast<size_t>(key_a), CsvParse(text_b), static_cast<size_t>(key_b),
          HeaderMode(c.in));
  c.ReturnText(CsvWrite(a));
}

// 表条件抽出 (?を,?で)
void CmdSelectWhere(Call& c) {
  std::string condition = c.Text(1);
  std::string text = c.Text(0);
  Guarded(c.in, [&] { c.ReturnText(SelectWhere(text, condition)); });
}

// テーブルタグで囲む (?を,?で)
void CmdHtmlTable(Call& c) {
  std::string attributes = c.Text(1);
  CsvTable table = CsvParse(c.Text(0));
  c.ReturnText(HtmlTable(table, attributes));
}

}  // namespace

CommandTable TableCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Split, "区切る", "?を,?で", CmdSplit, kActs},
      {CommandId::Reverse, "逆にする", "?を", CmdReverse, kActs},
      {CommandId::PickUp, "表ピックアップ", "?の,?列目から,?を", CmdPickUp, kActs},
      {CommandId::TableSearch, "表検索", "?の,?列目から,?を", CmdSearch, kActs},
      {CommandId::SearchNext, "表検索次の値", "", CmdSearchNext, kActs},
      {CommandId::SearchClear, "表検索クリア", "", CmdSearchClear, kActs},
      {CommandId::TableFuzzySearch, "表曖昧検索", "?の,?列目から,?を", CmdFuzzySearch, kActs},
      {CommandId::TableMax, "表最大値", "?の,?列目の", CmdStat<TableStat::kMax>, kActs},
      {CommandId::TableMin, "表最小値", "?の,?列目の", CmdStat<TableStat::kMin>, kActs},
      {CommandId::TableAverage, "表平均値", "?の,?列目の", CmdStat<TableStat::kAverage>, kActs},
      {CommandId::TableSort, "表ソート", "?の,?列目を", CmdSort<SortKind::kText>, kActs},
      {CommandId::TableSortNumbers, "表数値ソート", "?の,?列目を", CmdSort<SortKind::kNumber>,
       kActs},
      {CommandId::TableSum, "表合計", "?の,?列目の", CmdStat<TableStat::kSum>, kActs},
      {CommandId::InsertColumn, "表列挿入", "?の,?列目へ", CmdInsertColumn, kActs},
      {CommandId::DeleteColumn, "表列削除", "?の,?列目を", CmdDeleteColumn, kActs},
      {CommandId::RemoveDuplicates, "表重複項目削除", "?の,?列目をキーに", CmdRemoveDuplicates,
       kActs},
      {CommandId::CopyColumn, "表列コピー", "?の,?列目を", CmdCopyColumn, kActs},
      {CommandId::PasteColumn, "表列貼付け", "?の,?列目に,?を", CmdPasteColumn, kActs},
      {CommandId::TableSortDates, "表日付ソート", "?の,?列目を", CmdSort<SortKind::kDate>, kActs},
      {CommandId::SelectWhere, "表条件抽出", "?を,?で", CmdSelectWhere, kActs},
      {CommandId::KeyJoin, "表キー合成", "?の,?列目と,?の,?列目で", CmdKeyJoin, kActs},
      {CommandId::ElementCount, "要素数", "?の", CmdRowCount, kActs},
      {CommandId::Transpose, "表行列交換", "?の", CmdTranspose, kActs},
      {CommandId::TableRowCount, "表行数", "?の", CmdRowCount, kActs},
      {CommandId::ColumnCount, "表列数", "?の", CmdColumnCount, kActs},
      {CommandId::ReplaceInColumn, "表列指定置換", "?の,?列目にある,?を,?に", CmdReplaceInColumn,
       kActs},
      {CommandId::MoveColumn, "表列移動", "?の,?列目と,?列目を", CmdMoveColumn, kActs},
      {CommandId::HtmlTable, "テーブルタグで囲む", "?を,?で", CmdHtmlTable, kActs},
  };
  return kRows;
}

}  // namespace sorane
