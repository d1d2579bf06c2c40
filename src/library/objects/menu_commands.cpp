// Menus, the tray icon, the cursor, z-order and the Tエディタ settings.
#include "library/objects/menu_commands.h"

#include "library/objects/backend.h"
#include "library/objects/kinds.h"
#include "library/objects/object_store.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/encoding.h"

namespace sorane {

WindowExtras* ExtrasOf(Interpreter& in) {
  return dynamic_cast<WindowExtras*>(&in.host);
}

std::string EditorSettingKey(const std::string& name) {
  return "sorane" + name;
}

namespace {

// A menu item named `name` in the menu bar, or under the item `parent` (>= 0).
// A variable of the script of that name gives way to the item; any other word
// stops it, a system variable too (そ and its kind hold the run's own state).
void CreateMenuItem(Call& c, const std::string& name, int parent) {
  Interpreter& in = c.in;
  if (name.empty()) in.Raise(msg::BadArgument() + SJ("オブジェクト名がありません。"), c.cmd.Name);
  if (THashNode* w = in.S.Words.FindExact(name)) {
    if (w->Reserved) in.Raise(msg::ReadOnly(), name);
    if (w->Kind != kWordVariable || w->Level < 0)
      in.Raise(SJ("オブジェクト\"%s\"は、既に存在するので、作成できません。"), name);
  }
  ObjectBackend& b = Backend(in);
  NewObject created;
  created.index = in.S.Objects.Count();
  created.kind = ObjKind::kMenu;
  created.caption = DefaultCaption(name, ObjKind::kMenu);
  if (!b.CreateObject(created))
    in.Raise(SJ("オブジェクト\"%s\"は、作成できません。この実行環境には\"%s\"の部品がありません。"),
             name, KindName(ObjKind::kMenu));
  if (parent >= 0 && !b.SetParent(created.index, parent)) {
    b.DestroyObject(created.index);
    in.Raise(name + SJ("を、") + in.S.Objects.Get(parent)->Name + SJ("へ、親変更に失敗。"));
  }
  // The object word replaces the variable in place.
  RegisterObject(in, created.index, name, ObjKind::kMenu);
  if (parent >= 0) in.S.Objects.Get(created.index)->Parent = parent;
}

// メニュー作成 (?を): the caption is the name without a final "メニュー".
void CmdMenuCreate(Call& c) {
  CreateMenuItem(c, ObjectNameArgument(c, 0), -1);
}

// メニュー追加 (?に,?を): under a menu item found by its record name.
void CmdMenuAdd(Call& c) {
  Interpreter& in = c.in;
  std::string parent_name = c.Name(0);
  std::string name = ObjectNameArgument(c, 1);
  TObjNode* parent = in.S.Objects.FindByName(parent_name);
  if (!parent || parent_name.empty())
    in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), parent_name);
  if (parent->Kind != ObjKind::kMenu)
    in.Raise(msg::BadArgument() + SJ("メニューの下にだけ追加できます。"), c.cmd.Name);
  CreateMenuItem(c, name, parent->ObjectIndex);
}

// タスクトレイへアイコン表示 (?)
void CmdTrayIcon(Call& c) {
  bool show = c.Num(0) != 0;
  if (WindowExtras* x = ExtrasOf(c.in)) x->ShowTrayIcon(show);
}

// カーソル表示 (?)
void CmdShowCursor(Call& c) {
  bool show = c.Num(0) != 0;
  if (WindowExtras* x = ExtrasOf(c.in)) x->ShowCursor(show);
}

// 最前面 / 最背面 (?を): the object by its record name.
template <bool kFront>
void CmdZOrder(Call& c) {
  std::string name = c.Name(0);
  TObjNode* node = c.in.S.Objects.FindByName(name);
  if (!node || name.empty()) c.in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), name);
  WindowExtras* x = ExtrasOf(c.in);
  if (!x) return;
  if (kFront)
    x->BringToFront(node->ObjectIndex);
  else
    x->SendToBack(node->ObjectIndex);
}

