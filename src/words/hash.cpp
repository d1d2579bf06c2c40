#include "words/hash.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "text/sjis.h"

namespace sorane {

const THashNodeMore THashNode::kNoMore;

void THashNode::WriteNumberText() const {
  if (exponent_ == kWhole) {
    FormatWholeInto(integer_, value_);  // (below 10^15: its digits)
  } else {
    NumberText text;
    value_.assign(FormatDigits(integer_, exponent_, text));
  }
  text_pending_ = false;
}

void THashNode::LearnTextInteger() const {
  int64_t n = 0;
  text_integer_ = WrittenWhole(value_, n) ? kInteger : kNotInteger;
  integer_ = n;
}

void THashNode::SetNumber(Number n) {
  if (int64_t whole; WholeBelow1e15(n, whole)) return SetInteger(whole);
  int64_t digits;
  int exponent;
  if (!DigitsAsWritten(n, digits, exponent)) return FormatNumberInto(n, ValueToWrite());
  integer_ = digits;
  exponent_ = static_cast<int8_t>(exponent);
  has_number_ = text_pending_ = true;
}

void THashNode::CopyAttributesFrom(const THashNode& other) {
  if (this == &other) return;
  ValueToWrite() = other.Value();
  has_number_ = other.has_number_;
  integer_ = other.integer_;
  exponent_ = other.exponent_;
  TypeMark = other.TypeMark;
  Kind = other.Kind;
  Command = other.Command;
  Level = other.Level;
  ObjectIndex = other.ObjectIndex;
  Reserved = other.Reserved;
  if (other.more_)
    more_ = std::make_unique<THashNodeMore>(*other.more_);
  else
    more_.reset();
  if (other.Elements) {
    auto copy = std::make_unique<THash>();
    other.Elements->CopyTo(*copy);
    Elements = std::move(copy);
  } else {
    Elements.reset();
  }
}

// Hiragana run after a non-hiragana character is okurigana and is dropped.
void FoldInto(std::string_view name, std::string& out) {
  out.clear();
  bool seen_other = false;
  size_t i = 0;
  while (i < name.size() && name[i] != '\0') {
    size_t len = CharLen(name, i);
    if (len == 1) {
      out += name[i];
      i += 1;
      continue;
    }
    if (!IsHiragana(name.substr(i, 2))) {
      out.append(name.data() + i, 2);
      seen_other = true;
      i += 2;
      continue;
    }
    if (!seen_other) {
      out.append(name.data() + i, 2);
      i += 2;
      continue;
    }
    while (i + 1 < name.size() && CharLen(name, i) == 2 && IsHiragana(name.substr(i, 2))) i += 2;
    seen_other = false;
  }
  if (out.empty()) out.assign(name);
}

std::string Fold(std::string_view name) {
  std::string out;
  FoldInto(name, out);
  return out;
}

THash::THash() {
  Changed();
}
THash::~THash() {
  ReleaseNodes();
  ReleaseIndex();
}

void THash::Changed() {
  // One counter for every table: a table made where another one stood never
  // repeats one of its generations.
  static uint64_t counter = 0;
  generation_ = ++counter;
}

unsigned THash::Bucket(std::string_view name) {
  unsigned sum = 0;
  for (unsigned char c : name) sum += c;
  return sum & 0xFF;
}

namespace {
bool IsQuote(char c) {
  return c == '"' || c == '`';
}

// Names are short: eight bytes at a time are mixed in with a multiplication,
// and the result is stirred so that its low bits (the slot) depend on every
// byte.
size_t NameHashOf(std::string_view name) {
  constexpr uint64_t kOdd = 0x9E3779B97F4A7C15ull;
  const char* p = name.data();
  size_t n = name.size();
  uint64_t h = 0x243F6A8885A308D3ull ^ n;
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * kOdd;
    h ^= h >> 32;
  }
  // The last 0 to 7 bytes: two four-byte reads that overlap cover 4 to 7;
  // the first, middle and last byte cover 1 to 3 (the length is mixed in).
  uint64_t tail = 0;
  if (n >= 4) {
    uint32_t first, last;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    tail = first | (static_cast<uint64_t>(last) << 32);
  } else if (n > 0) {
    auto byte = [&](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])); };
    tail = byte(0) | (byte(n / 2) << 8) | (byte(n - 1) << 16);
  }
  h = (h ^ tail) * kOdd;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<size_t>(h);
}

