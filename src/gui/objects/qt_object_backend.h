// The widgets of script objects on Qt. One ObjWidget per object index holds a
// guarded pointer to the widget, so a widget freed with the panel or form it
// was placed on is a destroyed object, never a dangling pointer. Object 0 is
// the host window. The properties every kind shares (place, size, visibility,
// fonts, …) are rows here; each kind file adds its own rows.
//
// Events: one filter on the application sees the mouse events of the widgets
// that belong to objects, the key events of every window (a window holding
// objects sees a key before the focused object: its key preview), the file
// drops and the resizing of forms, and reports them to the sink by object
// index. Widgets are only ever freed with deleteLater, so an event handler that
// destroys its own object never pulls the widget from under a running call.
#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "gui/objects/object_widget.h"

class QMouseEvent;

namespace sorane {

class TfrmSorane;

class QtObjectBackend : public QObject, public ObjectBackend {
 public:
  explicit QtObjectBackend(TfrmSorane& host);
  ~QtObjectBackend() override;

  void SetEventSink(ObjectEventSink* sink) override { sink_ = sink; }
  bool CreateObject(const NewObject& created) override;
  void DestroyObject(int index) override;
  int DestroyedCount() override { return static_cast<int>(pending_.size()); }
  void FreeDestroyed() override;
  // On a 1 ms timer: a destroyed widget's own event may still be running now.
  void FreeDestroyedSoon() override;
  bool SetProperty(int index, PropId id, const PropertyValue& value) override;
  PropertyValue GetProperty(int index, PropId id) override;
  int ItemCount(int index) override;
  std::string GetDefaultValue(int index) override;
  void SetDefaultValue(int index, const std::string& text) override;
  ObjBounds Bounds(int index) override;
  void SetBounds(int index, const ObjBounds& bounds) override;
  int ParentClientWidth(int index) override;
  int HostFontTextWidth(const std::string& text) override;
  void SetVisible(int index, bool visible) override;
  bool Focus(int index) override;
  bool SetParent(int index, int parent_index) override;
  void CenterInParent(int index) override;
  HostCanvas* CanvasOf(int index) override;

  // The object's widget while it has one: nullptr for no object, a destroyed
  // one, or one whose widget went with its parent.
  QWidget* WidgetOf(int index) const;
  // Reports an event to the sink when the object's kind raises it.
  EventReply Report(const ObjectEvent& event);
  TfrmSorane& HostWindow() { return host_; }
  // The media service the widgets play sounds on (アニメ's 効果音).
  void SetMedia(HostMedia* media) { media_ = media; }
  HostMedia* Media() const { return media_; }
  // `widget` (the object's own or one inside it) gets the mouse events of the
  // object: a kind that builds such a widget later (an editable コンボ) calls it.
  static void TakeMouse(int index, QWidget* widget);
  // Reports a mouse event that `widget`, inside the object, received (a
  // widget that handles its presses itself first, a grid's header, calls it).
  void ReportMouse(int index, QWidget* widget, QMouseEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ObjWidget* Live(int index) const;
  const KindWidget& KindOf(const ObjWidget& o) const;
  void HandleKey(QWidget* widget, QEvent* event);
  bool HandleDrop(QWidget* widget, QEvent* event);

  TfrmSorane& host_;
  std::vector<std::unique_ptr<ObjWidget>> objects_;  // by index; null: no widget
  std::vector<std::unique_ptr<ObjWidget>> pending_;  // destroyed, waiting to be freed
  ObjectEventSink* sink_ = nullptr;
  HostMedia* media_ = nullptr;
  // A key event reaches the filter once per widget it passes: reported once.
  const QEvent* last_key_event_ = nullptr;
  quint64 last_key_time_ = 0;
  int last_key_type_ = 0;
};

}  // namespace sorane
