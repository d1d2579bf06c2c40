// The link between the debug dialog and the script editor: the run-time
// serves its own topic "command" for the whole run, and the dialog's editor
// button tells the editor the current line. The transport lives in a layer
// above this one, which installs the hooks at process start; without them
// there is no link and the button does nothing.
#pragma once

#include <memory>

namespace sorane {

class Interpreter;

struct EditorLinkHooks {
  // Starts serving the run-time's topic for `in`; serving stops when the
  // returned object goes.
  std::shared_ptr<void> (*serve)(Interpreter& in) = nullptr;
  // Sends "row " + the current line to the editor.
  void (*send_row)(Interpreter& in) = nullptr;
};
EditorLinkHooks& GetEditorLinkHooks();

// Marks a debug dialog as open for its lifetime; each host's DebugDialog holds one:
// an editor's request to pause while one is open is ignored.
class DebugDialogShown {
 public:
  DebugDialogShown();
  ~DebugDialogShown();
  DebugDialogShown(const DebugDialogShown&) = delete;
  DebugDialogShown& operator=(const DebugDialogShown&) = delete;
  static bool Any();
};

// Serving for the run (null without a link); kept by the host until the run ends.
std::shared_ptr<void> ServeEditorLink(Interpreter& in);
// The editor button: the current line to the editor.
void SyncEditor(Interpreter& in);

}  // namespace sorane
