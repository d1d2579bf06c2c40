// The object commands: creating and placing objects, their properties through
// commands, focus, parents, centring and destruction.
#include "library/objects/object_commands.h"

#include "library/objects/backend.h"
#include "library/objects/kinds.h"
#include "library/objects/object_access.h"
#include "library/objects/object_store.h"
#include "library/objects/parse.h"
#include "library/objects/properties.h"
#include "library/output/output.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

const std::string& NotCreated() {
  return SJ("オブジェクト\"%s\"は、作成されていません。");
}
const std::string& NotAnObject() {
  return SJ("\"%s\"は、オブジェクトではありません。");
}

// A coordinate argument: a list of values (a group "(x,y)" arrives without its
// parentheses) is taken as written; anything else is evaluated first.
std::string CoordinateArgument(Call& c, size_t k) {
  const std::string& raw = c.Raw(k);
  if (SplitCoordinateItems(raw).size() >= 2) return raw;
  return c.Text(k);
}

// A property name as written; a variable holding one names it too.
std::string PropertyNameArgument(Call& c, size_t k) {
  std::string name = c.Name(k);
  if (FindProperty(name)) return name;
  THashNode* w = c.in.S.Words.FindExact(name);
  return w && w->Kind == kWordVariable ? w->Value() : name;
}

// A kind name as written; a variable holding one names it too.
std::string KindNameArgument(Call& c, size_t k) {
  std::string name = c.Name(k);
  if (FindKind(name)) return name;
  THashNode* w = c.in.S.Words.FindExact(name);
  return w && w->Kind == kWordVariable ? w->Value() : name;
}

}  // namespace

void CreateNamedObject(Interpreter& in, const std::string& name, const std::string& kind_name,
                       const std::optional<std::string>& coordinates) {
  // An object without a name could never be reached again (an empty record
  // name marks a destroyed object).
  if (name.empty()) in.Raise(msg::BadArgument() + SJ("オブジェクト名がありません。"), SJ("作成"));
  if (in.S.Words.FindExact(name))
    in.Raise(SJ("オブジェクト\"%s\"は、既に存在するので、作成できません。"), name);
  Point at{in.S.CursorX, in.S.CursorY};
  if (coordinates && !TryParsePoint(in, *coordinates, at))
    in.Raise(
        Format(SJ("オブジェクト\"%s\"は、未定義なので、作成できません。座標指定に誤りがあります。"),
               name) +
        "\"" + *coordinates + "\"");
  const KindRow* kind = FindKind(kind_name);
  if (!kind || !kind->creatable)
    in.Raise(SJ("オブジェクト\"%s\"は、未定義なので、作成できません。"), kind_name);

  ObjectBackend& b = Backend(in);
  NewObject created;
  created.index = in.S.Objects.Count();
  created.kind = kind->kind;
  created.caption = DefaultCaption(name, kind->kind);
  created.font = CurrentTextFont(in);
  // A host without widgets (the console) cannot show objects: say so rather
  // than keep a record no widget stands behind.
  if (!b.CreateObject(created))
    in.Raise(SJ("オブジェクト\"%s\"は、作成できません。この実行環境には\"%s\"の部品がありません。"),
             name, KindName(kind->kind));
  const int index = created.index;
  if (kind->kind != ObjKind::kForm) {
    // Placed at the cursor (or given point), centred when センタリング is on;
    // the next object goes below it. The cursor's x stays.
    ObjBounds r = b.Bounds(index);
    r.left = in.S.Centring ? (b.ParentClientWidth(index) - r.width) / 2 : at.x;
    r.top = at.y;
    b.SetBounds(index, r);
    b.SetVisible(index, true);
    in.S.CursorY = PlacementGap(in) + at.y + r.height;
    if (kind->kind == ObjKind::kButton) {
      // Wide enough for its caption at the width of "W" per byte.
      int wide = b.HostFontTextWidth("W") * static_cast<int>(created.caption.size());
      if (wide > r.width) {
        r.width = wide;
        b.SetBounds(index, r);
      }
    }
  }
  RegisterObject(in, index, name, kind->kind);
}

