// A backend for tests of the object layer: it keeps, per object index, the
// kind, caption, bounds, visibility, parent, the properties set and the
// default value, and records the calls that change something. Object 0 (the
// host window) is there from the start.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "library/objects/backend.h"

namespace sorane {

class FakeObjectBackend : public ObjectBackend {
 public:
  struct Widget {
    ObjKind kind = ObjKind::kButton;
    std::string caption;
    ObjBounds bounds{0, 0, 75, 25};
    bool visible = false;
    bool destroyed = false;
    int parent = 0;
    std::map<PropId, PropertyValue> properties;
    std::string default_value;
    int item_count = -1;
  };
  std::map<int, Widget> widgets;
  std::vector<std::string> calls;  // "create 1", "destroy 1", "set 1 6", "free soon", ...
  int client_width = 640;
  int w_width = 8;        // the width of "W" in the host window's font
  int refuse_focus = -1;  // the object whose widget cannot take the focus
  bool refuse_parent = false;
  int destroyed_count = 0;
  int new_item_count = -1;  // ItemCount of the widgets created from now on

  FakeObjectBackend() {
    widgets[0].kind = ObjKind::kForm;
    widgets[0].bounds = {100, 100, 640, 480};
    widgets[0].parent = -1;
  }
  Widget& At(int index) { return widgets.at(index); }

  void SetEventSink(ObjectEventSink*) override {}
  bool CreateObject(const NewObject& created) override {
    Widget& w = widgets[created.index];
    w.kind = created.kind;
    w.caption = created.caption;
    w.item_count = new_item_count;
    calls.push_back("create " + std::to_string(created.index));
    return true;
  }
  void DestroyObject(int index) override {
    At(index).destroyed = true;
    At(index).visible = false;
    ++destroyed_count;
    calls.push_back("destroy " + std::to_string(index));
  }
  int DestroyedCount() override { return destroyed_count; }
  void FreeDestroyed() override {
    destroyed_count = 0;
    calls.push_back("free");
  }
  void FreeDestroyedSoon() override { calls.push_back("free soon"); }
  bool SetProperty(int index, PropId id, const PropertyValue& value) override {
    At(index).properties[id] = value;
    calls.push_back("set " + std::to_string(index) + " " + std::to_string(static_cast<int>(id)));
    return true;
  }
  PropertyValue GetProperty(int index, PropId id) override {
    auto& props = At(index).properties;
    auto it = props.find(id);
    return it == props.end() ? PropertyValue{} : it->second;
  }
  int ItemCount(int index) override { return At(index).item_count; }
  std::string GetDefaultValue(int index) override { return At(index).default_value; }
  void SetDefaultValue(int index, const std::string& text) override {
    At(index).default_value = text;
  }
  ObjBounds Bounds(int index) override { return At(index).bounds; }
  void SetBounds(int index, const ObjBounds& bounds) override { At(index).bounds = bounds; }
  int ParentClientWidth(int) override { return client_width; }
  int HostFontTextWidth(const std::string& text) override {
    return w_width * static_cast<int>(text.size());
  }
  void SetVisible(int index, bool visible) override { At(index).visible = visible; }
  bool Focus(int index) override {
    calls.push_back("focus " + std::to_string(index));
    return index != refuse_focus;
  }
  bool SetParent(int index, int parent_index) override {
    if (refuse_parent) return false;
    At(index).parent = parent_index;
    return true;
  }
  void CenterInParent(int index) override { calls.push_back("centre " + std::to_string(index)); }
};

}  // namespace sorane
