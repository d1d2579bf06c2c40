#include "gui/objects/qt_object_backend.h"

#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "gui/draw_surface.h"
#include "gui/frm_sorane.h"
#include "gui/qt_text.h"
#include "gui/virtual_keys.h"
#include "library/objects/object_events.h"
#include "platform/files.h"

namespace sorane {

namespace {

// The object index a widget carries: kObjectKey on an object's own widget (its
// tag), kMouseKey on the widgets whose mouse events are the object's.
constexpr char kObjectKey[] = "soraneObject";
constexpr char kMouseKey[] = "soraneMouse";
constexpr char kImeKey[] = "soraneIme";

int IndexOn(const QObject* object, const char* key) {
  QVariant v = object->property(key);
  return v.isValid() ? v.toInt() : -1;
}

// The kinds in the order of ObjKind.
using KindGetter = const KindWidget& (*)();
constexpr KindGetter kKindWidgets[kObjKindCount] = {
    ButtonWidget, EditWidget, ImageWidget,   BarWidget,   ComboWidget,   ListWidget,
    MemoWidget,   FormWidget, GridWidget,    LabelWidget, CheckWidget,   TrackWidget,
    AnimeWidget,  MenuWidget, BrowserWidget, PanelWidget, TEditorWidget, RadioWidget,
};

// Where the client area of `parent` starts in it: a window's client area
// begins below its menu bar; other widgets place children from their corner.
QPoint ClientOrigin(const QWidget* parent) {
  return parent && parent->isWindow() ? parent->contentsRect().topLeft() : QPoint();
}

// Whether a widget of the kind raises the event (the kind table says which).
bool KindRaises(ObjKind kind, ObjEvent what) {
  if (what == ObjEvent::kFileDrop) return true;
  return KindRowOf(kind).events.Has(SlotOfEvent(what));
}

// ---- The properties every kind shares ----
// (Place and size are not among them: the core reads and sets them through
// Bounds and SetBounds.)

bool SetShown(ObjWidget& o, const PropertyValue& v) {
  o.backend->SetVisible(o.index, v.number != 0);
  return true;
}

PropertyValue GetShown(ObjWidget& o) {
  return FlagValue(!o.widget->isHidden());
}

bool SetEnabled(ObjWidget& o, const PropertyValue& v) {
  o.widget->setEnabled(v.number != 0);
  return true;
}

PropertyValue GetEnabled(ObjWidget& o) {
  return FlagValue(!o.widget->testAttribute(Qt::WA_Disabled));
}

// The native window id where the widget has one of its own; asking never
// creates one (that would change how the widget is drawn).
PropertyValue GetHandle(ObjWidget& o) {
  return NumberValue(static_cast<int64_t>(o.widget->internalWinId()));
}

// "0" stops taking dropped files; anything else takes them on the widgets
// that have the object's mouse events.
bool SetFileDrop(ObjWidget& o, const PropertyValue& v) {
  o.accepts_drops = v.number != 0;
  if (!o.accepts_drops) return true;
  o.widget->setAcceptDrops(true);
  for (QWidget* child : o.widget->findChildren<QWidget*>())
    if (IndexOn(child, kMouseKey) == o.index) child->setAcceptDrops(true);
  return true;
}

bool SetFontFace(ObjWidget& o, const PropertyValue& v) {
  QFont font = o.widget->font();
  if (!v.font.face.empty()) font.setFamily(Q(v.font.face));
  font.setBold(v.font.bold);
  font.setItalic(v.font.italic);
  font.setUnderline(v.font.underline);
  if (v.font.size > 0) font.setPointSize(v.font.size);
  o.widget->setFont(font);
  return true;
}

PropertyValue GetFontFace(ObjWidget& o) {
  PropertyValue v = TextValue(S(o.widget->font().family()));
  v.font.face = v.text;
  return v;
}

bool SetFontSize(ObjWidget& o, const PropertyValue& v) {
  QFont font = o.widget->font();
  font.setPointSize(std::clamp<int64_t>(v.number, 1, 1000));
  o.widget->setFont(font);
  return true;
}

PropertyValue GetFontSize(ObjWidget& o) {
  return NumberValue(o.widget->font().pointSize());
}

bool SetFontColor(ObjWidget& o, const PropertyValue& v) {
  SetTextColor(o.widget, static_cast<uint32_t>(v.number));
  return true;
}

PropertyValue GetFontColor(ObjWidget& o) {
  return NumberValue(TextColor(o.widget));
}

bool SetBack(ObjWidget& o, const PropertyValue& v) {
  SetBackColor(o.widget, static_cast<uint32_t>(v.number));
  return true;
}

// A widget that starts with another colour keeps it at creation.
PropertyValue GetBack(ObjWidget& o) {
  return NumberValue(BackColor(o.widget, kWindowColor));
}

// IME: Qt has no modes of its own, so "off" lets an input method offer Latin
// text only and the other modes let it convert freely; the number set is kept.
bool SetIme(ObjWidget& o, const PropertyValue& v) {
  int mode = v.number >= 1 && v.number <= 4 ? static_cast<int>(v.number) : 0;
  QList<QWidget*> targets{o.widget};
  for (QLineEdit* edit : o.widget->findChildren<QLineEdit*>()) targets.push_back(edit);
  for (QWidget* w : targets) {
    Qt::InputMethodHints hints = w->inputMethodHints() & ~(Qt::ImhLatinOnly | Qt::ImhPreferLatin);
    if (mode == 0) hints |= Qt::ImhLatinOnly | Qt::ImhPreferLatin;
    w->setInputMethodHints(hints);
  }
  o.widget->setProperty(kImeKey, mode);
  return true;
}

PropertyValue GetIme(ObjWidget& o) {
  return NumberValue(o.widget->property(kImeKey).toInt());
}

constexpr PropertyAccess kCommonRows[] = {
    {PropId::kVisible, SetShown, GetShown},
    {PropId::kEnabled, SetEnabled, GetEnabled},
    {PropId::kHandle, nullptr, GetHandle},
    {PropId::kFileDrop, SetFileDrop, nullptr},
    {PropId::kFontFace, SetFontFace, GetFontFace},
    {PropId::kFontSize, SetFontSize, GetFontSize},
    {PropId::kFontColor, SetFontColor, GetFontColor},
    {PropId::kBackColor, SetBack, GetBack},
    {PropId::kIme, SetIme, GetIme},
};

// The kind's row of `id`, else the shared one; nullptr for none.
const PropertyAccess* FindRow(std::span<const PropertyAccess> rows, PropId id, bool set) {
  for (std::span<const PropertyAccess> table : {rows, std::span<const PropertyAccess>(kCommonRows)})
    for (const PropertyAccess& row : table)
      if (row.id == id && (set ? row.set != nullptr : row.get != nullptr)) return &row;
  return nullptr;
}

}  // namespace

QtObjectBackend::QtObjectBackend(TfrmSorane& host) : host_(host) {
  auto window = std::make_unique<ObjWidget>();
  window->index = 0;
  window->kind = ObjKind::kForm;
  window->widget = &host_;
  window->backend = this;
  host_.setProperty(kObjectKey, 0);
  objects_.push_back(std::move(window));
  qApp->installEventFilter(this);
}

QtObjectBackend::~QtObjectBackend() {
  // Forms are windows of their own: nothing else frees them. Widgets placed on
  // the host window go with it, and so do the menus of its menu bar.
  auto free_window = [this](ObjWidget* o) {
    if (o && o->widget && o->widget->isWindow() && !o->widget->parentWidget() &&
        o->widget != &host_)
      delete o->widget.data();
  };
  for (auto& o : objects_) free_window(o.get());
  for (auto& o : pending_) free_window(o.get());
}

ObjWidget* QtObjectBackend::Live(int index) const {
  if (index < 0 || index >= static_cast<int>(objects_.size())) return nullptr;
  ObjWidget* o = objects_[index].get();
  return o && o->widget ? o : nullptr;
}

// An イメージ is a drawing surface; a フォーム holds one named img.
HostCanvas* QtObjectBackend::CanvasOf(int index) {
  QWidget* w = WidgetOf(index);
  auto* surface = qobject_cast<TDrawSurface*>(w);
  if (!surface && w) surface = w->findChild<TDrawSurface*>("img", Qt::FindDirectChildrenOnly);
  return surface ? surface->Canvas() : nullptr;
}

QWidget* QtObjectBackend::WidgetOf(int index) const {
  ObjWidget* o = Live(index);
  return o ? o->widget.data() : nullptr;
}

const KindWidget& QtObjectBackend::KindOf(const ObjWidget& o) const {
  return kKindWidgets[static_cast<int>(o.kind)]();
}

void QtObjectBackend::TakeMouse(int index, QWidget* widget) {
  widget->setProperty(kMouseKey, index);
  widget->setMouseTracking(true);
}

EventReply QtObjectBackend::Report(const ObjectEvent& event) {
  ObjWidget* o = Live(event.index);
  if (!o || !sink_ || !KindRaises(o->kind, event.what)) return {};
  return sink_->ObjectEventOccurred(event);
}

// ---- Creating and destroying ----

bool QtObjectBackend::CreateObject(const NewObject& created) {
  KindGetter kind_widget = kKindWidgets[static_cast<int>(created.kind)];
  if (!kind_widget || created.index <= 0) return false;
  auto o = std::make_unique<ObjWidget>();
  o->index = created.index;
  o->kind = created.kind;
  o->backend = this;
  const KindWidget& kind = kind_widget();
  bool form = created.kind == ObjKind::kForm;
  QWidget* widget = kind.create(*o, created, form ? nullptr : &host_);
  if (!widget) return false;
  o->widget = widget;
  widget->setProperty(kObjectKey, created.index);
  // Mouse events of an object are its own: none reach the panel or window below.
  widget->setAttribute(Qt::WA_NoMousePropagation);
  QList<QWidget*> mouse;
  if (kind.mouse_widgets)
    kind.mouse_widgets(widget, mouse);
  else
    mouse.push_back(widget);
  for (QWidget* w : mouse) TakeMouse(created.index, w);
  // A menu item's widget is its menu, which opens only when chosen.
  if (!form && created.kind != ObjKind::kMenu) widget->show();
  if (static_cast<int>(objects_.size()) <= created.index) objects_.resize(created.index + 1);
  objects_[created.index] = std::move(o);
  return true;
}

void QtObjectBackend::DestroyObject(int index) {
  if (index <= 0 || index >= static_cast<int>(objects_.size()) || !objects_[index]) return;
  std::unique_ptr<ObjWidget> o = std::move(objects_[index]);
  if (o->widget) {
    const KindWidget& kind = KindOf(*o);
    if (kind.empty) kind.empty(*o);
    o->widget->hide();
  }
  pending_.push_back(std::move(o));
}

void QtObjectBackend::FreeDestroyed() {
  for (auto& o : pending_)
    if (o->widget) o->widget->deleteLater();
  pending_.clear();
}

void QtObjectBackend::FreeDestroyedSoon() {
  QTimer::singleShot(1, this, [this] { FreeDestroyed(); });
}

int QtObjectBackend::ItemCount(int index) {
  ObjWidget* o = Live(index);
  const KindWidget* kind = o ? &KindOf(*o) : nullptr;
  return kind && kind->item_count ? kind->item_count(*o) : -1;
}

// ---- Properties ----

bool QtObjectBackend::SetProperty(int index, PropId id, const PropertyValue& value) {
  ObjWidget* o = Live(index);
  if (!o) return false;
  std::span<const PropertyAccess> rows = KindOf(*o).properties;
  const PropertyAccess* row = FindRow(rows, id, true);
  // タイトル is set through テキスト.
  if (!row) row = FindRow(rows, PropertyRowOf(id).set_via, true);
  return row && row->set(*o, value);
}

PropertyValue QtObjectBackend::GetProperty(int index, PropId id) {
  ObjWidget* o = Live(index);
  if (!o) return {};
  const PropertyAccess* row = FindRow(KindOf(*o).properties, id, false);
  return row ? row->get(*o) : PropertyValue{};
}

std::string QtObjectBackend::GetDefaultValue(int index) {
  ObjWidget* o = Live(index);
  if (!o || !KindOf(*o).get_default) return {};
  return KindOf(*o).get_default(*o);
}

void QtObjectBackend::SetDefaultValue(int index, const std::string& text) {
  ObjWidget* o = Live(index);
  if (o && KindOf(*o).set_default) KindOf(*o).set_default(*o, text);
}

// ---- Place, size, visibility, focus, parent ----

ObjBounds QtObjectBackend::Bounds(int index) {
  QWidget* w = WidgetOf(index);
  if (!w) return {};
  // A window: its frame's place on the screen and its client size.
  if (w->isWindow()) return {w->x(), w->y(), w->contentsRect().width(), w->contentsRect().height()};
  QRect g = w->geometry().translated(-ClientOrigin(w->parentWidget()));
  return {g.x(), g.y(), g.width(), g.height()};
}

void QtObjectBackend::SetBounds(int index, const ObjBounds& b) {
  QWidget* w = WidgetOf(index);
  if (!w) return;
  int width = std::max(0, b.width), height = std::max(0, b.height);
  if (w->isWindow()) {
    QMargins m = w->contentsMargins();
    w->move(b.left, b.top);
    w->resize(width + m.left() + m.right(), height + m.top() + m.bottom());
  } else {
    QPoint origin = ClientOrigin(w->parentWidget());
    w->setGeometry(b.left + origin.x(), b.top + origin.y(), width, height);
  }
}

int QtObjectBackend::ParentClientWidth(int index) {
  QWidget* w = WidgetOf(index);
  if (!w) return 0;
  if (w->isWindow()) {
    QScreen* screen = w->screen();
    return screen ? screen->size().width() : 0;
  }
  return w->parentWidget() ? w->parentWidget()->width() : 0;
}

int QtObjectBackend::HostFontTextWidth(const std::string& text) {
  return QFontMetrics(host_.font()).horizontalAdvance(Q(text));
}

void QtObjectBackend::SetVisible(int index, bool visible) {
  ObjWidget* o = Live(index);
  if (!o) return;
  if (o->kind == ObjKind::kMenu)
    SetMenuItemVisible(o->widget, visible);
  else
    o->widget->setVisible(visible);
}

bool QtObjectBackend::Focus(int index) {
  QWidget* w = WidgetOf(index);
  if (!w || !w->isVisible() || !w->isEnabled()) return false;
  if (w->isWindow()) {
    w->raise();
    w->activateWindow();
  }
  w->setFocus(Qt::OtherFocusReason);
  return true;
}

bool QtObjectBackend::SetParent(int index, int parent_index) {
  ObjWidget* o = Live(index);
  ObjWidget* p = Live(parent_index);
  if (!o || !p || index == 0) return false;
  // A menu item goes only under another menu item.
  if (o->kind == ObjKind::kMenu || p->kind == ObjKind::kMenu)
    return o->kind == p->kind && MoveMenuItem(o->widget, p->widget);
  // The host window stays the top-level window it is.
  if (!KindRowOf(p->kind).container) return false;
  QWidget* w = o->widget;
  QWidget* target = p->widget;
  // Never onto itself or onto anything placed on it.
  for (QWidget* q = target; q; q = q->parentWidget())
    if (q == w) return false;
  bool shown = !w->isHidden();
  // The same place in client coordinates, now of the new parent.
  QPoint at = w->pos() - ClientOrigin(w->parentWidget());
  w->setParent(target, Qt::Widget);
  w->move(at + ClientOrigin(target));
  if (shown) w->show();
  return true;
}

void QtObjectBackend::CenterInParent(int index) {
  QWidget* w = WidgetOf(index);
  if (!w) return;
  if (w->isWindow()) {
    QScreen* screen = w->screen();
    if (!screen) return;
    QSize frame = w->frameGeometry().size();
    w->move((screen->size().width() - frame.width()) / 2,
            (screen->size().height() - frame.height()) / 2);
    return;
  }
  QWidget* parent = w->parentWidget();
  if (!parent || MenuItemAction(w)) return;
  QRect client = parent->isWindow() ? parent->contentsRect() : parent->rect();
  w->move(client.left() + (client.width() - w->width()) / 2,
          client.top() + (client.height() - w->height()) / 2);
}

// ---- Events ----

bool QtObjectBackend::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  switch (event->type()) {
    case QEvent::Resize:
      if (widget == &host_) FitHostMenuBar(widget);
      return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      if (int index = IndexOn(widget, kMouseKey); index >= 0)
        ReportMouse(index, widget, static_cast<QMouseEvent*>(event));
      return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      HandleKey(widget, event);
      return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return HandleDrop(widget, event);
    default:
      return false;
  }
}

