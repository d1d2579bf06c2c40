// Table operations of the 表… commands: splitting, picking up and searching
// rows, statistics, sorting, column operations, joining, transposing and HTML
// output. The condition language of 表条件抽出 is in tables_where.cpp.
#include "library/tables/tables_db.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "library/dates/dates.h"
#include "library/patterns/patterns_wild.h"
#include "runtime/errors.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

const std::string kEmptyCell;

// The byte length of the text up to its first NUL: text walks of the language
// stop there.
size_t RunLength(std::string_view s) {
  size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s.size() : nul;
}

// Whether `needle` occurs in `text` starting at a character boundary.
bool Contains(std::string_view text, std::string_view needle) {
  return needle.empty() || PosFrom(needle, text, 1) != 0;
}

// A key compiled once and matched against many cells.
class KeyMatcher {
 public:
  KeyMatcher(std::string_view key, bool wildcard) : key_(key), wildcard_(wildcard) {
    if (!wildcard_) return;
    try {
      pattern_.emplace_back(key);
    } catch (const WildcardError& e) {
      throw TableError(e.what());
    }
  }
  bool operator()(std::string_view cell) const {
    return wildcard_ ? pattern_.front().Match(cell) : Contains(cell, key_);
  }

 private:
  std::string key_;
  bool wildcard_;
  std::vector<WildPattern> pattern_;  // one element when wildcard_
};

void PadTo(CsvRow& row, size_t cells) {
  if (row.size() < cells) row.resize(cells);
}

[[noreturn]] void ListIndexError(long long index) {
  throw TableError(
      Format(SJ("リストのインデックスが範囲を超えています (%d)"), std::to_string(index)));
}

// ---- Sorting: rows are ordered through an index list, so the rows themselves
// move once at the end and are never copied.

template <typename Less>
void SelectionSort(std::vector<size_t>& idx, size_t lo, size_t hi, const Less& less) {
  for (size_t i = lo; i + 1 < hi; ++i) {
    size_t m = i;
    for (size_t j = i + 1; j < hi; ++j)
      if (less(idx[j], idx[m])) m = j;
    std::swap(idx[i], idx[m]);
  }
}

// Top-down merge sort; on equal keys the left element goes first.
template <typename Less>
void MergeSort(std::vector<size_t>& idx, std::vector<size_t>& aux, size_t lo, size_t hi,
               const Less& less) {
  if (hi - lo < 20) {
    SelectionSort(idx, lo, hi, less);
    return;
  }
  size_t mid = lo + (hi - lo) / 2;
  MergeSort(idx, aux, lo, mid, less);
  MergeSort(idx, aux, mid, hi, less);
  size_t i = lo, j = mid, k = lo;
  while (i < mid && j < hi) aux[k++] = less(idx[j], idx[i]) ? idx[j++] : idx[i++];
  while (i < mid) aux[k++] = idx[i++];
  while (j < hi) aux[k++] = idx[j++];
  std::copy(aux.begin() + lo, aux.begin() + hi, idx.begin() + lo);
}

template <typename Less>
void SortRows(CsvTable& table, size_t first, const Less& less_by_row) {
  std::vector<size_t> idx(table.size());
  for (size_t i = 0; i < idx.size(); ++i) idx[i] = i;
  std::vector<size_t> aux(idx.size());
  MergeSort(idx, aux, first, idx.size(), less_by_row);
  CsvTable sorted;
  sorted.reserve(table.size());
  for (size_t i : idx) sorted.push_back(std::move(table[i]));
  table = std::move(sorted);
}

Number DateKey(const std::string& cell) {
  std::optional<Number> v = ParseDateValue(cell);
  if (!v) throw TableError(Format(SJ("\"%s\"は正しい日付ではありません。"), cell));
  return *v;
}

}  // namespace

const std::string& CellOf(const CsvRow& row, size_t column) {
  return column < row.size() ? row[column] : kEmptyCell;
}

// ---------------------------------------------------------------- splitting

std::vector<std::string_view> SplitPieces(std::string_view text, std::string_view sep) {
  std::vector<std::string_view> pieces;
  const size_t end = RunLength(text);
  if (end == 0) return pieces;
  if (sep.empty()) {
    pieces.push_back(text.substr(0, end));
    return pieces;
  }
  const char first = sep[0];
  size_t start = 0;
  size_t i = 0;
  while (i < end) {
    if (text[i] == first && i + sep.size() <= text.size() &&
        std::memcmp(text.data() + i, sep.data(), sep.size()) == 0) {
      pieces.push_back(text.substr(start, i - start));
      i += sep.size();
      start = i;
      continue;
    }
    i += CharLen(text, i);
  }
  if (start < end) pieces.push_back(text.substr(start, end - start));
  return pieces;
}

