#include "debug/editor_link.h"

namespace sorane {

EditorLinkHooks& GetEditorLinkHooks() {
  static EditorLinkHooks hooks;
  return hooks;
}

// Kept here, in the core, so the window module counts its dialogs in the same place.
static int g_open_debug_dialogs = 0;

DebugDialogShown::DebugDialogShown() {
  ++g_open_debug_dialogs;
}

DebugDialogShown::~DebugDialogShown() {
  --g_open_debug_dialogs;
}

bool DebugDialogShown::Any() {
  return g_open_debug_dialogs > 0;
}

std::shared_ptr<void> ServeEditorLink(Interpreter& in) {
  auto serve = GetEditorLinkHooks().serve;
  return serve ? serve(in) : nullptr;
}

void SyncEditor(Interpreter& in) {
  if (auto send = GetEditorLinkHooks().send_row) send(in);
}

}  // namespace sorane
