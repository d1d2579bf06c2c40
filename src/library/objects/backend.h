// The widgets behind script objects, as the core sees them. The window layer
// implements ObjectBackend with one widget per object record (the host window
// itself is object 0); the core creates, changes and reads them by object
// index and property id, never by widget type. Widgets report what the user
// does through an ObjectEventSink, by object index and event. Qt-free.
#pragma once

#include <string>

#include "library/objects/kinds.h"
#include "library/objects/properties.h"
#include "runtime/host.h"

namespace sorane {

// Position and size of an object in its parent's client coordinates (for a
// フォーム: on the screen, and the size is its client size).
struct ObjBounds {
  int left = 0, top = 0, width = 0, height = 0;
};

// What 作成 hands over: the object, its kind, the caption it shows and the
// text font of the moment (the kind row's font_use says what of it applies).
struct NewObject {
  int index = 0;
  ObjKind kind = ObjKind::kButton;
  std::string caption;
  HostSurface::TextFont font;
};

// What a widget can report.
enum class ObjEvent : uint8_t {
  kClick,
  kDblClick,
  kMouseDown,
  kMouseUp,
  kMouseMove,
  kKeyDown,
  kKeyUp,
  kChange,
  kFileDrop,  // files dropped on an object that accepts them
  kNavigate,  // a ブラウザ is about to open a URL
};

struct ObjectEvent {
  int index = 0;  // the object (its record in the object list)
  ObjEvent what = ObjEvent::kClick;
  int x = 0, y = 0;          // mouse events: in the object's client coordinates
  int key = 0;               // key events: the virtual-key number
  std::string special_keys;  // mouse and key events: held modifiers and buttons, one per line
  std::string text;          // kFileDrop: the names, one per line; kNavigate: the URL
};

// The answer to a reported event.
struct EventReply {
  // A handler label ran (or was queued). A file drop that nobody handles gets
  // the widget's own treatment (an エディタ takes the names as its text, a
  // リスト or メモ appends them).
  bool handled = false;
  // kNavigate: the script refused the navigation.
  bool cancel = false;
};

class ObjectEventSink {
 public:
  virtual ~ObjectEventSink() = default;
  virtual EventReply ObjectEventOccurred(const ObjectEvent& event) = 0;
};

class ObjectBackend {
 public:
  virtual ~ObjectBackend() = default;

  // Where widgets report events; nullptr stops the reports.
  virtual void SetEventSink(ObjectEventSink* sink) = 0;

  // Creates the widget of object `created.index`, set up as its kind requires, on
  // the host window (a フォーム: its own top-level window, centred and shown)
  // and not yet placed. False when the kind has no widget here.
  virtual bool CreateObject(const NewObject& created) = 0;
  // オブジェクト破壊: empties and hides the widget; it is freed later by
  // FreeDestroyed, so no event in progress is left without its widget.
  virtual void DestroyObject(int index) = 0;
  // How many destroyed widgets wait to be freed.
  virtual int DestroyedCount() = 0;
  virtual void FreeDestroyed() = 0;
  // 待機 found two or more destroyed widgets: free them once the window system
  // has control (a 1 ms one-shot timer whose tick calls FreeDestroyed), never
  // now — a destroyed widget's own event may still be on the call stack. The
  // default frees them at once, for backends whose widgets are never on it.
  virtual void FreeDestroyedSoon() { FreeDestroyed(); }

  // A property of the widget. The value is converted as the row of `id` says
  // (ConvertPropertyValue); a kind outside the row's kinds never gets here.
  // False when the widget refused (a shortcut text it cannot read, a drop
  // target it cannot attach).
  //
  // The core works out some properties itself and never asks for them here:
  // the geometry (X, Y, 幅, 高さ, サイズ, 位置, 右側, 下側) goes through Bounds
  // and SetBounds; 名前, the event slots and the values kept in the object
  // word (画像, 追加画像 read back) stay in the core. 値 of a list, combo,
  // radio group or grid and 行 of a grid arrive checked against ItemCount
  // (a grid's 値 of 0 arrives as row 1).
  virtual bool SetProperty(int index, PropId id, const PropertyValue& value) = 0;
  virtual PropertyValue GetProperty(int index, PropId id) = 0;
  // The items of a リスト, コンボ or ラジオ, the rows of a グリッド (its empty
  // last row included); -1 when the widget cannot tell, and then the core
  // passes 値 and 行 on unchecked.
  virtual int ItemCount(int index) { return -1; }

  // The default value: the object word read or assigned without a property.
  virtual std::string GetDefaultValue(int index) = 0;
  virtual void SetDefaultValue(int index, const std::string& text) = 0;

  // X, Y, 幅, 高さ, サイズ, 位置 (a フォーム: its client size, as in ObjBounds).
  virtual ObjBounds Bounds(int index) = 0;
  virtual void SetBounds(int index, const ObjBounds& bounds) = 0;
  // The width an object is centred in (placement and centring): the client
  // width of its parent; on a パネル, the panel's width.
  virtual int ParentClientWidth(int index) = 0;
  // Pixel width of `text` in the host window's own font (a ボタン is widened
  // to its caption measured so).
  virtual int HostFontTextWidth(const std::string& text) = 0;

  virtual void SetVisible(int index, bool visible) = 0;
  // 注目: false when the widget cannot take the focus (hidden or disabled).
  virtual bool Focus(int index) = 0;
  // 乗せ換える: puts the object onto a フォーム or パネル; false when refused.
  virtual bool SetParent(int index, int parent_index) = 0;
  // 中央へ移動: a フォーム on the screen, others in their parent.
  virtual void CenterInParent(int index) = 0;

  // The picture the drawing commands draw on: an イメージ's own, the surface
  // of a フォーム; nullptr for other kinds and objects without a widget.
  virtual HostCanvas* CanvasOf(int index) { return nullptr; }
};

// A host without widgets (the console): no object gets a widget and every
// question about one has the neutral answer.
class NoObjectBackend : public ObjectBackend {
 public:
  void SetEventSink(ObjectEventSink*) override {}
  bool CreateObject(const NewObject&) override { return false; }
  void DestroyObject(int) override {}
  int DestroyedCount() override { return 0; }
  void FreeDestroyed() override {}
  bool SetProperty(int, PropId, const PropertyValue&) override { return false; }
  PropertyValue GetProperty(int, PropId) override { return {}; }
  std::string GetDefaultValue(int) override { return {}; }
  void SetDefaultValue(int, const std::string&) override {}
  ObjBounds Bounds(int) override { return {}; }
  void SetBounds(int, const ObjBounds&) override {}
  int ParentClientWidth(int) override { return 0; }
  int HostFontTextWidth(const std::string&) override { return 0; }
  void SetVisible(int, bool) override {}
  bool Focus(int) override { return false; }
  bool SetParent(int, int) override { return false; }
  void CenterInParent(int) override {}
};

}  // namespace sorane
