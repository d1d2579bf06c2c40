// Sorting a グリッド by a column when its header is pressed. The widget keeps
// the rows; this is the order they are put in. Qt-free.
#pragma once

#include <string>
#include <vector>

namespace sorane {

// The rows of a grid, each a list of CP932 cell texts: row 0 is the header,
// the last row the empty one grid loading leaves.
using GridRows = std::vector<std::vector<std::string>>;

// The sort state a grid keeps. Each press on the header inverts the
// direction, which is ascending when the grid is made: the first press sorts
// descending, the next ascending, and so on.
struct GridSortState {
  int column = -1;        // the column sorted last; -1 before the first press
  bool ascending = true;  // the direction of the last sort
  std::string header;     // that column's header text (drawn with an arrow)
  // A press on the header cell of `column`: remembers it and inverts the direction.
  void Press(int pressed_column, const std::string& header_text) {
    column = pressed_column;
    header = header_text;
    ascending = !ascending;
  }
};

// The new order of the rows: entry k is the old index of the row that goes to
// row k. The header and the last row stay where they are; the data rows
// (1 .. count − 2) are ordered by their cell in `column` with a–z made upper
// case byte by byte and compared byte by byte, then reversed for descending
// order. Rows with equal keys keep no particular order.
std::vector<int> GridSortOrder(const GridRows& rows, int column, bool ascending);

// Puts the rows in that order.
void SortGridRows(GridRows& rows, int column, bool ascending);

}  // namespace sorane
