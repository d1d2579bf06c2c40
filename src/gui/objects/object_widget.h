// What the Qt backend of script objects knows about one object and about each
// kind of widget. An object is held by an ObjWidget: its index, its kind and a
// guarded pointer to its widget (a widget freed with the panel or form it was
// placed on leaves the pointer null, and the object counts as destroyed). A
// kind is a KindWidget: how its widget is built, what 作成 sets up, and one row
// {PropId, setter, getter} per property its widget supports. The property
// table of the core already says which kinds take a property, so a row here is
// only reached for those kinds.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <span>
#include <string>

#include "library/objects/backend.h"
#include "library/objects/menu_commands.h"

class QAction;
class QColor;
class QImage;
class QLineEdit;
class QMenuBar;

namespace sorane {

class QtObjectBackend;

struct ObjWidget {
  int index = 0;
  ObjKind kind = ObjKind::kButton;
  QPointer<QWidget> widget;  // null once the widget is gone
  QtObjectBackend* backend = nullptr;
  bool accepts_drops = false;  // ファイルドロップ is on
  bool pressed = false;        // a mouse button went down inside: its release is a click

  template <class W>
  W* As() const {
    return static_cast<W*>(widget.data());
  }
};

QObject* BackendObject(QtObjectBackend* backend);
void ReportEvent(QtObjectBackend* backend, int index, ObjEvent what);

// The object raises `what` whenever `sender` emits `signal` (whose arguments
// are not needed). The connection goes with the backend, and a report for an
// object destroyed meanwhile reaches nobody.
template <class Sender, class Signal>
void RaiseOn(const ObjWidget& o, Sender* sender, Signal signal, ObjEvent what) {
  QtObjectBackend* backend = o.backend;
  int index = o.index;
  QObject::connect(sender, signal, BackendObject(backend),
                   [backend, index, what] { ReportEvent(backend, index, what); });
}

using PropSetter = bool (*)(ObjWidget&, const PropertyValue&);
using PropGetter = PropertyValue (*)(ObjWidget&);

// One property a widget supports; a null setter or getter: the widget takes
// no value or reports none (the core's table routes such uses elsewhere).
struct PropertyAccess {
  PropId id;
  PropSetter set;
  PropGetter get;
};

struct KindWidget {
  // Builds the widget of a new object on `parent` (the host window), set up as
  // the kind requires; `o.widget` is set by the backend afterwards.
  QWidget* (*create)(ObjWidget& o, const NewObject& created, QWidget* parent) = nullptr;
  std::span<const PropertyAccess> properties = {};
  // The default value (the object word without a property); null: "" and nothing.
  std::string (*get_default)(ObjWidget&) = nullptr;
  void (*set_default)(ObjWidget&, const std::string&) = nullptr;
  // オブジェクト破壊 empties the widget before hiding it; null: nothing to empty.
  void (*empty)(ObjWidget&) = nullptr;
  // Dropped files no handler took (the names one per line, CR LF): an エディタ
  // shows them, a リスト or メモ appends them; null: nothing happens.
  void (*drop)(ObjWidget&, const std::string& names) = nullptr;
  // The widgets whose mouse events are the object's (a scroll area's
  // viewport, a grid's header too); null: the widget itself.
  void (*mouse_widgets)(QWidget* widget, QList<QWidget*>& out) = nullptr;
  // The number of items (rows of a grid); null: the kind has none.
  int (*item_count)(ObjWidget&) = nullptr;
  // The widget reports its clicks from its own signal (a push button is also
  // clicked with the space key), so a press and release are no click.
  bool click_by_signal = false;
};

// One per kind (the kind files); the host window uses FormWidget's rows.
const KindWidget& ButtonWidget();
const KindWidget& EditWidget();
const KindWidget& ImageWidget();
const KindWidget& BarWidget();
const KindWidget& ComboWidget();
const KindWidget& ListWidget();
const KindWidget& MemoWidget();
const KindWidget& FormWidget();
const KindWidget& GridWidget();
const KindWidget& LabelWidget();
const KindWidget& CheckWidget();
const KindWidget& TrackWidget();
const KindWidget& AnimeWidget();
const KindWidget& BrowserWidget();
const KindWidget& PanelWidget();
const KindWidget& TEditorWidget();
const KindWidget& RadioWidget();
const KindWidget& MenuWidget();

// ---- Menus ----

// The host window's menu bar; nullptr until the first menu item made it.
QMenuBar* HostMenuBar(QWidget* host);
// The bar across the window again (after the window was resized).
void FitHostMenuBar(QWidget* host);
// The action that is the item of a menu object's widget; nullptr for another widget.
QAction* MenuItemAction(QWidget* item);
void SetMenuItemVisible(QWidget* item, bool visible);
// Puts a menu item under another one (メニュー追加); false when `parent` is
// no menu item or lies under `item`.
bool MoveMenuItem(QWidget* item, QWidget* parent);

// ---- Editor settings (Tエディタ) ----

// The settings of a Tエディタ's editor: Font, FontSize, FontColor, BackColor,
// TabWidth, LineNumbers, WordWrap, AutoIndent (colours as colour values,
// switches 1/0). Empty for another widget.
WindowExtras::EditorSettings EditorSettingsOf(QWidget* editor);
// Applies the settings named; unknown names and values that are no number
// where one is needed are left alone.
void ApplyEditorSettings(QWidget* editor, const WindowExtras::EditorSettings& settings);
// The settings dialog; applied when accepted.
void RunEditorSettingsDialog(QWidget* editor);

// ---- Values ----

PropertyValue TextValue(std::string text);
PropertyValue NumberValue(int64_t number);
PropertyValue FlagValue(bool on);
// A number text as the default values read it (lenient, truncated toward zero).
int IntOf(const std::string& text);

// ---- Texts at the Qt boundary ----

// A list text (one entry per line, CR LF; a lone LF also ends a line) as
// entries; a final line break adds no entry.
QStringList QLines(const std::string& text);
// Entries as a list text: each followed by CR LF.
std::string LinesText(const QStringList& lines);
// Multi-line text: CR LF ↔ the widget's "\n".
QString QMultiline(const std::string& text);
std::string MultilineText(const QString& text);

// Positions in a text are counted by scripts in characters of the CP932 text
// (a line break "\n" of the widget is CR LF there: two); Qt counts UTF-16
// units. `crlf`: the widget's "\n" stands for CR LF.
int CharsOf(const QString& text, int utf16_from, int utf16_to, bool crlf);
// The UTF-16 index `chars` characters after `utf16_from` (clamped to the end).
int Utf16After(const QString& text, int utf16_from, int chars, bool crlf);

// A selection in script characters: where it starts (the caret when nothing
// is selected) and its length.
struct TextSelection {
  int start = 0, length = 0;
};
// The same, from and to UTF-16 bounds of `text`.
TextSelection SelectionIn(const QString& text, int utf16_start, int utf16_end, bool crlf);
// The UTF-16 bounds of a selection given in script characters.
std::pair<int, int> Utf16Selection(const QString& text, TextSelection selection, bool crlf);

// The selection of a one-line edit (an エディタ, the edit field of a コンボ).
TextSelection LineSelection(const QLineEdit* edit);
void SetLineSelection(QLineEdit* edit, TextSelection selection);

// A picture file named in CP932 (the OS path rules apply); null when unreadable.
QImage LoadPicture(const std::string& name);

// ---- Fonts and colours ----

// The font 作成 hands over, as much of it as the kind's row uses.
void ApplyCreationFont(QWidget* widget, const NewObject& created);
// A colour value (system colours included) as a QColor, and a QColor as a value.
QColor ColorOf(uint32_t value);
uint32_t ValueOf(const QColor& color);
// The background and text colours scripts set, kept on the widget so a
// system colour reads back as the value it was set to.
void SetBackColor(QWidget* widget, uint32_t value);
// Only keeps the value (a widget that paints its background itself).
void KeepBackColor(QWidget* widget, uint32_t value);
uint32_t BackColor(const QWidget* widget, uint32_t default_value);
void SetTextColor(QWidget* widget, uint32_t value);
uint32_t TextColor(const QWidget* widget);

// The system colours widgets start with.
inline constexpr uint32_t kWindowColor = 0x80000005;      // edits, lists
inline constexpr uint32_t kButtonFaceColor = 0x8000000F;  // labels, checks, panels
inline constexpr uint32_t kWindowTextColor = 0x80000008;

}  // namespace sorane