std::string SplitToTable(std::string_view text, std::string_view sep) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::string_view piece : SplitPieces(text, sep)) {
    out += CsvQuoteCell(piece);
    out += "\r\n";
  }
  return out;
}

std::vector<std::string_view> PlainLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// ---------------------------------------------------------------- matching

bool HasWildcard(std::string_view key) {
  return key.find_first_of("*?[") != std::string_view::npos;
}

bool KeyMatches(std::string_view cell, std::string_view key, bool wildcard) {
  return KeyMatcher(key, wildcard)(cell);
}

std::string PickUp(std::string_view text, long long column, std::string_view key, bool header) {
  KeyMatcher matches(key, HasWildcard(key));
  std::string out;
  if (column < 0) {
    std::vector<std::string_view> lines = PlainLines(text);
    for (size_t i = header ? 1 : 0; i < lines.size(); ++i) {
      if (!matches(lines[i])) continue;
      out += lines[i];
      out += "\r\n";
    }
    return out;
  }
  CsvTable table = CsvParse(text);
  CsvTable picked;
  size_t first = header ? 1 : 0;
  if (header && !table.empty()) picked.push_back(std::move(table[0]));
  for (size_t r = first; r < table.size(); ++r)
    if (matches(CellOf(table[r], static_cast<size_t>(column))))
      picked.push_back(std::move(table[r]));
  return CsvWrite(picked);
}

// ---------------------------------------------------------------- search state

void TableSearch::Start(std::string_view text, long long col, std::string k, bool fz, bool header) {
  table = CsvParse(text);
  key = std::move(k);
  column = col;
  fuzzy = fz;
  next = header ? 1 : 0;
}

long long TableSearch::Next() {
  if (table.empty()) return -1;
  const bool wildcard = fuzzy && key.find_first_of("*?") != std::string::npos;
  KeyMatcher matches(key, wildcard);
  for (size_t r = next; r < table.size(); ++r) {
    const CsvRow& row = table[r];
    bool hit;
    if (!fuzzy) {
      hit = column >= 0 ? CellOf(row, static_cast<size_t>(column)) == key : key.empty();
    } else {
      hit = column >= 0 ? matches(CellOf(row, static_cast<size_t>(column)))
                        : matches(CsvWriteRow(row));
    }
    if (hit) {
      next = r + 1;
      return static_cast<long long>(r);
    }
  }
  next = table.size();
  return -1;
}

void TableSearch::Clear() {
  table.clear();
  key.clear();
  column = -1;
  next = 0;
  fuzzy = false;
}

// ---------------------------------------------------------------- statistics

namespace {

// A column's statistic taken row by row: the first row counted sets the
// best value so far; an empty cell never lowers the minimum.
struct ColumnStatistic {
  size_t column;
  TableStat stat;
  size_t rows = 0;
  Number sum = 0, best = 0;

  void Add(const CsvRow& row) {
    const std::string& cell = CellOf(row, column);
    Number v = ParseNumber(cell);
    if (rows++ == 0) best = v;
    sum += v;
    if (stat == TableStat::kMax && v > best) best = v;
    if (stat == TableStat::kMin && !cell.empty() && v < best) best = v;
  }
  Number Result() const {
    if (rows == 0) return 0;
    switch (stat) {
      case TableStat::kSum:
        return sum;
      case TableStat::kAverage:
        return sum / static_cast<Number>(rows);
      default:
        return best;
    }
  }
};

}  // namespace

Number ColumnStat(const CsvTable& table, size_t column, bool header, TableStat stat) {
  ColumnStatistic s{column, stat};
  for (size_t r = header ? 1 : 0; r < table.size(); ++r) s.Add(table[r]);
  return s.Result();
}

Number ColumnStat(std::string_view text, size_t column, bool header, TableStat stat) {
  ColumnStatistic s{column, stat};
  CsvReader reader(text);
  CsvRow row;
  if (header && !reader.AtEnd()) reader.Row(row);
  while (!reader.AtEnd()) {
    reader.Row(row);
    s.Add(row);
  }
  return s.Result();
}

// ---------------------------------------------------------------- sorting

void TrimTable(CsvTable& table) {
  for (CsvRow& row : table)
    while (!row.empty() && row.back().empty()) row.pop_back();
  size_t b = 0, e = table.size();
  while (b < e && table[b].empty()) ++b;
  while (e > b && table[e - 1].empty()) --e;
  if (b > 0 || e < table.size()) {
    table.erase(table.begin() + e, table.end());
    table.erase(table.begin(), table.begin() + b);
  }
}

