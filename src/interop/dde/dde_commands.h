// The DDE family: DDE送信 and DDEサーバー作成.
#pragma once

#include "runtime/command.h"

namespace sorane {

// The commands of this family (listed by the library with every other family).
CommandTable DdeCommands();

}  // namespace sorane
