// Records of the run-control stack: every open block (branch, loop, case), call
// and event return. A position keeps the text it points into alive, so a record
// or the execution position can never point into a freed block copy.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "words/source_name.h"

namespace sorane {

struct THashNode;

struct TPos {
  const char* p = nullptr;
  std::shared_ptr<const std::string> text;  // owner of the bytes p points into

  TPos() = default;
  TPos(const char* pos, std::shared_ptr<const std::string> owner)
      : p(pos), text(std::move(owner)) {}
  bool None() const { return p == nullptr; }
  static TPos Start(std::shared_ptr<const std::string> owner) {
    const char* s = owner->c_str();
    return TPos(s, std::move(owner));
  }
  TPos At(const char* q) const { return TPos(q, text); }
};

enum RunKind : uint8_t {
  kRunThen = 0,
  kRunElse = 1,
  kRunFor = 2,    // 繰り返す
  kRunTimes = 3,  // 回
  kRunCall = 4,   // subroutine call
  kRunEvent = 5,  // event call
  kRunEach = 6,   // 反復
  kRunCase = 8,   // の時
  kRunWhile = 9,  // ループ
};

// A block copied out of a text that others share, with the groups inside it
// noted; the blocks nested in it run in place (defined by the control code).
struct TBlockText;

struct TRunControl {
  TPos ReturnPos;
  TPos ExitPos;
  int32_t Counter = 0;
  int32_t Limit = 0;
  RunKind Kind = kRunThen;
  // The block text: the bytes [BodyBegin, BodyEnd) of Body, or all of Body when
  // BodyBegin is null; null for a record without a block (a call).
  std::shared_ptr<const std::string> Body;
  const char* BodyBegin = nullptr;
  const char* BodyEnd = nullptr;
  // Set when Body is a block copy: its notes, and for a block nested in it
  // the seal that ends the block with a NUL for as long as this record lives.
  std::shared_ptr<TBlockText> Block;
  std::shared_ptr<void> Seal;
  SourceNameRef SavedSource;  // the source name the run returns to
  std::string Condition;
  std::shared_ptr<void>
      ConditionCompiled;             // ループ: the compiled form of Condition, once calculated
  THashNode* CounterWord = nullptr;  // 繰り返す
  uint64_t CounterGeneration = 0;    // the word table's generation when CounterWord was found
  std::shared_ptr<std::vector<std::string>> Elements;  // 反復

  // Back to the state of a new record, all it holds let go. (Every field is
  // reset here.)
  void Reset();
  // Reset for a branch record (then, else), which holds no more than its
  // block, the positions it returns to and leaves by and the source name:
  // the fields of loops are never set in one, so they need no test. (Reset
  // lets go of the others, then of these.)
  void ResetBranch() {
    SavedSource = SourceNameRef();
    if (Seal) Seal.reset();
    if (Block) Block.reset();
    BodyEnd = nullptr;
    BodyBegin = nullptr;
    if (Body) Body.reset();
    Kind = kRunThen;
    ExitPos.p = nullptr;
    if (ExitPos.text) ExitPos.text.reset();
    ReturnPos.p = nullptr;
    if (ReturnPos.text) ReturnPos.text.reset();
  }
};

class TRunControlStack {
 public:
  void Push(const TRunControl& r) {
    if (count_ < current_.size())
      current_[count_] = r;
    else
      current_.push_back(r);
    ++count_;
  }
  void Push(TRunControl&& r) {
    if (count_ < current_.size())
      current_[count_] = std::move(r);
    else
      current_.push_back(std::move(r));
    ++count_;
  }
  // A new empty record on top, to be filled in place.
  TRunControl& Emplace() {
    if (count_ < current_.size()) return current_[count_++];
    ++count_;
    return current_.emplace_back();
  }
  bool Pop(TRunControl& out);
  // Removes the record on top (there is one). Its place is kept, emptied, for
  // the next record: a block entered and left at every pass (a もし in a
  // loop) neither makes nor destroys a record.
  void DropTop() { current_[--count_].Reset(); }
  // DropTop for a branch record on top (see TRunControl::ResetBranch).
  void DropBranch() { current_[--count_].ResetBranch(); }
  bool Get(size_t i, TRunControl& out) const;
  // The record at i (0 is the oldest), or null.
  const TRunControl* At(size_t i) const { return i < count_ ? &current_[i] : nullptr; }
  TRunControl* Top() { return count_ == 0 ? nullptr : &current_[count_ - 1]; }
  int Count() const { return static_cast<int>(count_); }
  void Clear() {
    current_.clear();
    count_ = 0;
  }
  // The stack set aside for a nested run, and taken back as it ends. (Inline:
  // every call of a label from an expression does both.)
  void Save() {
    if (depth_ == levels_.size()) [[unlikely]]
      AddLevel();
    Level& level = levels_[depth_];
    current_.swap(level.records);  // the level's stack holds no record
    level.count = count_;
    count_ = 0;
    ++depth_;
  }
  void Restore() {
    if (depth_ == 0) return;
    // The records left go; their places stay, emptied, for the next run at
    // this level.
    for (size_t i = 0; i < count_; ++i) current_[i].Reset();
    count_ = 0;
    --depth_;
    Level& level = levels_[depth_];
    current_.swap(level.records);
    count_ = level.count;
    // Deep levels give their storage back.
    if (depth_ >= kLevelsKeepingStorage) [[unlikely]]
      GiveBack(level.records);
  }
  void ClearAll();
  size_t SavedCount() const { return depth_; }

 private:
  // The records [0, count_), then the places of records dropped (emptied).
  std::vector<TRunControl> current_;
  size_t count_ = 0;
  // The stacks set aside, levels_[0, depth_), with their counts; the entries
  // above hold emptied stacks with their storage (for the first so many
  // levels), so a nested run (a label called from an expression) does not
  // allocate a new stack at every call: setting a stack aside and taking it
  // back is one swap each.
  struct Level {
    std::vector<TRunControl> records;
    size_t count = 0;
  };
  std::vector<Level> levels_;
  size_t depth_ = 0;
  void AddLevel();  // a level for a run nested deeper than any before
  static void GiveBack(std::vector<TRunControl>& records);
  static constexpr size_t kLevelsKeepingStorage = 64;
};

}  // namespace sorane
