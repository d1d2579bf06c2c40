// The word table: every command, variable, label, object, DLL function and hash
// a script can name is a THashNode in one THash. Listings walk 256 buckets
// (bucket = byte sum of the name mod 256, each bucket in insertion order); lookups
// go through a hash index by name, so a table of a million words stays fast.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/number.h"
#include "text/sjis.h"
#include "words/command_ids.h"
#include "words/source_name.h"

namespace sorane {

class THash;
class TextFileStream;

enum WordKind : uint8_t {
  kWordCommand = 0,
  kWordLabel = 2,
  kWordVariable = 3,
  kWordObject = 4,
  kWordDll = 5,
  kWordHash = 6,
};

// What only commands, labels, objects and file handles carry, kept apart so
// that the many variables and hash elements stay small.
struct THashNodeMore {
  std::string Template;  // commands: argument template; labels: parameter template
  SourceNameRef Owner;   // labels: the name of the source they were defined in
  // Labels (and objects) point into a source text (kept alive by RefText); a
  // file-handle variable names its open stream (owned by the handle family;
  // compared, never dereferenced through the word).
  const char* RefPos = nullptr;
  std::shared_ptr<const std::string> RefText;
  const TextFileStream* HandleStream = nullptr;
};

struct THashNode {
  // What a lookup and a read touch come first, so that they share the node's
  // first cache lines.
  std::string Name;

  // The value's text. A number stored as one (SetInteger, SetNumber) has its
  // text written when it is first read.
  const std::string& Value() const {
    if (text_pending_) WriteNumberText();
    return value_;
  }
  // The value's text, to be changed: a number stored as one is one no more.
  std::string& ValueToWrite() {
    if (text_pending_) WriteNumberText();
    has_number_ = false;
    text_integer_ = kNotLearnt;
    return value_;
  }
  // Stores a whole number below 10^15 in magnitude (which the number format
  // writes with all its digits) without writing its text yet.
  void SetInteger(int64_t n) {
    integer_ = n;
    exponent_ = kWhole;
    has_number_ = text_pending_ = true;
  }
  // Stores a number as the number format writes it: a whole number below
  // 10^15 as one (SetInteger), another the format writes with 15 digits as
  // those digits (see DigitsAsWritten), either without writing its text yet;
  // any other as its text.
  void SetNumber(Number n);
  // The whole number the value was stored as (SetInteger), while it is unchanged.
  bool StoredInteger(int64_t& n) const {
    n = integer_;
    return has_number_ && exponent_ == kWhole;
  }
  // Whether the value is a number stored as one, while it is unchanged.
  bool KeptAsNumber() const { return has_number_; }
  // The integer the value is: a whole number stored as one (StoredInteger), or
  // a text written as the number format writes an integer (WrittenWhole; a
  // number kept as its digits is not one). Whether the text is one is found
  // at its first such read and kept until the value changes, so a value read
  // as a number again and again is not read digit by digit every time.
  bool IntegerValue(int64_t& n) const {
    if (has_number_) {
      n = integer_;
      return exponent_ == kWhole;
    }
    if (text_integer_ == kNotLearnt) LearnTextInteger();
    n = integer_;
    return text_integer_ == kInteger;
  }
  // A number stored as one taken aside, to be put back as it was (a call
  // keeps それ so), its text still unwritten; `held` is false for a text.
  struct HeldNumber {
    int64_t integer = 0;
    int8_t exponent = 0;
    bool held = false;
  };
  HeldNumber HoldNumber() const { return {integer_, exponent_, has_number_}; }
  void PutBack(const HeldNumber& n) {
    integer_ = n.integer;
    exponent_ = n.exponent;
    has_number_ = text_pending_ = true;
  }
  // The value made the empty text (a number stored as one is dropped
  // without its text being written).
  void ClearText() {
    has_number_ = text_pending_ = false;
    text_integer_ = kNotLearnt;
    value_.clear();
  }
  // The value replaced by `text`, which gets the value's room in exchange (a
  // number stored as one is dropped without its text being written).
  void SwapText(std::string& text) {
    has_number_ = text_pending_ = false;
    text_integer_ = kNotLearnt;
    value_.swap(text);
  }
  // The number the value was stored as (SetInteger, SetNumber), as its text
  // reads back, while it is unchanged.
  bool StoredNumber(Number& n) const {
    if (!has_number_) return false;
    n = exponent_ == kWhole ? static_cast<Number>(integer_) : NumberOfDigits(integer_, exponent_);
    return true;
  }

