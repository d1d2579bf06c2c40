// CSV tables: the language has no table type, so a table is a text with one row
// per line and the cells of a row separated by commas. This codec reads such a
// text into rows of cells and writes rows back. Cell access (V#x#y), cell
// assignment and the table commands all share it, so a table read and written
// anywhere comes out the same.
//
// Reading, per cell: leading spaces are skipped; a cell that starts with a double
// quote is quoted, and then separators and line breaks belong to it; "" gives one
// quote; a quote followed (after spaces) by the end, a line break or a separator
// closes the cell; any other quote is kept. The cell is then trimmed of spaces and
// control characters, and a remaining pair of surrounding quotes is removed. CR LF,
// CR and LF end a row; a line break at the very end adds no row.
//
// Writing: every row gets the width of the widest row (missing cells are empty)
// and is followed by CR LF. A cell is quoted when it holds a quote (doubled), the
// separator, CR, LF or the letters "ID" (a text starting with "ID" would be taken
// for another file format by spreadsheet programs).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorane {

// One row. A parsed row always has at least one cell; an empty row (no cells)
// stands for a row that is absent, which reads and writes as empty cells.
using CsvRow = std::vector<std::string>;
using CsvTable = std::vector<CsvRow>;

// A cursor over a table text that reads it row by row (what CsvParse keeps,
// one row at a time), for commands that need not hold the whole table.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text, char sep = ',') : s_(text), sep_(sep) {}
  bool AtEnd() const { return i_ >= s_.size(); }
  // The next row into `row`, whose cells it replaces (at least one cell).
  void Row(CsvRow& row);
  CsvRow Row();

 private:
  void Cell(std::string& cell);
  void Quote(std::string& out, bool& quoted);
  static void CellValue(std::string_view collected, std::string& cell);

  std::string_view s_;
  char sep_;
  size_t i_ = 0;
  size_t width_ = 1;  // the cells of the row read last
};

// The whole text as a table; an empty text gives no rows.
CsvTable CsvParse(std::string_view text, char sep = ',');
// The first row of the text (what a single line holds); an empty text gives one
// empty cell, like an empty line.
CsvRow CsvParseLine(std::string_view text, char sep = ',');

// The largest number of cells of any row.
size_t CsvWidth(const CsvTable& table);
// Every row padded to the table's width, each followed by CR LF.
std::string CsvWrite(const CsvTable& table, char sep = ',');
// One row as a line without its line break, padded with empty cells to `width`
// (a smaller width never drops cells).
std::string CsvWriteRow(const CsvRow& row, size_t width = 0, char sep = ',');
// One cell as written: quoted when it needs to be.
std::string CsvQuoteCell(std::string_view cell, char sep = ',');

}  // namespace sorane
