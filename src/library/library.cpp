#include "library/library.h"

#include <mutex>

#include "library/vocabulary.h"
#include "runtime/interpreter.h"

namespace sorane {

// Families that only compute: no files, processes, network or dialogs.
static void RegisterPureFamilies() {
  RegisterRuntimeCommands();
  RegisterStringCommands();
  RegisterNumberCommands();
  RegisterDateCommands();
  RegisterPatternCommands();
}

void InstallPureLibrary(Interpreter& in) {
  static std::once_flag once;
  std::call_once(once, RegisterPureFamilies);
  in.BuildVocabulary = &BuildVocabulary;
}

void InstallLibrary(Interpreter& in) {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterPureFamilies();
    RegisterOutputCommands();
    RegisterFileCommands();
    RegisterTableCommands();
    RegisterHandleCommands();
    RegisterDialogCommands();
    RegisterTimerCommands();
    RegisterDebugCommands();
  });
  in.BuildVocabulary = &BuildVocabulary;
}

}  // namespace sorane
