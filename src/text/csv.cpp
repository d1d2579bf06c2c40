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

// A cursor over the table text.
class CsvReader {
 public:
  CsvReader(std::string_view text, char sep) : s_(text), sep_(sep) {}

  bool AtEnd() const { return i_ >= s_.size(); }

  // Cells up to the end of the text or a line break, then the line break itself
  // (CR LF, CR or LF).
  CsvRow Row() {
    CsvRow row;
    for (;;) {
      row.push_back(Cell());
      if (AtEnd() || IsLineBreak(s_[i_])) break;
    }
    if (!AtEnd() && (s_[i_] == sep_ || s_[i_] == '\r')) ++i_;
    if (!AtEnd() && s_[i_] == '\n') ++i_;
    return row;
  }

 private:
  // One cell; a separator that ends it is consumed, a line break is not.
  std::string Cell() {
    while (!AtEnd() && s_[i_] == ' ') ++i_;
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
    return CellValue(out);
  }

  // A quote inside a cell: doubled it is one quote; before the end, a line break
  // or the separator (spaces between are skipped) it closes the cell; otherwise
  // it is an ordinary character.
  void Quote(std::string& out, bool& quoted) {
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
  static std::string CellValue(const std::string& collected) {
    std::string v = Trim(collected);
    if (v.size() > 1 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
  }

  std::string_view s_;
  char sep_;
  size_t i_ = 0;
};

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
  while (!reader.AtEnd()) table.push_back(reader.Row());
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