void QtObjectBackend::ReportMouse(int index, QWidget* widget, QMouseEvent* e) {
  ObjWidget* o = Live(index);
  if (!o) return;
  QEvent* event = e;
  QWidget* outer = o->widget;
  QPoint local = e->position().toPoint();
  // Client coordinates of the object: inside its frame, a grid's header row included.
  QPoint at =
      (widget == outer ? local : widget->mapTo(outer, local)) - outer->contentsRect().topLeft();
  ObjectEvent report;
  report.index = index;
  report.x = at.x();
  report.y = at.y();
  bool double_click = event->type() == QEvent::MouseButtonDblClick;
  report.special_keys = SpecialKeysText(e->modifiers(), e->buttons() | e->button(), double_click);
  // A report may run the script, which may destroy the object: `o` is not used after one.
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      o->pressed = e->button() == Qt::LeftButton;
      report.what = ObjEvent::kMouseDown;
      Report(report);
      break;
    case QEvent::MouseButtonDblClick: {
      o->pressed = false;  // the release of a double click is no click
      ObjectEvent dbl;
      dbl.index = index;
      dbl.what = ObjEvent::kDblClick;
      Report(dbl);
      report.what = ObjEvent::kMouseDown;
      Report(report);
      break;
    }
    case QEvent::MouseButtonRelease: {
      // A click is the left button pressed and released inside.
      bool click = o->pressed && e->button() == Qt::LeftButton && widget->rect().contains(local) &&
                   !KindOf(*o).click_by_signal;
      o->pressed = false;
      report.what = ObjEvent::kMouseUp;
      Report(report);
      if (click) {
        ObjectEvent clicked;
        clicked.index = index;
        clicked.what = ObjEvent::kClick;
        Report(clicked);
      }
      break;
    }
    default:
      report.what = ObjEvent::kMouseMove;
      Report(report);
      break;
  }
}

