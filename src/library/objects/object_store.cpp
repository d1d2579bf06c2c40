// Object records, object words and そ.
#include "library/objects/object_store.h"

#include "library/objects/backend.h"
#include "library/objects/kinds.h"
#include "library/objects/properties.h"
#include "runtime/command.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

ObjectBackend& Backend(Interpreter& in) {
  return in.host.Objects();
}

void RememberObject(Interpreter& in, const THashNode& word) {
  THashNode* so = in.S.Fast.So;
  if (!so || so == &word) return;
  so->ValueToWrite() = word.Value();
  so->TypeMark = word.TypeMark;
  so->Kind = word.Kind;
  so->ObjectIndex = word.ObjectIndex;
  so->MoreToWrite().RefPos = word.More().RefPos;
  so->MoreToWrite().RefText = word.More().RefText;
}

std::string ObjectNameArgument(Call& c, size_t k) {
  const std::string& raw = c.Raw(k);
  if (!raw.empty() && (raw[0] == '"' || raw[0] == '`')) return c.Text(k);
  return raw;
}

FoundObject ObjectByWord(Interpreter& in, const std::string& name, MissingWord missing) {
  THashNode* w = in.S.Words.Find(name, true);
  if (!w) {
    switch (missing) {
      case MissingWord::kNotCreated:
        in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), name);
      case MissingWord::kUndefined:
        in.Raise(SJ("単語\"%s\"は、定義されていません。"), name);
      case MissingWord::kNotFound:
        in.Raise(SJ("オブジェクト\"%s\"が特定できません。"), name);
    }
  }
  if (w->Kind != kWordObject) in.Raise(SJ("\"%s\"は、オブジェクトではありません。"), name);
  return {w, &ObjectOfWord(in, w)};
}

TObjNode& LiveObject(Interpreter& in, int index, const std::string& name) {
  TObjNode* node = in.S.Objects.Get(index);
  if (!node || node->Name.empty()) in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), name);
  return *node;
}

void RegisterObject(Interpreter& in, int index, const std::string& name, ObjKind kind) {
  auto node = std::make_unique<TObjNode>();
  node->Name = name;
  node->Kind = kind;
  node->ObjectIndex = index;
  node->Parent = kind == ObjKind::kForm ? -1 : 0;
  in.S.Objects.Add(std::move(node));

  auto word = std::make_unique<THashNode>(name, kWordObject);
  word->ObjectIndex = index;
  word->TypeMark = KindName(kind);
  word->MoreToWrite().RefPos = in.S.ExecPos.p;
  word->MoreToWrite().RefText = in.S.ExecPos.text;
  RememberObject(in, *in.S.Words.Add(std::move(word)));
}

// The record's own word: the word of its name while it still names this object.
// System variables that copied it (そ, イベントオブジェクト) are never deleted.
static void DeleteObjectWord(Interpreter& in, const std::string& name, int index) {
  THashNode* w = in.S.Words.FindExact(name);
  if (w && w->Kind == kWordObject && w->ObjectIndex == index && w->Level >= 0 && !w->Reserved)
    in.S.Words.Delete(name, false);
}

void DestroyObject(Interpreter& in, int index) {
  if (index <= 0) return;
  TObjNode* node = in.S.Objects.Get(index);
  if (!node) return;
  in.CheckStack();
  // The name is taken before the record goes: it names the word to delete.
  std::string name = node->Name;
  if (KindRowOf(node->Kind).container)
    for (int i = 1; i < in.S.Objects.Count(); ++i) {
      TObjNode* inner = in.S.Objects.Get(i);
      if (inner && i != index && inner->Parent == index) DestroyObject(in, i);
    }
  Backend(in).DestroyObject(index);
  in.S.Objects.Put(index, nullptr);
  DeleteObjectWord(in, name, index);
}

bool WouldContainItself(Interpreter& in, int object, int parent) {
  // Parents form chains without cycles (every move is checked here), so the
  // walk ends; the count bounds it all the same.
  for (int p = parent, steps = 0; p >= 0 && steps <= in.S.Objects.Count(); ++steps) {
    if (p == object) return true;
    TObjNode* node = in.S.Objects.Get(p);
    if (!node) return false;
    p = node->Parent;
  }
  return false;
}

int PlacementGap(Interpreter& in) {
  THashNode* w = in.S.Words.FindExact(SJ("部品配置間隔"));
  int64_t gap = 0;
  if (!w || !ReadIntegerText(w->Value(), gap)) return 8;
  return static_cast<int>(gap);
}

}  // namespace sorane
