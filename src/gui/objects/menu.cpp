// メニュー: an item of the host window's menu bar, or of the menu of another
// item. The object's widget is the item's own menu (a QMenu, never shown
// until the item has items under it); the item itself is an action of the
// menu bar or of its parent's menu. Choosing the item is its click, and so is
// opening its menu. The bar appears with the first item: the client area then
// starts below it (the window's contents margin), what was placed on it moves
// down with it, and the window grows by the bar so the client area keeps its
// size.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

constexpr char kMenuBarName[] = "soraneMenuBar";

class TMenuItem : public QMenu {
 public:
  TMenuItem(QWidget* parent, const QString& caption) : QMenu(parent) {
    action_ = new QAction(caption, this);
  }
  QAction* Action() const { return action_; }

 private:
  QAction* action_;  // a child: it goes with the item
};

TMenuItem* Item(ObjWidget& o) {
  return o.As<TMenuItem>();
}

QAction* Action(ObjWidget& o) {
  return Item(o)->Action();
}

// The bar as high as it wants to be, across the window; the client area below it.
void FitMenuBar(QWidget* host, QMenuBar* bar) {
  int height = bar->sizeHint().height();
  int grown = height - host->contentsMargins().top();
  bar->setGeometry(0, 0, host->width(), height);
  if (grown == 0) return;
  for (QWidget* child : host->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child != bar && !child->isWindow()) child->move(child->pos() + QPoint(0, grown));
  host->setContentsMargins(0, height, 0, 0);
  QSize size(host->width(), host->height() + grown);
  if (host->minimumSize() == host->maximumSize())
    host->setFixedSize(size);
  else
    host->resize(size);
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget* host) {
  QMenuBar* bar = HostMenuBar(host);
  if (!bar) {
    bar = new QMenuBar(host);
    bar->setObjectName(kMenuBarName);
    // In the window on every desktop, as scripts and their tests expect it.
    bar->setNativeMenuBar(false);
  }
  auto* item = new TMenuItem(bar, Q(created.caption));
  bar->addAction(item->Action());
  FitMenuBar(host, bar);
  bar->show();
  bar->raise();
  RaiseOn(o, item->Action(), &QAction::triggered, ObjEvent::kClick);
  RaiseOn(o, static_cast<QMenu*>(item), &QMenu::aboutToShow, ObjEvent::kClick);
  return item;
}

bool SetText(ObjWidget& o, const PropertyValue& v) {
  Action(o)->setText(Q(v.text));
  return true;
}

PropertyValue GetText(ObjWidget& o) {
  return TextValue(S(Action(o)->text()));
}

// 値: the check mark.
bool SetChecked(ObjWidget& o, const PropertyValue& v) {
  Action(o)->setCheckable(true);
  Action(o)->setChecked(v.number != 0);
  return true;
}

// An empty name takes the picture away; an unreadable one is refused.
bool SetPicture(ObjWidget& o, const PropertyValue& v) {
  if (v.text.empty()) {
    Action(o)->setIcon(QIcon());
    return true;
  }
  QImage picture = LoadPicture(v.text);
  if (picture.isNull()) return false;
  Action(o)->setIcon(QIcon(QPixmap::fromImage(picture)));
  return true;
}

// ショートカットキー: "Ctrl+S", "Shift+F5", ...; empty takes it away. A text
// naming no key is refused.
bool SetShortcut(ObjWidget& o, const PropertyValue& v) {
  QString text = Q(v.text).trimmed();
  if (text.isEmpty()) {
    Action(o)->setShortcut(QKeySequence());
    return true;
  }
  QKeySequence keys = QKeySequence::fromString(text, QKeySequence::PortableText);
  if (keys.isEmpty() || keys[0].key() == Qt::Key_unknown) return false;
  Action(o)->setShortcut(keys);
  return true;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText, SetText, GetText},
    {PropId::kValue, SetChecked, [](ObjWidget& o) { return FlagValue(Action(o)->isChecked()); }},
    {PropId::kPicture, SetPicture, nullptr},
    {PropId::kVisible,
     [](ObjWidget& o, const PropertyValue& v) {
       Action(o)->setVisible(v.number != 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Action(o)->isVisible()); }},
    {PropId::kEnabled,
     [](ObjWidget& o, const PropertyValue& v) {
       Action(o)->setEnabled(v.number != 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Action(o)->isEnabled()); }},
    {PropId::kShortcut, SetShortcut,
     [](ObjWidget& o) {
       return TextValue(S(Action(o)->shortcut().toString(QKeySequence::PortableText)));
     }},
    // A menu item takes no dropped files.
    {PropId::kFileDrop, [](ObjWidget&, const PropertyValue& v) { return v.number == 0; }, nullptr},
};

}  // namespace

QMenuBar* HostMenuBar(QWidget* host) {
  return host->findChild<QMenuBar*>(kMenuBarName, Qt::FindDirectChildrenOnly);
}

QAction* MenuItemAction(QWidget* item) {
  auto* menu = dynamic_cast<TMenuItem*>(item);
  return menu ? menu->Action() : nullptr;
}

void SetMenuItemVisible(QWidget* item, bool visible) {
  if (QAction* action = MenuItemAction(item)) action->setVisible(visible);
}

bool MoveMenuItem(QWidget* item, QWidget* parent) {
  auto* child = dynamic_cast<TMenuItem*>(item);
  auto* menu = dynamic_cast<TMenuItem*>(parent);
  if (!child || !menu) return false;
  // Never under itself or under an item of its own menu.
  for (QWidget* w = menu; w; w = w->parentWidget())
    if (w == child) return false;
  QAction* action = child->Action();
  for (QObject* holder : action->associatedObjects())
    if (auto* widget = qobject_cast<QWidget*>(holder)) widget->removeAction(action);
  child->setParent(menu, child->windowFlags());
  menu->addAction(action);
  if (!menu->Action()->menu()) menu->Action()->setMenu(static_cast<QMenu*>(menu));
  return true;
}

void FitHostMenuBar(QWidget* host) {
  if (QMenuBar* bar = HostMenuBar(host)) FitMenuBar(host, bar);
}

const KindWidget& MenuWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Action(o)->text()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Action(o)->setText(Q(text)); },
      // Destroyed: the item leaves the menus at once.
      .empty = [](ObjWidget& o) { Action(o)->setVisible(false); },
      // The item's menu raises no mouse events of its own.
      .mouse_widgets = [](QWidget*, QList<QWidget*>&) {},
  };
  return kind;
}

}  // namespace sorane
