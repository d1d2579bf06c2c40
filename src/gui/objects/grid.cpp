// グリッド: a string grid whose row 0 is a fixed header row (shown as the
// table's header, so it stays in view) and whose other rows are data; whole
// rows are selected until 編集 lets cells be edited. The cells are kept as
// the CP932 texts scripts give, in a model: a grid of 100,000 rows is
// converted for display only where it is seen. Pressing a header cell sorts
// the data rows by that column, the direction turning on each press.
#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>
#include <QTableView>
#include <climits>

#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"
#include "library/objects/grid_text.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr int kDefaultColumnWidth = 64;
constexpr int kDefaultRowHeight = 24;

// Widths of cell texts for sizing the columns: the sum of each character's
// advance, every character measured once. Shaping each cell's text instead
// would take most of a second for a grid of 100,000 rows.
class CharWidths {
 public:
  explicit CharWidths(const QFont& font) : metrics_(font), cache_(1 << 16, -1) {}
  int operator()(const std::string& text) {
    int width = 0;
    for (size_t i = 0; i < text.size();) {
      size_t n = CharLen(text, i);
      unsigned key = static_cast<uint8_t>(text[i]);
      if (n == 2) key = key << 8 | static_cast<uint8_t>(text[i + 1]);
      int& advance = cache_[key];
      if (advance < 0) advance = metrics_.horizontalAdvance(Q(text.substr(i, n)));
      width += advance;
      i += n;
    }
    return width;
  }

 private:
  QFontMetrics metrics_;
  std::vector<int> cache_;  // by the character's one or two bytes
};

// The cells: row 0 is the header, the rows after it the table's rows.
class GridModel : public QAbstractTableModel {
 public:
  GridModel() : rows_(5, std::vector<std::string>(5)) {}

  const GridRows& Rows() const { return rows_; }
  int Columns() const { return columns_; }
  const GridSortState& Sort() const { return sort_; }

  void SetRows(GridRows rows) {
    beginResetModel();
    rows_ = std::move(rows);
    columns_ = 0;
    for (const auto& row : rows_) columns_ = std::max(columns_, static_cast<int>(row.size()));
    for (auto& row : rows_) row.resize(columns_);
    endResetModel();
  }

  // A press on the header cell of `column`: the data rows in the new order.
  void SortBy(int column) {
    sort_.Press(column, Cell(0, column));
    std::vector<int> order = GridSortOrder(rows_, column, sort_.ascending);
    GridRows sorted;
    sorted.reserve(rows_.size());
    for (int from : order) sorted.push_back(std::move(rows_[from]));
    beginResetModel();
    rows_ = std::move(sorted);
    endResetModel();
  }

  void SetEditable(bool on) { editable_ = on; }
  bool Editable() const { return editable_; }

  const std::string& Cell(int row, int column) const {
    static const std::string none;
    if (row < 0 || row >= static_cast<int>(rows_.size())) return none;
    const auto& cells = rows_[row];
    return column >= 0 && column < static_cast<int>(cells.size()) ? cells[column] : none;
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : std::max(0, static_cast<int>(rows_.size()) - 1);
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : columns_;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return Q(Cell(index.row() + 1, index.column()));
  }
  // The sorted column's header carries an arrow for its direction.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    QString text = Q(Cell(0, section));
    if (section == sort_.column)
      text += sort_.ascending ? QStringLiteral("  \u25B2") : QStringLiteral("  \u25BC");
    return text;
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return editable_ ? f | Qt::ItemIsEditable : f;
  }
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (role != Qt::EditRole || !index.isValid()) return false;
    auto& cells = rows_[index.row() + 1];
    if (index.column() >= static_cast<int>(cells.size())) cells.resize(index.column() + 1);
    cells[index.column()] = S(value.toString());
    emit dataChanged(index, index);
    return true;
  }

 private:
  GridRows rows_;
  int columns_ = 5;
  bool editable_ = false;
  GridSortState sort_;
};

// The header row: a press on a cell sorts by its column before the press is
// reported as the grid's mouse-down; a press on a column border resizes.
class GridHeader : public QHeaderView {
 public:
  GridHeader(QtObjectBackend* backend, int index, GridModel* model)
      : QHeaderView(Qt::Horizontal), backend_(backend), index_(index), model_(model) {
    setSectionsClickable(true);
    setMouseTracking(true);
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    SortAt(e);
    Report(e);
    QHeaderView::mousePressEvent(e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    SortAt(e);
    Report(e);
    QHeaderView::mouseDoubleClickEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Report(e);
    QHeaderView::mouseReleaseEvent(e);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    Report(e);
    QHeaderView::mouseMoveEvent(e);
  }

 private:
  void SortAt(QMouseEvent* e) {
    int x = e->position().toPoint().x();
    int column = logicalIndexAt(x);
    if (column < 0) return;
    int left = sectionViewportPosition(column), right = left + sectionSize(column);
    bool on_border = (column > 0 && x - left < 4) || right - x <= 4;
    if (!on_border) model_->SortBy(column);
  }
  void Report(QMouseEvent* e) {
    if (backend_) backend_->ReportMouse(index_, viewport(), e);
  }

  QPointer<QtObjectBackend> backend_;
  int index_;
  GridModel* model_;
};

class TGridView : public QTableView {
 public:
  TGridView(QWidget* parent, QtObjectBackend* backend, int index) : QTableView(parent) {
    model_ = new GridModel;
    model_->setParent(this);
    setHorizontalHeader(new GridHeader(backend, index, model_));
    setModel(model_);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
    horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetEditing(false);
  }

