// A グリッド as text: loading a CSV table into its cells (テキスト, アイテム, the
// default value) and reading its cells back as CSV. The widget holds the
// cells; these give the rows it takes and the texts it answers. Qt-free.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/objects/grid_sort.h"

namespace sorane {

// The cells a CSV text loads: one row per table row and one empty row more
// (the one a user types a new row into), each as wide as the widest table row.
GridRows GridRowsFromCsv(std::string_view text);

// テキスト (and the default value) of a grid: every cell, every row included, as CSV.
std::string GridCsv(const GridRows& rows);

// アイテム of a grid: the CSV text without the empty rows at its start and end.
std::string GridItemsCsv(const GridRows& rows);

// Column widths after loading: the widest cell text of the column as
// `text_width` measures it (the grid's font) + 5, or `default_width` for a
// column whose cells are all empty.
std::vector<int> GridColumnWidths(const GridRows& rows,
                                  const std::function<int(const std::string&)>& text_width,
                                  int default_width);

}  // namespace sorane