// A big index is asked for in whole huge pages where the system offers them:
// every lookup in a table of a million words reads a slot at random, and with
// small pages most of those reads would also miss the address cache. (Node
// chunks are read in order and stay in small pages: huge ones cost more in
// page compaction than they save.)
constexpr size_t kHugePage = size_t{2} << 20;

void* AllocateIndex(size_t bytes) {
  if (bytes < kHugePage) return ::operator new(bytes);
  size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* p = std::aligned_alloc(kHugePage, rounded);
  if (!p) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  madvise(p, rounded, MADV_HUGEPAGE);  // advice only: without it pages are small
#endif
  return p;
}

void FreeIndex(void* p, size_t bytes) {
  if (!p) return;
  if (bytes < kHugePage)
    ::operator delete(p);
  else
    std::free(p);
}

size_t ChunkNodes(size_t chunk) {
  return size_t{8} << chunk;
}
}  // namespace

uint32_t THash::MakeNode(THashNode* from) {
  if (!free_numbers_.empty()) {
    uint32_t number = free_numbers_.back();
    free_numbers_.pop_back();
    if (from) *NodeAt(number) = std::move(*from);
    NodeAt(number)->indexed_ = false;
    return number;
  }
  // Numbers + 1 fit a slot's 32 bits, and twice as many slots as nodes
  // stay within 2^32.
  if (made_ >= (uint32_t{1} << 30)) throw std::bad_alloc();
  uint64_t m = uint64_t{made_} + kFirstChunk;
  size_t chunk = static_cast<size_t>(std::bit_width(m)) - std::bit_width(kFirstChunk);
  if (chunk == chunks_.size()) {
    chunks_.reserve(chunk + 1);
    chunks_.push_back(
        static_cast<THashNode*>(::operator new(ChunkNodes(chunk) * sizeof(THashNode))));
  }
  if (from)
    new (NodeAt(made_)) THashNode(std::move(*from));
  else
    new (NodeAt(made_)) THashNode();
  NodeAt(made_)->indexed_ = false;
  return made_++;
}

void THash::DropNode(uint32_t number) {
  THashNode* node = NodeAt(number);
  *node = THashNode();
  free_numbers_.push_back(number);  // room reserved: see Insert
}

void THash::ReleaseNodes() {
  last_found_ = nullptr;
  for (uint32_t n = 0; n < made_; ++n) NodeAt(n)->~THashNode();
  for (size_t k = 0; k < chunks_.size(); ++k) ::operator delete(chunks_[k]);
  chunks_.clear();
  made_ = 0;
  free_numbers_.clear();
}

THash::Slot THash::no_slots_[1] = {0};

void THash::ReleaseIndex() {
  if (capacity_) FreeIndex(slots_, capacity_ * sizeof(Slot));
  slots_ = no_slots_;
  capacity_ = 0;
  mask_ = 0;
  used_slots_ = 0;
}

// The slot holding `name`, or SIZE_MAX when it is not there.
size_t THash::SlotOf(std::string_view name, size_t hash) const {
  uint32_t mask = mask_;
  uint32_t tag = static_cast<uint32_t>(hash) & ~mask;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot s = slots_[i];
    if (!s) return SIZE_MAX;
    if ((s & ~mask) != tag || (s & mask) == mask) continue;
    const std::string& found = NodeAt((s & mask) - 1)->Name;
    if (found.size() == name.size() && SameBytes(found.data(), name.data(), name.size())) return i;
  }
}

