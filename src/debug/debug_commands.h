// The debugging commands: DEBUG, 改行で実行を止める, ログる.
#pragma once

#include "runtime/command.h"

namespace sorane {

CommandTable DebugCommands();

}  // namespace sorane