  // What a read of the word reports as its type: "s", "e", "hs" (or any other
  // text, which counts as untyped) — for system variables their description,
  // for objects the kind text ("メインフォーム").
  std::string TypeMark;
  WordKind Kind = kWordVariable;
  bool Reserved = false;
  CommandId Command{};      // commands: the id the dispatcher selects the handler by
  int32_t Level = 0;        // variables, hashes: declaration level; -1 system variables
  int32_t ObjectIndex = 0;  // objects: the record in the object list
 private:
  friend class THash;
  // In its table's index (made and listed, not removed); here, where it fills
  // the room left before the next pointer.
  bool indexed_ = false;
  bool has_number_ = false;            // integer_ (and exponent_) is the value
  mutable bool text_pending_ = false;  // value_ is still to be written from them
  // A whole number (kWhole), or the decimal exponent of 15 digits in integer_.
  static constexpr int8_t kWhole = INT8_MAX;
  int8_t exponent_ = kWhole;
  // Without a number stored: whether the text is an integer (IntegerValue),
  // then held in integer_.
  enum TextInteger : uint8_t { kNotLearnt, kInteger, kNotInteger };
  mutable TextInteger text_integer_ = kNotLearnt;
  mutable std::string value_;
  mutable int64_t integer_ = 0;
  void WriteNumberText() const;
  void LearnTextInteger() const;

 public:
  std::unique_ptr<THash> Elements;  // hashes: their element table

  THashNode() = default;
  THashNode(std::string name, WordKind kind) : Name(std::move(name)), Kind(kind) {}
  // Copies every field except the name; a hash's elements are copied, never shared.
  void CopyAttributesFrom(const THashNode& other);

  // The rarer fields: an empty record when the word has none; MoreToWrite
  // makes the word's own record on first use.
  const THashNodeMore& More() const { return more_ ? *more_ : kNoMore; }
  THashNodeMore& MoreToWrite() {
    if (!more_) more_ = std::make_unique<THashNodeMore>();
    return *more_;
  }

 private:
  static const THashNodeMore kNoMore;
  std::unique_ptr<THashNodeMore> more_;
};

// Whether a word can be called: a command, a label or a DLL function.
inline bool IsCallable(const THashNode* w) {
  return w && (w->Kind == kWordCommand || w->Kind == kWordLabel || w->Kind == kWordDll);
}

// Okurigana folding: 繰り返す -> 繰返, 取り込む -> 取込, 言う -> 言, おわり stays.
std::string Fold(std::string_view name);
// The same into `out` (its buffer is reused).
void FoldInto(std::string_view name, std::string& out);

// Walks pair-line text (key=value per line, CR LF, LF or CR between lines):
// `visit(key, value, line)` gets the trimmed part before the first "=", the rest
// (empty for a line without "="), and the whole line; returning false stops.
template <typename Visit>
void ForEachPairLine(std::string_view text, Visit visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    size_t eq = line.find('=');
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
    if (!visit(Trim(line.substr(0, eq)), value, line)) return;
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
}

class THash {
 public:
  THash();
  ~THash();
  THash(const THash&) = delete;
  THash& operator=(const THash&) = delete;

  static unsigned Bucket(std::string_view name);

  // Adds the node; an equal name replaces the old node in place (the node object
  // keeps its address, so references held elsewhere stay valid). Re-adding a
  // Reserved name throws EWordReserved and leaves the table unchanged.
  THashNode* Add(std::unique_ptr<THashNode> node);
  // Convenience: a new variable node.
  THashNode* AddVariable(std::string_view name, std::string_view value, std::string_view mark,
                         int32_t level);
  // The word of that name, or a new empty variable of it (one lookup for both).
  THashNode* FindOrAddVariable(std::string_view name, int32_t level);
  THashNode* Find(std::string_view name, bool fold) const;
  THashNode* FindExact(std::string_view name) const;
  // Removes the first node of the folded name, then the first of the given name.
  // Returns the new count or -1 when nothing was removed.
  int Delete(std::string_view name, bool fold);
  void Clear();
  int Count() const { return count_; }
  // Changes whenever a word is added, replaced or removed (not when a value
  // changes); never the same for two different states of any table, so a
  // lookup remembered with it is still right while it is unchanged.
  uint64_t Generation() const { return generation_; }

  // Every node, bucket 0 to 255, each bucket in list order.
  std::vector<THashNode*> AllNodes() const;
  std::string NamesText() const;  // names joined by CR LF, trimmed
  std::string PairLines() const;  // key=value CR LF per element, whole text trimmed
  // Builds elements from pair lines (key trimmed, value after the first "=").
  void LoadPairLines(std::string_view text, int32_t level);
  std::string ValueOf(std::string_view name, bool fold) const;
  // Deep copy of every node into `dest` (which is cleared first).
  void CopyTo(THash& dest) const;

