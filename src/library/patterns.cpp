#include "library/library.h"
#include "runtime/interpreter.h"

namespace sorane {

void RegisterPatternCommands() {}

}  // namespace sorane