  GridModel* Model() const { return model_; }

  // Editing on: cells are selected and edited; off: whole rows are selected.
  void SetEditing(bool on) {
    model_->SetEditable(on);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(on ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed
                       : QAbstractItemView::NoEditTriggers);
    viewport()->update();
  }

  // Grid loading: every cell from the table, one empty row after it; each
  // column as wide as its widest text (with the style's cell margins), rows
  // as high as the font.
  void Load(const std::string& csv) {
    model_->SetRows(GridRowsFromCsv(csv));
    CharWidths char_widths(font());
    const int margins = CellMargins();
    auto text_width = [&](const std::string& text) { return char_widths(text) + margins; };
    std::vector<int> widths = GridColumnWidths(model_->Rows(), text_width, kDefaultColumnWidth);
    for (size_t c = 0; c < widths.size(); ++c) setColumnWidth(static_cast<int>(c), widths[c]);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
  }

  // What the style takes from a column's width besides the text: a data
  // cell's margins on both sides and its grid line, or a header section's
  // margins, whichever is wider. Added to the width that fits the widest text,
  // so that text shows whole instead of cut short with an ellipsis.
  int CellMargins() const {
    int cell = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) +
               (showGrid() ? 1 : 0);
    int header = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
    return std::max(cell, header);
  }

  // The current row and column as scripts count them (row 0 is the header).
  int Row() const { return currentIndex().isValid() ? currentIndex().row() + 1 : 1; }
  int Column() const { return currentIndex().isValid() ? currentIndex().column() : 0; }
  void MoveTo(int row, int column) {
    if (row < 1 || row > model_->rowCount() || column < 0 || column >= model_->columnCount())
      return;
    setCurrentIndex(model_->index(row - 1, column));
  }

 private:
  GridModel* model_;
};

TGridView* Grid(ObjWidget& o) {
  return o.As<TGridView>();
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* parent) {
  auto* grid = new TGridView(parent, o.backend, o.index);
  ApplyCreationFont(grid, created);
  grid->resize(320, 120);
  return grid;
}

bool Load(ObjWidget& o, const PropertyValue& v) {
  Grid(o)->Load(v.text);
  return true;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText, Load,
     [](ObjWidget& o) { return TextValue(GridCsv(Grid(o)->Model()->Rows())); }},
    {PropId::kItems, Load,
     [](ObjWidget& o) { return TextValue(GridItemsCsv(Grid(o)->Model()->Rows())); }},
    // 値 and 行: the current row, never the header row; 列: the current column.
    // Rows and columns outside the grid change nothing.
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       Grid(o)->MoveTo(v.number == 0 ? 1 : static_cast<int>(v.number), Grid(o)->Column());
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Grid(o)->Row()); }},
    {PropId::kRow,
     [](ObjWidget& o, const PropertyValue& v) {
       Grid(o)->MoveTo(static_cast<int>(std::clamp<int64_t>(v.number, -1, INT_MAX)),
                       Grid(o)->Column());
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Grid(o)->Row()); }},
    {PropId::kColumn,
     [](ObjWidget& o, const PropertyValue& v) {
       Grid(o)->MoveTo(Grid(o)->Row(),
                       static_cast<int>(std::clamp<int64_t>(v.number, -1, INT_MAX)));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Grid(o)->Column()); }},
    {PropId::kEditable,
     [](ObjWidget& o, const PropertyValue& v) {
       Grid(o)->SetEditing(v.number >= 1);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Grid(o)->Model()->Editable()); }},
};

}  // namespace

const KindWidget& GridWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return GridCsv(Grid(o)->Model()->Rows()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Grid(o)->Load(text); },
      .empty = [](ObjWidget& o) { Grid(o)->Model()->SetRows({}); },
      .mouse_widgets =
          [](QWidget* w, QList<QWidget*>& out) {
            out.push_back(static_cast<TGridView*>(w)->viewport());
          },
      .item_count = [](ObjWidget& o) { return static_cast<int>(Grid(o)->Model()->Rows().size()); },
  };
  return kind;
}

}  // namespace sorane