 private:
  int RemoveExact(std::string_view name);
  void Changed();

  // Nodes live in chunks owned by the table, numbered in the order they were
  // made: chunk k holds kFirstChunk << k nodes, so a number gives the address
  // from a short list of chunks (no table of addresses to read), and nodes
  // made one after another lie side by side. Every number below made_ holds a constructed node; a
  // removed node is emptied and its number made again by the next insertion.
  static constexpr uint32_t kFirstChunk = 8;
  THashNode* NodeAt(uint32_t number) const {
    uint64_t m = uint64_t{number} + kFirstChunk;
    size_t chunk = static_cast<size_t>(std::bit_width(m)) - std::bit_width(kFirstChunk);
    return chunks_[chunk] + (m - (uint64_t{kFirstChunk} << chunk));
  }
  // The number of a node made from `from` (moved), or empty and ready to fill.
  uint32_t MakeNode(THashNode* from = nullptr);
  void DropNode(uint32_t number);  // empties the node and frees its number
  void ReleaseNodes();

  // The index: open addressing over a power-of-two array of four-byte slots,
  // small enough that a table of a million words has an index of 8 MB. With
  // 2^k slots, the low k bits of a slot hold the node's number + 1 (0: never
  // used; all ones: removed) and the high bits the same bits of the name's
  // hash, so a probe reads no node until those agree; the index has at least
  // twice as many slots as numbers, so a number always fits. A node's Name
  // never changes while it is in the table.
  using Slot = uint32_t;
  uint32_t NumberIn(size_t slot) const { return (slots_[slot] & mask_) - 1; }
  size_t SlotOf(std::string_view name, size_t hash) const;
  // The node the last successful lookup found, when it is still in the table
  // under `name`: a table read and written under one key again and again (an
  // element set and then read, a counter) is looked up without hashing.
  THashNode* LastFound(std::string_view name) const {
    THashNode* n = last_found_;
    return n && n->indexed_ && n->Name.size() == name.size() &&
                   SameBytes(n->Name.data(), name.data(), name.size())
               ? n
               : nullptr;
  }
  THashNode* Insert(uint32_t number, size_t hash);
  void IndexInsert(uint32_t number, size_t hash);
  void Rehash(size_t capacity);
  void ReleaseIndex();

  std::array<std::vector<THashNode*>, 256> buckets_;
  std::vector<THashNode*> chunks_;
  uint32_t made_ = 0;
  std::vector<uint32_t> free_numbers_;
  // Without an index, one empty slot that is never written: a search ends there.
  static Slot no_slots_[1];
  Slot* slots_ = no_slots_;
  uint32_t mask_ = 0;      // capacity_ - 1
  size_t capacity_ = 0;    // slots
  size_t used_slots_ = 0;  // live and removed
  int count_ = 0;
  size_t quoted_names_ = 0;  // names that begin with a quote
  uint64_t generation_ = 0;
  mutable THashNode* last_found_ = nullptr;  // see LastFound
};

// Raised by THash::Add for a reserved name; the message is the report text.
struct EWordReserved {
  std::string name;
};

// The elements of one table found by keys that are whole numbers from 0 to
// kKeysKept - 1, by key (null: not looked for yet), while the table stays at
// the generation it had (a table made where another stood never repeats its
// generations): a member named by a counter (Nの(深さ)) finds its element
// without the key's text or a hash lookup.
struct ElementsByKey {
  static constexpr int64_t kKeysKept = 256;
  const THash* table = nullptr;
  uint64_t generation = 0;
  std::vector<THashNode*> found;

  // The element kept for key k of `elements`, or null.
  THashNode* Kept(const THash& elements, int64_t k) const {
    return static_cast<uint64_t>(k) < found.size() && table == &elements &&
                   generation == elements.Generation()
               ? found[static_cast<size_t>(k)]
               : nullptr;
  }
  // Keeps `e` as key k's element of `elements` (0 <= k < kKeysKept); what
  // was kept for another table or generation is forgotten.
  void Keep(const THash& elements, int64_t k, THashNode* e) {
    if (table != &elements || generation != elements.Generation()) {
      table = &elements;
      generation = elements.Generation();
      std::fill(found.begin(), found.end(), nullptr);
    }
    const auto i = static_cast<size_t>(k);
    if (i >= found.size()) found.resize(i + 1);
    found[i] = e;
  }
};

}  // namespace sorane