// A key goes first to the window holding the focused widget (the host window
// or a フォーム: its key preview), then to the object the focused widget
// belongs to.
void QtObjectBackend::HandleKey(QWidget* widget, QEvent* event) {
  auto* k = static_cast<QKeyEvent*>(event);
  if (event == last_key_event_ && k->timestamp() == last_key_time_ &&
      event->type() == last_key_type_)
    return;
  last_key_event_ = event;
  last_key_time_ = k->timestamp();
  last_key_type_ = event->type();
  if (event->type() == QEvent::KeyRelease && k->isAutoRepeat()) return;
  int window_index = IndexOn(widget->window(), kObjectKey);
  int object_index = -1;
  for (QWidget* w = widget; w && object_index < 0; w = w->isWindow() ? nullptr : w->parentWidget())
    object_index = IndexOn(w, kObjectKey);
  ObjectEvent report;
  report.what = event->type() == QEvent::KeyPress ? ObjEvent::kKeyDown : ObjEvent::kKeyUp;
  report.key = VirtualKeyOf(k->key(), k->modifiers());
  report.special_keys = SpecialKeysText(k->modifiers(), QGuiApplication::mouseButtons(), false);
  if (window_index >= 0) {
    report.index = window_index;
    Report(report);
  }
  if (object_index >= 0 && object_index != window_index) {
    report.index = object_index;
    Report(report);
  }
}

