// Grid cells from and to CSV text.
#include "library/objects/grid_text.h"

#include <algorithm>

#include "text/csv.h"

namespace sorane {

GridRows GridRowsFromCsv(std::string_view text) {
  GridRows rows = CsvParse(text);
  size_t width = CsvWidth(rows);
  rows.emplace_back();
  for (auto& row : rows) row.resize(width);
  return rows;
}

std::string GridCsv(const GridRows& rows) {
  return CsvWrite(rows);
}

static bool EmptyRow(const std::vector<std::string>& row) {
  return std::all_of(row.begin(), row.end(), [](const std::string& c) { return c.empty(); });
}

std::string GridItemsCsv(const GridRows& rows) {
  auto first = std::find_if_not(rows.begin(), rows.end(), EmptyRow);
  auto last = std::find_if_not(rows.rbegin(), rows.rend(), EmptyRow).base();
  if (first >= last) return {};
  return CsvWrite(GridRows(first, last));
}

std::vector<int> GridColumnWidths(const GridRows& rows,
                                  const std::function<int(const std::string&)>& text_width,
                                  int default_width) {
  size_t columns = 0;
  for (const auto& row : rows) columns = std::max(columns, row.size());
  std::vector<int> widths(columns, -1);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c)
      if (!row[c].empty()) widths[c] = std::max(widths[c], text_width(row[c]) + 5);
  for (int& w : widths)
    if (w < 0) w = default_width;
  return widths;
}

}  // namespace sorane