// The Tエディタ object a settings command names (found as a word).
TObjNode& EditorObject(Call& c) {
  FoundObject found = ObjectByWord(c.in, ObjectNameArgument(c, 0), MissingWord::kNotCreated);
  if (found.node->Kind != ObjKind::kTEditor)
    c.in.Raise(msg::BadArgument() + SJ("Tエディタ以外には使えません。"), c.cmd.Name);
  return *found.node;
}

// Tエディタ設定 (?の)
void CmdEditorSettings(Call& c) {
  TObjNode& node = EditorObject(c);
  if (WindowExtras* x = ExtrasOf(c.in)) x->EditorSettingsDialog(node.ObjectIndex);
}

// Tエディタ設定を保存 (?を,?へ): one INI section named after the object, each
// setting under its name with "sorane" before it; the rest of the file stays.
void CmdEditorSettingsSave(Call& c) {
  Interpreter& in = c.in;
  TObjNode& node = EditorObject(c);
  const int index = node.ObjectIndex;
  const std::string section = node.Name;
  std::string file = c.Text(1);
  if (!SecurityCheck(in, file, SJ("エディタの設定を、\"") + file + SJ("\"に書きこみます。")))
    return;
  WindowExtras* x = ExtrasOf(in);
  if (!x) return;
  std::string text;
  if (!ReadFileBytes(file, text) && FileExists(file)) in.Raise(msg::FileFailure(), file);
  IniText ini(std::move(text));
  for (const auto& [name, value] : x->GetEditorSettings(index))
    if (!ini.Write(section, EditorSettingKey(name), value)) in.Raise(msg::FileFailure(), file);
  if (!WriteFileAtomic(file, ini.Text())) in.Raise(msg::FileFailure(), file);
}

// Tエディタ設定を読込 (?を,?から): the settings the file holds for the object
// are applied; a missing file changes nothing.
void CmdEditorSettingsLoad(Call& c) {
  Interpreter& in = c.in;
  TObjNode& node = EditorObject(c);
  const int index = node.ObjectIndex;
  const std::string section = node.Name;
  std::string file = ResolveFileName(in, c.Text(1));
  WindowExtras* x = ExtrasOf(in);
  std::string text;
  if (!x || !FileExists(file)) return;
  if (!ReadFileBytes(file, text)) in.Raise(msg::FileFailure(), file);
  IniText ini(std::move(text));
  WindowExtras::EditorSettings found;
  for (const auto& [name, value] : x->GetEditorSettings(index))
    if (std::optional<std::string> v = ini.Read(section, EditorSettingKey(name)))
      found.emplace_back(name, *v);
  x->SetEditorSettings(index, found);
}

}  // namespace

CommandTable MenuCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::MenuCreate, "メニュー作成", "?を", CmdMenuCreate, kActs},
      {CommandId::MenuAdd, "メニュー追加", "?に,?を", CmdMenuAdd, kActs},
      {CommandId::TrayIcon, "タスクトレイへアイコン表示", "?", CmdTrayIcon, kActs},
      {CommandId::ShowCursor, "カーソル表示", "?", CmdShowCursor, kActs},
      {CommandId::BringToFront, "最前面", "?を", CmdZOrder<true>, kActs},
      {CommandId::SendToBack, "最背面", "?を", CmdZOrder<false>, kActs},
      {CommandId::EditorSettings, "Tエディタ設定", "?の", CmdEditorSettings, kActs},
      {CommandId::EditorSettingsSave, "Tエディタ設定を保存", "?を,?へ", CmdEditorSettingsSave,
       kActs},
      {CommandId::EditorSettingsLoad, "Tエディタ設定を読込", "?を,?から", CmdEditorSettingsLoad,
       kActs},
  };
  return kRows;
}

}  // namespace sorane
