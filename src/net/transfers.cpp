#include "runtime/command.h"

namespace sorane {

CommandTable TransferCommands() {
  return {};
}

}  // namespace sorane
