// The command reference printed by `sorane --commands [WORD]` and
// `sorane --variables`, from the vocabulary the run-time registers.
#pragma once

#include <string>

namespace sorane {

// Every command (or those whose name matches WORD, UTF-8) with its argument
// template and what it does, UTF-8 on standard output. Returns the exit
// status: 0, or 1 when WORD matches nothing.
int PrintCommandReference(const std::string& word);
// Every system variable with its default value and description.
int PrintVariableReference();

}  // namespace sorane