void THash::IndexInsert(uint32_t number, size_t hash) {
  // Slots in use (removed ones count) are at most a quarter of a small index,
  // so most searches end at the first or second slot, and at most half of a
  // big one, where every probe misses the cache anyway and size costs more.
  // An empty slot always ends a search.
  constexpr size_t kSmallIndex = size_t{1} << 18;
  size_t limit = capacity_ <= kSmallIndex ? capacity_ / 4 : capacity_ / 2;
  if (used_slots_ + 1 > limit || (size_t{made_} + 1) * 2 > capacity_) {
    size_t live = std::max<size_t>(static_cast<size_t>(count_) + 1, made_);
    size_t capacity = 16;
    while (capacity < live * 2 + 2 || (capacity <= kSmallIndex && capacity < live * 4 + 4))
      capacity *= 2;
    Rehash(capacity);
  }
  uint32_t mask = mask_;
  size_t i = hash & mask;
  while (slots_[i]) i = (i + 1) & mask;
  slots_[i] = (static_cast<uint32_t>(hash) & ~mask) | (number + 1);
  ++used_slots_;
}

void THash::Rehash(size_t capacity) {
  Slot* fresh = static_cast<Slot*>(AllocateIndex(capacity * sizeof(Slot)));
  std::memset(static_cast<void*>(fresh), 0, capacity * sizeof(Slot));
  if (capacity_) FreeIndex(slots_, capacity_ * sizeof(Slot));
  slots_ = fresh;
  capacity_ = capacity;
  mask_ = static_cast<uint32_t>(capacity - 1);
  used_slots_ = 0;
  uint32_t mask = mask_;
  // The slots keep too few bits of a hash to place it again: the names give
  // them, read in the order the nodes lie.
  for (uint32_t n = 0; n < made_; ++n) {
    const THashNode* node = NodeAt(n);
    if (!node->indexed_) continue;
    size_t hash = NameHashOf(node->Name);
    size_t i = hash & mask;
    while (slots_[i]) i = (i + 1) & mask;
    slots_[i] = (static_cast<uint32_t>(hash) & ~mask) | (n + 1);
    ++used_slots_;
  }
}

THashNode* THash::Add(std::unique_ptr<THashNode> node) {
  size_t hash = NameHashOf(node->Name);
  size_t i = SlotOf(node->Name, hash);
  if (i != SIZE_MAX) {
    THashNode& old = *NodeAt(NumberIn(i));
    if (old.Reserved) throw EWordReserved{node->Name};
    // Replace in place so references to the old node stay valid.
    old.CopyAttributesFrom(*node);
    old.Elements = std::move(node->Elements);
    Changed();
    return &old;
  }
  return Insert(MakeNode(node.get()), hash);
}

// Lists and indexes the filled node `number`; on failure the node is dropped.
THashNode* THash::Insert(uint32_t number, size_t hash) {
  THashNode* added = NodeAt(number);
  auto& list = buckets_[Bucket(added->Name)];
  try {
    // Room for the number to come back when the node is removed, so that
    // removing never allocates.
    if (free_numbers_.capacity() < made_)
      free_numbers_.reserve(std::max<size_t>(made_, free_numbers_.capacity() * 2));
    list.push_back(added);
    try {
      IndexInsert(number, hash);
    } catch (...) {
      list.pop_back();
      throw;
    }
  } catch (...) {
    DropNode(number);
    throw;
  }
  added->indexed_ = true;
  ++count_;
  if (!added->Name.empty() && IsQuote(added->Name[0])) ++quoted_names_;
  Changed();
  return added;
}

THashNode* THash::AddVariable(std::string_view name, std::string_view value, std::string_view mark,
                              int32_t level) {
  size_t hash = NameHashOf(name);
  if (SlotOf(name, hash) == SIZE_MAX) {
    // A new name: made in its place.
    uint32_t number = MakeNode();
    THashNode* n = NodeAt(number);
    n->Name = name;
    n->ValueToWrite() = value;
    n->TypeMark = mark;
    n->Level = level;
    return Insert(number, hash);
  }
  auto n = std::make_unique<THashNode>(std::string(name), kWordVariable);
  n->ValueToWrite() = value;
  n->TypeMark = mark;
  n->Level = level;
  return Add(std::move(n));
}

