#include "words/hash.h"

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

THash::THash() = default;
THash::~THash() = default;

unsigned THash::Bucket(std::string_view name) {
  unsigned sum = 0;
  for (unsigned char c : name) sum += c;
  return sum & 0xFF;
}

int THash::FindIndex(unsigned bucket, std::string_view name) const {
  const auto& list = buckets_[bucket];
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i]->Name == name) return static_cast<int>(i);
  return -1;
}

THashNode* THash::Add(std::unique_ptr<THashNode> node) {
  unsigned b = Bucket(node->Name);
  int i = FindIndex(b, node->Name);
  if (i >= 0) {
    THashNode& old = *buckets_[b][i];
    if (old.Reserved) throw EWordReserved{node->Name};
    // Replace in place so references to the old node stay valid.
    old.CopyAttributesFrom(*node);
    old.Elements = std::move(node->Elements);
    return &old;
  }
  buckets_[b].push_back(std::move(node));
  ++count_;
  return buckets_[b].back().get();
}

THashNode* THash::AddVariable(std::string_view name, std::string_view value, std::string_view mark,
                              int32_t level) {
  auto n = std::make_unique<THashNode>(std::string(name), kWordVariable);
  n->Value = value;
  n->TypeMark = mark;
  n->Level = level;
  return Add(std::move(n));
}

THashNode* THash::FindExact(std::string_view name) const {
  unsigned b = Bucket(name);
  int i = FindIndex(b, name);
  return i < 0 ? nullptr : buckets_[b][i].get();
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
  unsigned b = Bucket(name);
  int i = FindIndex(b, name);
  if (i < 0) return 0;
  buckets_[b].erase(buckets_[b].begin() + i);
  --count_;
  return 1;
}

int THash::Delete(std::string_view name, bool fold) {
  int removed = 0;
  if (fold) removed += RemoveExact(Fold(name));
  removed += RemoveExact(name);
  return removed ? count_ : -1;
}

void THash::Clear() {
  for (auto& list : buckets_) list.clear();
  count_ = 0;
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
