// The work of the table commands (表…, 区切る, 逆にする, 要素数, テーブルタグで囲む)
// on tables held in memory. A table is the CSV text of a script read with the
// codec of text/csv.h; a row without cells stands for an absent row, which
// reads and writes as empty cells.
//
// With a header row (the script's 表フィールド名 is "1"), row 0 holds the field
// names: it is kept in place by sorting, not counted by the statistics and not
// matched by searches.
//
// Everything here is free of the interpreter, so it is tested directly; a
// failure is a TableError whose what() is the CP932 message for the script.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/csv.h"
#include "text/number.h"

namespace sorane {

class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The cell at (row, column) of a row, empty when the row is shorter.
const std::string& CellOf(const CsvRow& row, size_t column);

// ---- Splitting and rows as plain lines.

// The pieces of `text` between separators, walking by characters (the text
// ends at a NUL byte). A separator at the very end gives no empty last piece;
// an empty text gives none; an empty separator gives the whole text.
std::vector<std::string_view> SplitPieces(std::string_view text, std::string_view sep);
// 区切る: the pieces written as a table of one column.
std::string SplitToTable(std::string_view text, std::string_view sep);
// Lines split at CR LF, CR or LF; a line break at the end adds no line.
std::vector<std::string_view> PlainLines(std::string_view text);

// ---- Matching keys.

// "*", "?" or "[" makes a key a wildcard pattern (表ピックアップ).
bool HasWildcard(std::string_view key);
// A cell matches a key when the key, as a wildcard pattern, matches the whole
// cell, or, without wildcard characters, when the cell contains the key.
// Throws TableError for a pattern the wildcard language refuses.
bool KeyMatches(std::string_view cell, std::string_view key, bool wildcard);

// 表ピックアップ: the rows whose cell in `column` matches the key, after the
// header row in header mode. Column -1 takes the text as plain lines instead:
// every line that matches as a whole (the header line skipped).
std::string PickUp(std::string_view text, long long column, std::string_view key, bool header);

// ---- The stateful search of 表検索, 表曖昧検索 and 表検索次の値.
struct TableSearch {
  CsvTable table;
  std::string key;
  long long column = -1;  // -1: the whole row
  size_t next = 0;        // the next row to examine
  bool fuzzy = false;

  void Start(std::string_view text, long long column, std::string key, bool fuzzy, bool header);
  // The next matching row index, or -1 (for good once the rows run out).
  long long Next();
  void Clear();
};

// ---- Statistics over the data rows of a column.
enum class TableStat { kMax, kMin, kSum, kAverage };
Number ColumnStat(const CsvTable& table, size_t column, bool header, TableStat stat);
// The same read row by row from a table text, without holding the table.
Number ColumnStat(std::string_view text, size_t column, bool header, TableStat stat);

// ---- Sorting.
enum class SortKind { kText, kNumber, kDate };
// Drops empty cells at the end of every row and empty rows at both ends.
void TrimTable(CsvTable& table);
// Trims, then sorts the data rows ascending by the cell in `column`: ranges of
// 20 rows or more by a stable merge sort, smaller ones by selection sort.
// kDate throws TableError for a cell that is not a date.
void SortTable(CsvTable& table, size_t column, bool header, SortKind kind);

// ---- Column operations (every present row).
// Largest column the padding operations accept, so that a mistyped number
// cannot make every row allocate millions of cells.
constexpr long long kMaxPadColumn = 1 << 20;
void InsertColumn(CsvTable& table, size_t column);
void DeleteColumn(CsvTable& table, size_t column);
std::string CopyColumn(const CsvTable& table, size_t column);
void PasteColumn(CsvTable& table, size_t column, std::string_view lines);
void ReplaceInColumn(CsvTable& table, size_t column, std::string_view needle,
                     std::string_view replacement);
// Takes the cell at `from` out of every row and inserts it at `to`. A row
// without both positions throws TableError with the list-index message.
void MoveColumn(CsvTable& table, long long from, long long to);
// Keeps, of the rows with equal keys, only the last one.
void RemoveDuplicates(CsvTable& table, size_t column);
// Rows and columns exchanged, then trimmed like a table before sorting.
CsvTable Transpose(const CsvTable& table);

// 表キー合成: every data row of A gets the cells (except the key) of the first
// data row of B with an equal key appended after A's width; in header mode B's
// field names (except the key's) are appended to A's header row.
void KeyJoin(CsvTable& a, size_t key_a, const CsvTable& b, size_t key_b, bool header);

// 表条件抽出: the header row and the data rows that satisfy the condition.
// Throws TableError with the whole message ("CSVデータベースの解析エラー。" + cause).
std::string SelectWhere(std::string_view text, std::string_view condition);
// The condition text as the evaluator reads it: full-width syntax characters
// made single-byte, "," made a space, "または " and "かつ " made "OR " and
// "AND ", all outside quoted values only.
std::string NormalizeCondition(std::string_view condition);

// テーブルタグで囲む.
std::string HtmlTable(const CsvTable& table, std::string_view attributes);

}  // namespace sorane
