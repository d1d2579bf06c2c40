#include "library/library.h"
#include "runtime/interpreter.h"

namespace sorane {

void RegisterTableCommands() {}

}  // namespace sorane