THashNode* THash::FindOrAddVariable(std::string_view name, int32_t level) {
  if (THashNode* last = LastFound(name)) return last;
  size_t hash = NameHashOf(name);
  size_t i = SlotOf(name, hash);
  if (i != SIZE_MAX) return last_found_ = NodeAt(NumberIn(i));
  uint32_t number = MakeNode();
  THashNode* n = NodeAt(number);
  n->Name = name;
  n->Level = level;
  return last_found_ = Insert(number, hash);
}

THashNode* THash::FindExact(std::string_view name) const {
  // A member read with its key written as a literal looks for the literal as
  // written first: a name no word in the table begins like is not looked for.
  if (!name.empty() && IsQuote(name[0]) && quoted_names_ == 0) return nullptr;
  if (THashNode* last = LastFound(name)) return last;
  size_t i = SlotOf(name, NameHashOf(name));
  if (i == SIZE_MAX) return nullptr;
  return last_found_ = NodeAt(NumberIn(i));
}

THashNode* THash::Find(std::string_view name, bool fold) const {
  if (fold) {
    // Every statement's verb is looked up folded: reuse one buffer.
    thread_local std::string folded;
    FoldInto(name, folded);
    if (THashNode* n = FindExact(folded)) return n;
  }
  return FindExact(name);
}

int THash::RemoveExact(std::string_view name) {
  size_t at = SlotOf(name, NameHashOf(name));
  if (at == SIZE_MAX) return 0;
  uint32_t number = NumberIn(at);
  THashNode* node = NodeAt(number);
  slots_[at] = mask_;  // removed
  if (!node->Name.empty() && IsQuote(node->Name[0])) --quoted_names_;
  auto& list = buckets_[Bucket(node->Name)];
  list.erase(std::find(list.begin(), list.end(), node));
  --count_;
  DropNode(number);
  Changed();
  return 1;
}

int THash::Delete(std::string_view name, bool fold) {
  int removed = 0;
  if (fold) removed += RemoveExact(Fold(name));
  removed += RemoveExact(name);
  return removed ? count_ : -1;
}

void THash::Clear() {
  ReleaseIndex();
  for (auto& list : buckets_) list.clear();
  ReleaseNodes();
  count_ = 0;
  quoted_names_ = 0;
  Changed();
}

std::vector<THashNode*> THash::AllNodes() const {
  std::vector<THashNode*> out;
  out.reserve(count_);
  for (const auto& list : buckets_) out.insert(out.end(), list.begin(), list.end());
  return out;
}

std::string THash::NamesText() const {
  std::string out;
  for (THashNode* n : AllNodes()) out += n->Name + "\r\n";
  return Trim(out);
}

std::string THash::PairLines() const {
  std::string out;
  for (THashNode* n : AllNodes()) out += n->Name + "=" + n->Value() + "\r\n";
  return Trim(out);
}

void THash::LoadPairLines(std::string_view text, int32_t level) {
  ForEachPairLine(text, [&](const std::string& key, std::string_view value, std::string_view line) {
    if (!line.empty()) AddVariable(key, value, "s", level);
    return true;
  });
}

std::string THash::ValueOf(std::string_view name, bool fold) const {
  THashNode* n = Find(name, fold);
  return n ? n->Value() : std::string();
}

void THash::CopyTo(THash& dest) const {
  dest.Clear();
  for (THashNode* n : AllNodes()) {
    auto copy = std::make_unique<THashNode>(n->Name, n->Kind);
    copy->CopyAttributesFrom(*n);
    copy->Reserved = false;
    dest.Add(std::move(copy));
  }
}

}  // namespace sorane
