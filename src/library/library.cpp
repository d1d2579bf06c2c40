#include "library/library.h"

#include "debug/debug_commands.h"
#include "library/files/text_encoding.h"
#include "library/media/media_commands.h"
#include "library/objects/menu_commands.h"
#include "library/objects/object_access.h"
#include "library/objects/object_commands.h"
#include "library/vocabulary.h"
#include "runtime/interpreter.h"
#include "runtime/runtime_commands.h"

namespace sorane {

// The families of the layers above the library (src/packaging, src/net), which
// are linked into the same core; only their tables are listed here.
CommandTable PackagingCommands();
CommandTable TcpCommands();
CommandTable FtpHttpCommands();
CommandTable MailCommands();
// The DLL family (src/interop/dll), likewise above the library and in the
// core, and the call of a declared DLL function word.
CommandTable DllCommands();
void CallDllFunction(Interpreter& in, THashNode* word);
// The archiver family (src/interop/archive), linked into the same core.
CommandTable ArchiveCommands();
// Other windows, the network neighbourhood and the machine (src/interop/desktop).
CommandTable DesktopCommands();
// The DDE family (src/interop/dde), linked into the same core.
CommandTable DdeCommands();
// The office family (src/interop/office), linked into the same core.
CommandTable OfficeCommands();

// One table per line; the not-built rows stay last.
std::span<const CommandTable> CommandTables() {
  // clang-format off
  static const CommandTable kTables[] = {
      ProgramCommands(),
      ControlCommands(),
      FunctionCommands(),
      ErrorCommands(),
      OutputCommands(),
      StringCommands(),
      NumberCommands(),
      DateCommands(),
      PatternCommands(),
      FileCommands(),
      FileInfoCommands(),
      FileShellCommands(),
      TableCommands(),
      HandleCommands(),
      DialogCommands(),
      TimerCommands(),
      DebugCommands(),
      ObjectCommands(),
      PackagingCommands(),
      TcpCommands(),
      FtpHttpCommands(),
      MailCommands(),
      DllCommands(),
      DrawingCommands(),
      MediaCommands(),
      MenuCommands(),
      ArchiveCommands(),
      DesktopCommands(),
      DdeCommands(),
      OfficeCommands(),
  };
  // clang-format on
  return kTables;
}

static void Install(Interpreter& in, bool pure_only) {
  for (CommandTable table : CommandTables()) in.InstallHandlers(table, pure_only);
  static const bool forms =
      (RegisterNumericForms(NumberNumericForms()), RegisterNumericForms(StringNumericForms()),
       true);  // once
  (void)forms;
  in.BuildVocabulary = &BuildVocabulary;
  in.ObjectHooks = &ObjectLayerHooks();
  in.CallDll = &CallDllFunction;
}

void InstallPureLibrary(Interpreter& in) {
  Install(in, true);
}

void InstallLibrary(Interpreter& in) {
  Install(in, false);
  TextEncodingFromEnvironment(in);
}

}  // namespace sorane