namespace {

// 作成 (?に,?を,?として): without coordinates (the binder supplied それ) the
// object goes where the cursor is.
void CmdCreate(Call& c) {
  Interpreter& in = c.in;
  bool omitted = in.S.SoreImplied;
  std::string kind = KindNameArgument(c, 2);
  std::string name = ObjectNameArgument(c, 1);
  std::optional<std::string> at;
  if (!omitted) at = CoordinateArgument(c, 0);
  CreateNamedObject(in, name, kind, at);
}

// メニュー objects come from メニュー作成, called with the name as its argument
// (a quoted literal, so the name is never read as program text).
void MakeMenu(Interpreter& in, const std::string& name) {
  THashNode* command = in.S.Words.Find(SJ("メニュー作成"), true);
  if (!command || command->Kind != kWordCommand) in.Raise(msg::LinkBroken(), SJ("メニュー作成"));
  CommandHandler handler = in.HandlerOf(command->Command);
  if (!handler) in.Raise(msg::LinkBroken(), command->Name);
  in.S.ArgStack.Push(Requote(name));
  in.S.SoreImplied = false;
  Call call(in, *command, 1);
  handler(call);
}

// 作る (?を): the kind is guessed from the end of the name; a name that ends
// in no kind becomes a ボタン, one that ends in メニュー a menu item.
void CmdMake(Call& c) {
  Interpreter& in = c.in;
  std::string name = Trim(c.Text(0));
  if (name.empty()) in.Raise(msg::BadArgument() + SJ("オブジェクト名がありません。"), c.cmd.Name);
  const KindRow* kind = GuessKind(name);
  if (!kind || kind->kind == ObjKind::kMenu) {
    if (EndsWithChars(name, SJ("メニュー"))) return MakeMenu(in, name);
    kind = &KindRowOf(ObjKind::kButton);
  }
  CreateNamedObject(in, name, KindName(kind->kind), std::nullopt);
}

// 設定 (?の,?を,?に)
void CmdSet(Call& c) {
  FoundObject object = ObjectByWord(c.in, ObjectNameArgument(c, 0), MissingWord::kNotCreated);
  SetPropertyOf(c.in, object, PropertyNameArgument(c, 1), c.Raw(2));
}

// 得る (?の,?を,?に): the value goes into the variable the third argument
// names, made at the current depth when missing.
void CmdGet(Call& c) {
  Interpreter& in = c.in;
  FoundObject object = ObjectByWord(in, ObjectNameArgument(c, 0), MissingWord::kUndefined);
  PropertyRead read = GetPropertyOf(in, object, PropertyNameArgument(c, 1));
  std::string target = c.Name(2);
  THashNode* w = in.S.Words.Find(target, true);
  if (!w) w = in.AddVariable(target);
  if (w->Reserved) in.Raise(msg::ReadOnly(), target);
  switch (w->Kind) {
    case kWordObject:  // an object takes the value as its default value
      return SetDefaultOf(in, w, read.text);
    case kWordHash:
      w->Kind = kWordVariable;
      w->Elements.reset();
      break;
    default:
      break;
  }
  w->ValueToWrite() = std::move(read.text);
  if (read.mark) w->TypeMark = read.mark;
}

// オブジェクト破壊 (?の): the host window stays; an object word whose object
// is already gone is only deleted.
void CmdDestroy(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  THashNode* w = in.S.Words.Find(name, true);
  if (!w) in.Raise(msg::ObjectNotFound(), name);
  if (w->Kind != kWordObject) in.Raise(NotAnObject(), name);
  int index = w->ObjectIndex;
  if (index == 0) return;
  if (in.S.Objects.Get(index)) return DestroyObject(in, index);
  // そ and イベントオブジェクト are system variables: they stay.
  if (w->Level >= 0 && !w->Reserved) in.S.Words.Delete(w->Name, false);
}

// オブジェクト全破壊: every object but the host window, with its word.
void CmdDestroyAll(Call& c) {
  Interpreter& in = c.in;
  for (int i = 1; i < in.S.Objects.Count(); ++i) DestroyObject(in, i);
}

// The object a record name names (no folding); 注目 alone also tries the
// argument's value.
TObjNode& ObjectByRecordName(Call& c, bool evaluate) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  TObjNode* node = in.S.Objects.FindByName(name);
  if (!node && evaluate) node = in.S.Objects.FindByName(c.Text(0));
  if (!node || name.empty()) in.Raise(NotCreated(), name);
  return *node;
}

// 注目 (?に)
void CmdFocus(Call& c) {
  TObjNode& node = ObjectByRecordName(c, true);
  if (!Backend(c.in).Focus(node.ObjectIndex))
    c.in.Raise(SJ("\"%s\"には、注目できません。"), node.Name);
}

// 中央へ移動 (?を)
void CmdCentre(Call& c) {
  Backend(c.in).CenterInParent(ObjectByRecordName(c, false).ObjectIndex);
}

// 乗せ換える / 乗せる (?を,?の上へ): onto a フォーム or パネル that is not the
// object itself nor inside it.
void CmdReparent(Call& c) {
  Interpreter& in = c.in;
  std::string object_name = c.Name(0);
  std::string parent_name = c.Name(1);
  THashNode* parent_word = in.S.Words.Find(parent_name, true);
  THashNode* object_word = in.S.Words.Find(object_name, true);
  if (!parent_word || !object_word) c.BadArgument();
  if (parent_word->Kind != kWordObject) in.Raise(NotAnObject(), parent_name);
  if (object_word->Kind != kWordObject) in.Raise(NotAnObject(), object_name);
  TObjNode& parent = ObjectOfWord(in, parent_word);
  TObjNode& object = ObjectOfWord(in, object_word);
  if (!KindRowOf(parent.Kind).container)
    in.Raise(msg::BadArgument() + SJ("パネルとフォーム以外には乗せられません。"), parent_name);
  if (WouldContainItself(in, object.ObjectIndex, parent.ObjectIndex) ||
      !Backend(in).SetParent(object.ObjectIndex, parent.ObjectIndex))
    in.Raise(object_name + SJ("を、") + parent_name + SJ("へ、親変更に失敗。"));
  object.Parent = parent.ObjectIndex;
}

}  // namespace

CommandTable ObjectCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Create, "作成", "?に,?を,?として", CmdCreate, kActs},
      {CommandId::SetProperty, "設定", "?の,?を,?に", CmdSet, kActs},
      {CommandId::GetProperty, "得る", "?の,?を,?に", CmdGet, kActs},
      {CommandId::DestroyObject, "オブジェクト破壊", "?の", CmdDestroy, kActs},
      {CommandId::Focus, "注目", "?に", CmdFocus, kActs},
      {CommandId::DestroyAllObjects, "オブジェクト全破壊", "", CmdDestroyAll, kActs},
      {CommandId::MoveToCentre, "中央へ移動", "?を", CmdCentre, kActs},
      {CommandId::Reparent, "乗せ換える", "?を,?の上へ", CmdReparent, kActs},
      {CommandId::Reparent, "乗せる", "?を,?へ", CmdReparent, kActs},
      {CommandId::MakeObject, "作る", "?を", CmdMake, kActs},
  };
  return kRows;
}

}  // namespace sorane
