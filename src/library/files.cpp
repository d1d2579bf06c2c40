#include "library/library.h"
#include "runtime/interpreter.h"

namespace sorane {

void RegisterFileCommands() {}

}  // namespace sorane
