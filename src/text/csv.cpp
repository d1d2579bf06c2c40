// The CSV codec of tables (rules in csv.h). Reading walks the text by
// characters, so the trail byte of a double-byte character is never taken for a
// quote, a separator or a line break.
#include "text/csv.h"

#include <algorithm>

#include "text/sjis.h"

namespace sorane {
namespace {

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

}  // namespace

// Cells up to the end of the text or a line break, then the line break itself
// (CR LF, CR or LF). The row's cells are replaced (its rooms are reused); a
// row gets room for as many cells as the row before had.
void CsvReader::Row(CsvRow& row) {
  size_t cells = 0;
  row.reserve(width_);
  for (;;) {
    if (cells == row.size()) row.emplace_back();
    Cell(row[cells++]);
    if (AtEnd() || IsLineBreak(s_[i_])) break;
  }
  row.resize(cells);
  width_ = cells;
  if (!AtEnd() && (s_[i_] == sep_ || s_[i_] == '\r')) ++i_;
  if (!AtEnd() && s_[i_] == '\n') ++i_;
}

CsvRow CsvReader::Row() {
  CsvRow row;
  Row(row);
  return row;
}

// One cell; a separator that ends it is consumed, a line break is not. A cell
// without a quote (most cells) is taken from the text at once; any other is
// collected character by character.
void CsvReader::Cell(std::string& cell) {
  while (!AtEnd() && s_[i_] == ' ') ++i_;
  const size_t start = i_;
  if (!AtEnd() && s_[i_] != '"') {
    size_t k = i_;
    while (k < s_.size() && s_[k] != sep_ && !IsLineBreak(s_[k]) && s_[k] != '"')
      k += CharLen(s_, k);
    if (k >= s_.size() || s_[k] != '"') {
      i_ = k < s_.size() && s_[k] == sep_ ? k + 1 : k;
      return CellValue(s_.substr(start, k - start), cell);
    }
  }
  bool quoted = !AtEnd() && s_[i_] == '"';
  if (quoted) ++i_;
  std::string out;
  while (!AtEnd()) {
    char c = s_[i_];
    if (c == sep_ || IsLineBreak(c)) {
      if (!quoted) {
        if (c == sep_) ++i_;
        break;
      }
      out += c;
      ++i_;
      continue;
    }
    if (c == '"') {
      Quote(out, quoted);
      continue;
    }
    size_t len = CharLen(s_, i_);
    out.append(s_.data() + i_, len);
    i_ += len;
  }
  CellValue(out, cell);
}

// A quote inside a cell: doubled it is one quote; before the end, a line break
// or the separator (spaces between are skipped) it closes the cell; otherwise
// it is an ordinary character.
void CsvReader::Quote(std::string& out, bool& quoted) {
  if (i_ + 1 < s_.size() && s_[i_ + 1] == '"') {
    out += '"';
    i_ += 2;
    return;
  }
  size_t k = i_ + 1;
  while (k < s_.size() && s_[k] == ' ') ++k;
  if (k >= s_.size() || IsLineBreak(s_[k]) || s_[k] == sep_) {
    quoted = false;
    i_ = k;
    return;
  }
  out += '"';
  ++i_;
}

// The collected text trimmed; a pair of quotes left around it is removed too.
void CsvReader::CellValue(std::string_view collected, std::string& cell) {
  std::string_view v = TrimView(collected);
  if (v.size() > 1 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  cell.assign(v);
}

namespace {

// True when the cell must be quoted to read back as itself.
bool NeedsQuotes(std::string_view cell, char sep) {
  for (size_t i = 0; i < cell.size(); i += CharLen(cell, i)) {
    char c = cell[i];
    if (c == '"' || c == sep || IsLineBreak(c)) return true;
    if (c == 'I' && i + 1 < cell.size() && cell[i + 1] == 'D') return true;
  }
  return false;
}

}  // namespace

CsvTable CsvParse(std::string_view text, char sep) {
  CsvTable table;
  CsvReader reader(text, sep);
  while (!reader.AtEnd()) reader.Row(table.emplace_back());
  return table;
}

CsvRow CsvParseLine(std::string_view text, char sep) {
  CsvReader reader(text, sep);
  if (reader.AtEnd()) return CsvRow{std::string()};
  return reader.Row();
}

size_t CsvWidth(const CsvTable& table) {
  size_t width = 0;
  for (const CsvRow& row : table) width = std::max(width, row.size());
  return width;
}

std::string CsvQuoteCell(std::string_view cell, char sep) {
  if (!NeedsQuotes(cell, sep)) return std::string(cell);
  std::string out;
  out.reserve(cell.size() + 2);
  out += '"';
  // By characters, as the reader walks: a 0x22 that is the trail byte of a
  // double-byte character is not a quote and is not doubled.
  for (size_t i = 0; i < cell.size();) {
    size_t len = CharLen(cell, i);
    out.append(cell.data() + i, len);
    if (len == 1 && cell[i] == '"') out += '"';
    i += len;
  }
  out += '"';
  return out;
}

std::string CsvWriteRow(const CsvRow& row, size_t width, char sep) {
  std::string out;
  size_t cells = std::max(width, row.size());
  for (size_t k = 0; k < cells; ++k) {
    if (k > 0) out += sep;
    if (k < row.size()) out += CsvQuoteCell(row[k], sep);
  }
  return out;
}

std::string CsvWrite(const CsvTable& table, char sep) {
  size_t width = CsvWidth(table);
  std::string out;
  for (const CsvRow& row : table) {
    out += CsvWriteRow(row, width, sep);
    out += "\r\n";
  }
  return out;
}

}  // namespace sorane
