// The window lives in a module of its own (sorane-qt.so) that is loaded only
// when a window is wanted, so a console run never loads Qt.
#pragma once

#include "runtime/startup.h"

namespace sorane {

// Loads the window module and runs the script in its window; returns the exit
// status, or -1 when the module cannot be loaded (after saying why on
// standard error).
int RunInWindowModule(const CommandLine& command_line);

}  // namespace sorane