void SortTable(CsvTable& table, size_t column, bool header, SortKind kind) {
  TrimTable(table);
  const size_t first = header ? 1 : 0;
  if (table.size() < first + 2) return;
  if (kind == SortKind::kText) {
    SortRows(table, first, [&](size_t a, size_t b) {
      return CellOf(table[a], column) < CellOf(table[b], column);
    });
    return;
  }
  std::vector<Number> keys(table.size());
  for (size_t r = first; r < table.size(); ++r) {
    const std::string& cell = CellOf(table[r], column);
    keys[r] = kind == SortKind::kNumber ? ParseNumber(cell) : DateKey(cell);
  }
  SortRows(table, first, [&](size_t a, size_t b) { return keys[a] < keys[b]; });
}

// ---------------------------------------------------------------- columns

void InsertColumn(CsvTable& table, size_t column) {
  for (CsvRow& row : table) {
    if (row.empty()) continue;
    PadTo(row, column);
    row.insert(row.begin() + static_cast<long>(column), std::string());
  }
}

void DeleteColumn(CsvTable& table, size_t column) {
  for (CsvRow& row : table)
    if (column < row.size()) row.erase(row.begin() + static_cast<long>(column));
}

std::string CopyColumn(const CsvTable& table, size_t column) {
  std::string out;
  for (const CsvRow& row : table) {
    out += CellOf(row, column);
    out += "\r\n";
  }
  return out;
}

void PasteColumn(CsvTable& table, size_t column, std::string_view lines) {
  std::vector<std::string_view> items = PlainLines(lines);
  for (size_t i = 0; i < table.size(); ++i) {
    CsvRow& row = table[i];
    if (row.empty()) continue;
    PadTo(row, column);
    std::string cell = i < items.size() ? std::string(items[i]) : std::string();
    row.insert(row.begin() + static_cast<long>(column), std::move(cell));
  }
}

void ReplaceInColumn(CsvTable& table, size_t column, std::string_view needle,
                     std::string_view replacement) {
  if (needle.empty()) return;
  for (CsvRow& row : table)
    if (column < row.size()) row[column] = ReplaceText(row[column], needle, replacement, true);
}

void MoveColumn(CsvTable& table, long long from, long long to) {
  if (from == to) return;
  for (CsvRow& row : table) {
    if (row.empty()) continue;
    const long long size = static_cast<long long>(row.size());
    if (from < 0 || from >= size) ListIndexError(from);
    if (to < 0 || to >= size) ListIndexError(to);
  }
  for (CsvRow& row : table) {
    if (row.empty()) continue;
    std::string cell = std::move(row[from]);
    row.erase(row.begin() + static_cast<long>(from));
    row.insert(row.begin() + static_cast<long>(to), std::move(cell));
  }
}

void RemoveDuplicates(CsvTable& table, size_t column) {
  std::unordered_set<std::string_view> later;
  std::vector<char> keep(table.size(), 1);
  for (size_t r = table.size(); r-- > 0;) {
    std::string_view key = CellOf(table[r], column);
    if (!later.insert(key).second) keep[r] = 0;
  }
  CsvTable kept;
  kept.reserve(table.size());
  for (size_t r = 0; r < table.size(); ++r)
    if (keep[r]) kept.push_back(std::move(table[r]));
  table = std::move(kept);
}

CsvTable Transpose(const CsvTable& table) {
  const size_t width = CsvWidth(table);
  CsvTable out(width, CsvRow(table.size()));
  for (size_t j = 0; j < table.size(); ++j)
    for (size_t i = 0; i < table[j].size(); ++i) out[i][j] = table[j][i];
  TrimTable(out);
  return out;
}

// ---------------------------------------------------------------- joining

void KeyJoin(CsvTable& a, size_t key_a, const CsvTable& b, size_t key_b, bool header) {
  const size_t width = CsvWidth(a);
  const size_t first = header ? 1 : 0;
  auto append = [&](CsvRow& row, const CsvRow& from) {
    PadTo(row, width);
    for (size_t k = 0; k < from.size(); ++k)
      if (k != key_b) row.push_back(from[k]);
  };
  if (header && !a.empty() && !b.empty()) append(a[0], b[0]);
  // The first data row of B for each key.
  std::unordered_map<std::string_view, size_t> first_of;
  for (size_t r = b.size(); r-- > first;) first_of[CellOf(b[r], key_b)] = r;
  for (size_t r = first; r < a.size(); ++r) {
    auto found = first_of.find(CellOf(a[r], key_a));
    if (found != first_of.end()) append(a[r], b[found->second]);
  }
}

// ---------------------------------------------------------------- HTML

std::string HtmlTable(const CsvTable& table, std::string_view attributes) {
  const size_t width = CsvWidth(table);
  std::string out = "<TABLE ";
  out += attributes;
  out += ">\r\n";
  for (const CsvRow& row : table) {
    out += "<TR>";
    for (size_t k = 0; k < width; ++k) {
      out += "<TD>";
      out += CellOf(row, k);
      out += "</TD>";
    }
    out += "</TR>\r\n";
  }
  out += "</TABLE>";
  return out;
}

}  // namespace sorane
