#include "library/library.h"

#include "debug/debug_commands.h"
#include "library/files/text_encoding.h"
#include "library/objects/object_access.h"
#include "library/objects/object_commands.h"
#include "library/vocabulary.h"
#include "runtime/interpreter.h"
#include "runtime/runtime_commands.h"

namespace sorane {

// The packaging layer's family (src/packaging), which sits above the library
// and is linked into the same core.
CommandTable PackagingCommands();
// The mail family (src/net/mail), above the library too.
CommandTable MailCommands();

std::span<const CommandTable> CommandTables() {
  static const CommandTable kTables[] = {
      ProgramCommands(),  ControlCommands(), FunctionCommands(),  ErrorCommands(),
      OutputCommands(),   StringCommands(),  NumberCommands(),    DateCommands(),
      PatternCommands(),  FileCommands(),    FileInfoCommands(),  FileShellCommands(),
      TableCommands(),    HandleCommands(),  DialogCommands(),    TimerCommands(),
      DebugCommands(),    ObjectCommands(),  PackagingCommands(), MailCommands(),
      NotBuiltCommands(),
  };
  return kTables;
}

static void Install(Interpreter& in, bool pure_only) {
  for (CommandTable table : CommandTables()) in.InstallHandlers(table, pure_only);
  in.BuildVocabulary = &BuildVocabulary;
  in.ObjectHooks = &ObjectLayerHooks();
}

void InstallPureLibrary(Interpreter& in) {
  Install(in, true);
}

void InstallLibrary(Interpreter& in) {
  Install(in, false);
  TextEncodingFromEnvironment(in);
}

}  // namespace sorane
