#include "library/library.h"
#include "runtime/interpreter.h"

namespace sorane {

void RegisterDateCommands() {}

}  // namespace sorane
