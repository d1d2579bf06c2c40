// TObjList: the script objects of a run (object 0 is the host window). A record
// links the object's name to its kind, to the object it sits on and to the
// labels its events jump to; the widget is the host's, found by the index.
#pragma once

#include <cstdint>
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

// The kinds of script objects, in the order of the kind table
// (library/objects/kinds.h): the numbers are the kinds' indexes.
enum class ObjKind : uint8_t {
  kButton,   // ボタン
  kEdit,     // エディタ
  kImage,    // イメージ
  kBar,      // バー
  kCombo,    // コンボ
  kList,     // リスト
  kMemo,     // メモ
  kForm,     // フォーム
  kGrid,     // グリッド
  kLabel,    // ラベル
  kCheck,    // チェック
  kTrack,    // トラック
  kAnime,    // アニメ
  kMenu,     // メニュー
  kBrowser,  // ブラウザ
  kPanel,    // パネル
  kTEditor,  // Tエディタ
  kRadio,    // ラジオ
};
inline constexpr int kObjKindCount = 18;

struct TObjNode {
  virtual ~TObjNode() = default;
  std::string Name;  // cleared when the object is destroyed
  ObjKind Kind = ObjKind::kButton;
  int ObjectIndex = 0;
  // The object the widget sits on: 0 the host window (where 作成 puts every
  // object but a フォーム), a フォーム or パネル after 乗せ換える, -1 none (a
  // フォーム, the host window itself). Kept so a move that would put an
  // object inside itself is refused before the widget is asked.
  int Parent = 0;
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
