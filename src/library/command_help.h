// One line of help for every command id: what the command does, in Japanese
// (UTF-8). The command reference (`sorane --commands`, docs/reference.md)
// prints it beside each name and template. Aliases share their id's line.
#pragma once

#include <span>

#include "words/command_ids.h"

namespace sorane {

struct CommandHelpRow {
  CommandId Id;
  const char* Text;  // UTF-8, one line, no terminating 。
};

// Every row, in id order.
std::span<const CommandHelpRow> CommandHelpRows();

// The description of `id`, or nullptr when the table has none.
const char* CommandDescription(CommandId id);

}  // namespace sorane
