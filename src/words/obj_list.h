// TObjList: the script objects of a run (object 0 is the host window). A record
// links the object's name to its kind and to the labels its events jump to;
// the window layer derives from it to hold the control.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "words/run_control.h"

namespace sorane {

// The event slots of an object, in the order scripts name them.
enum EventSlot {
  kEventAny = 0,    // イベント (also the dispatch slot)
  kEventClick,      // クリックした時
  kEventDblClick,   // ダブルクリックした時
  kEventMouseDown,  // マウス押した時
  kEventMouseUp,    // マウス離した時
  kEventKeyDown,    // キー押した時
  kEventKeyUp,      // キー離した時
  kEventChange,     // 変更した時
  kEventMouseMove,  // マウス動かした時
  kEventFileDrop,   // ファイルドロップした時
  kEventSlotCount
};

// Object kinds by their index in the kind table.
enum ObjectKind { kObjectImage = 2, kObjectForm = 7 };

struct TObjNode {
  virtual ~TObjNode() = default;
  std::string Name;  // cleared when the object is destroyed
  int Kind = 0;
  int ObjectIndex = 0;
  // Per slot: the text the script set, and where the slot jumps (none = no
  // handler). A slot set to program text keeps that text alive in its TPos.
  std::string EventText[kEventSlotCount];
  TPos EventTarget[kEventSlotCount];
};

class TObjList {
 public:
  int Add(std::unique_ptr<TObjNode> node);
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  TObjNode* FindByName(const std::string& name) const;
  int IndexOf(const std::string& name) const;
  TObjNode* Get(int i) const;
  void Put(int i, std::unique_ptr<TObjNode> node);

 private:
  std::vector<std::unique_ptr<TObjNode>> items_;
};

}  // namespace sorane
