// The header sort of a グリッド.
#include "library/objects/grid_sort.h"

#include <numeric>
#include <utility>

namespace sorane {

namespace {

// The keys of rows lo..hi with the row each came from, sorted in place.
struct SortRun {
  std::vector<std::string> key;
  std::vector<int> row;

  void Exchange(int a, int b) {
    std::swap(key[a], key[b]);
    std::swap(row[a], row[b]);
  }

  // Short ranges by exchanging neighbours until a pass changes nothing; longer
  // ones split around the key in the middle. The smaller part is sorted by
  // recursion and the larger one by the loop, so the depth stays logarithmic
  // however the keys fall; the parts are disjoint, so the order in which they
  // are sorted does not change the result.
  void SortRange(int lo, int hi) {
    while (hi - lo > 4) {
      const std::string pivot = key[(lo + hi) / 2];
      int i = lo, j = hi;
      while (i <= j) {
        while (key[i] < pivot) ++i;
        while (key[j] > pivot) --j;
        if (i <= j) {
          Exchange(i, j);
          ++i;
          --j;
        }
      }
      if (j - lo < hi - i) {
        SortRange(lo, j);
        lo = i;
      } else {
        SortRange(i, hi);
        hi = j;
      }
    }
    for (bool exchanged = true; exchanged;) {
      exchanged = false;
      for (int k = lo; k < hi; ++k)
        if (key[k] > key[k + 1]) {
          Exchange(k, k + 1);
          exchanged = true;
        }
    }
  }
};

std::string SortKey(const std::vector<std::string>& cells, int column) {
  if (column < 0 || static_cast<size_t>(column) >= cells.size()) return {};
  std::string key = cells[column];
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

}  // namespace

std::vector<int> GridSortOrder(const GridRows& rows, int column, bool ascending) {
  const int count = static_cast<int>(rows.size());
  std::vector<int> order(count);
  std::iota(order.begin(), order.end(), 0);
  const int lo = 1, hi = count - 2;
  if (hi <= lo) return order;
  SortRun run;
  run.key.resize(count);
  run.row = order;
  for (int r = lo; r <= hi; ++r) run.key[r] = SortKey(rows[r], column);
  run.SortRange(lo, hi);
  for (int k = lo; k <= hi; ++k) order[k] = run.row[ascending ? k : hi - (k - lo)];
  return order;
}

void SortGridRows(GridRows& rows, int column, bool ascending) {
  std::vector<int> order = GridSortOrder(rows, column, ascending);
  GridRows sorted;
  sorted.reserve(rows.size());
  for (int from : order) sorted.push_back(std::move(rows[from]));
  rows = std::move(sorted);
}

}  // namespace sorane