// Dropped local files reach an object that accepts them (ファイルドロップ):
// reported with the names one per line; when no handler takes them, the
// object's own treatment follows. An object that does not accept them takes
// no drop at all.
bool QtObjectBackend::HandleDrop(QWidget* widget, QEvent* event) {
  int index = -1;
  for (QWidget* w = widget; w && index < 0; w = w->isWindow() ? nullptr : w->parentWidget()) {
    index = IndexOn(w, kMouseKey);
    if (index < 0) index = IndexOn(w, kObjectKey);
  }
  ObjWidget* o = Live(index);
  if (!o) return false;
  auto* e = static_cast<QDropEvent*>(event);
  // An object takes drops only through ファイルドロップ: while it is off, the
  // edit widgets' own text drop (which would insert a file's URL) is refused too.
  if (!o->accepts_drops) {
    e->ignore();
    return true;
  }
  QStringList names;
  if (e->mimeData())
    for (const QUrl& url : e->mimeData()->urls())
      if (url.isLocalFile()) names.push_back(url.toLocalFile());
  if (names.isEmpty()) return false;
  e->acceptProposedAction();
  if (event->type() != QEvent::Drop) return true;
  std::string text;
  for (const QString& name : names) text += FromOsPath(name.toStdString()) + "\r\n";
  ObjectEvent report;
  report.index = index;
  report.what = ObjEvent::kFileDrop;
  report.text = text;
  EventReply reply = Report(report);
  o = Live(index);
  if (!reply.handled && o && KindOf(*o).drop) KindOf(*o).drop(*o, text);
  return true;
}

}  // namespace sorane
