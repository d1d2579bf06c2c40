// リスト: a list box of one-line items, one selected at most.
#include <QListWidget>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

QListWidget* List(ObjWidget& o) {
  return o.As<QListWidget>();
}

QWidget* Create(ObjWidget&, const NewObject& created, QWidget* parent) {
  auto* list = new QListWidget(parent);
  // Items of one height: a list of 100,000 lines is laid out without
  // measuring each one.
  list->setUniformItemSizes(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  ApplyCreationFont(list, created);
  list->resize(120, 100);
  return list;
}

// The selected item, or nullptr.
QListWidgetItem* Selected(ObjWidget& o) {
  QListWidget* list = List(o);
  QListWidgetItem* item = list->currentItem();
  return item && item->isSelected() ? item : nullptr;
}

int SelectedRow(ObjWidget& o) {
  QListWidgetItem* item = Selected(o);
  return item ? List(o)->row(item) : -1;
}

void SetItems(QListWidget* list, const QStringList& items) {
  list->setUpdatesEnabled(false);
  list->clear();
  list->addItems(items);
  list->setUpdatesEnabled(true);
}

QStringList Items(QListWidget* list) {
  QStringList items;
  items.reserve(list->count());
  for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text());
  return items;
}

// A row outside the list changes nothing.
void Select(ObjWidget& o, int64_t row) {
  if (row >= 0 && row < List(o)->count()) List(o)->setCurrentRow(static_cast<int>(row));
}

// テキスト and 選択文字列 replace the selected item's text; with none selected
// there is nothing to replace.
bool SetSelectedText(ObjWidget& o, const PropertyValue& v) {
  if (QListWidgetItem* item = Selected(o)) item->setText(Q(v.text));
  return true;
}

PropertyValue SelectedText(ObjWidget& o) {
  QListWidgetItem* item = Selected(o);
  return TextValue(item ? S(item->text()) : std::string());
}

constexpr PropertyAccess kRows[] = {
    {PropId::kItems,
     [](ObjWidget& o, const PropertyValue& v) {
       SetItems(List(o), QLines(v.text));
       return true;
     },
     [](ObjWidget& o) { return TextValue(LinesText(Items(List(o)))); }},
    {PropId::kText, SetSelectedText, SelectedText},
    {PropId::kSelText, SetSelectedText, SelectedText},
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       Select(o, v.number);
       return true;
     },
     [](ObjWidget& o) { return NumberValue(SelectedRow(o)); }},
};

}  // namespace

const KindWidget& ListWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return std::to_string(SelectedRow(o)); },
      // -1 takes the selection away.
      .set_default =
          [](ObjWidget& o, const std::string& text) {
            int row = IntOf(text);
            if (row == -1) {
              List(o)->clearSelection();
              List(o)->setCurrentRow(-1);
            } else {
              Select(o, row);
            }
          },
      .empty = [](ObjWidget& o) { List(o)->clear(); },
      .drop = [](ObjWidget& o, const std::string& names) { List(o)->addItems(QLines(names)); },
      .mouse_widgets =
          [](QWidget* w, QList<QWidget*>& out) {
            out.push_back(static_cast<QListWidget*>(w)->viewport());
          },
      .item_count = [](ObjWidget& o) { return List(o)->count(); },
  };
  return kind;
}

}  // namespace sorane
