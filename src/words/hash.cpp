#include "words/hash.h"

#include <cstring>

#include "text/sjis.h"

namespace sorane {

void THashNode::CopyAttributesFrom(const THashNode& other) {
  if (this == &other) return;
  Template = other.Template;
  Value = other.Value;
  TypeMark = other.TypeMark;
  Kind = other.Kind;
  Owner = other.Owner;
  Command = other.Command;
  Level = other.Level;
  ObjectIndex = other.ObjectIndex;
  RefPos = other.RefPos;
  RefText = other.RefText;
  HandleStream = other.HandleStream;
  Reserved = other.Reserved;
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
THash::~THash() = default;

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

THashNode* const kRemoved = reinterpret_cast<THashNode*>(alignof(THashNode));

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
  uint64_t tail = 0;
  for (size_t i = 0; i < n; ++i)
    tail |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  h = (h ^ tail) * kOdd;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<size_t>(h);
}
}  // namespace

// The slot holding `name`, or the index past the array when it is not there.
size_t THash::SlotOf(std::string_view name, size_t hash) const {
  if (slots_.empty()) return SIZE_MAX;
  size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!s.node) return SIZE_MAX;
    if (s.node != kRemoved && s.hash == hash && s.node->Name == name) return i;
  }
}

void THash::IndexInsert(THashNode* node, size_t hash) {
  // At most half the slots in use (removed ones count), so probes stay short
  // and an empty slot always ends a search.
  if ((used_slots_ + 1) * 2 > slots_.size()) {
    size_t live = static_cast<size_t>(count_) + 1;
    size_t capacity = 16;
    while (capacity < live * 4) capacity *= 2;
    Rehash(capacity);
  }
  size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].node) i = (i + 1) & mask;
  slots_[i] = Slot{hash, node};
  ++used_slots_;
}

void THash::Rehash(size_t capacity) {
  std::vector<Slot> old(capacity);
  old.swap(slots_);
  used_slots_ = 0;
  size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (!s.node || s.node == kRemoved) continue;
    size_t i = s.hash & mask;
    while (slots_[i].node) i = (i + 1) & mask;
    slots_[i] = s;
    ++used_slots_;
  }
}

THashNode* THash::Add(std::unique_ptr<THashNode> node) {
  size_t hash = NameHashOf(node->Name);
  size_t i = SlotOf(node->Name, hash);
  if (i != SIZE_MAX) {
    THashNode& old = *slots_[i].node;
    if (old.Reserved) throw EWordReserved{node->Name};
    // Replace in place so references to the old node stay valid.
    old.CopyAttributesFrom(*node);
    old.Elements = std::move(node->Elements);
    Changed();
    return &old;
  }
  return Insert(std::move(node), hash);
}

THashNode* THash::Insert(std::unique_ptr<THashNode> node, size_t hash) {
  THashNode* added = node.get();
  auto& list = buckets_[Bucket(added->Name)];
  list.push_back(std::move(node));
  try {
    IndexInsert(added, hash);
  } catch (...) {
    list.pop_back();
    throw;
  }
  ++count_;
  if (!added->Name.empty() && IsQuote(added->Name[0])) ++quoted_names_;
  Changed();
  return added;
}

THashNode* THash::AddVariable(std::string_view name, std::string_view value, std::string_view mark,
                              int32_t level) {
  auto n = std::make_unique<THashNode>(std::string(name), kWordVariable);
  n->Value = value;
  n->TypeMark = mark;
  n->Level = level;
  return Add(std::move(n));
}

THashNode* THash::AddMissingVariable(std::string_view name, int32_t level) {
  auto n = std::make_unique<THashNode>(std::string(name), kWordVariable);
  n->Level = level;
  size_t hash = NameHashOf(n->Name);
  return Insert(std::move(n), hash);
}

THashNode* THash::FindExact(std::string_view name) const {
  // A member read with its key written as a literal looks for the literal as
  // written first: a name no word in the table begins like is not looked for.
  if (!name.empty() && IsQuote(name[0]) && quoted_names_ == 0) return nullptr;
  size_t i = SlotOf(name, NameHashOf(name));
  return i == SIZE_MAX ? nullptr : slots_[i].node;
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
  THashNode* node = slots_[at].node;
  slots_[at].node = kRemoved;
  if (!node->Name.empty() && IsQuote(node->Name[0])) --quoted_names_;
  auto& list = buckets_[Bucket(node->Name)];
  for (auto i = list.begin(); i != list.end(); ++i) {
    if (i->get() == node) {
      list.erase(i);
      break;
    }
  }
  --count_;
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
  slots_.clear();
  used_slots_ = 0;
  for (auto& list : buckets_) list.clear();
  count_ = 0;
  quoted_names_ = 0;
  Changed();
}

std::vector<THashNode*> THash::AllNodes() const {
  std::vector<THashNode*> out;
  out.reserve(count_);
  for (const auto& list : buckets_)
    for (const auto& n : list) out.push_back(n.get());
  return out;
}

std::string THash::NamesText() const {
  std::string out;
  for (THashNode* n : AllNodes()) out += n->Name + "\r\n";
  return Trim(out);
}

std::string THash::PairLines() const {
  std::string out;
  for (THashNode* n : AllNodes()) out += n->Name + "=" + n->Value + "\r\n";
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
  return n ? n->Value : std::string();
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
