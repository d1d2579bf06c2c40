// The window's menus and its other services beside the objects' widgets:
// メニュー作成, メニュー追加, タスクトレイへアイコン表示, カーソル表示, 最前面,
// 最背面 and the settings commands of Tエディタ objects (Tエディタ設定,
// Tエディタ設定を保存, Tエディタ設定を読込). Qt-free.
//
// Menu items are objects of kind メニュー whose widgets the object backend
// builds like any other: a new item goes into the host window's menu bar,
// and メニュー追加 then puts it under its parent item (ObjectBackend::SetParent).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/command.h"

namespace sorane {

class Interpreter;

// What a windowed host offers besides the widgets of objects. A host offers
// it by deriving from WindowExtras as well as from Host; with a host that does
// not (the console), the tray and cursor commands do nothing.
class WindowExtras {
 public:
  virtual ~WindowExtras() = default;

  // タスクトレイへアイコン表示: shows the notification-area icon or removes it.
  virtual void ShowTrayIcon(bool show) = 0;
  // カーソル表示: one show or one hide; they are counted, so two hides need
  // two shows.
  virtual void ShowCursor(bool show) = 0;
  // 最前面 / 最背面 of an object: a フォーム stays above other windows (or no
  // longer does), any other object goes to the front (back) of its parent.
  virtual void BringToFront(int index) = 0;
  virtual void SendToBack(int index) = 0;

  // The settings of a Tエディタ object (font, colours, tab width, ...) as
  // names and value texts.
  using EditorSettings = std::vector<std::pair<std::string, std::string>>;
  virtual EditorSettings GetEditorSettings(int index) = 0;
  // Applies the settings given; names it does not know are left alone.
  virtual void SetEditorSettings(int index, const EditorSettings& settings) = 0;
  // The editor's settings dialog; they change when it is accepted.
  virtual void EditorSettingsDialog(int index) = 0;
};

// The run's host as WindowExtras; nullptr when it offers none.
WindowExtras* ExtrasOf(Interpreter& in);

// The key of an editor setting in a settings file: the name after "sorane".
std::string EditorSettingKey(const std::string& name);

CommandTable MenuCommands();

}  // namespace sorane
