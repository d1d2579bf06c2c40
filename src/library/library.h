// The command library: each family exports the table of its commands (one row
// per name, beside the handlers in the family's own files); this file lists
// the families and installs their handlers into an interpreter.
#pragma once

#include <span>

#include "runtime/command.h"

namespace sorane {

class Interpreter;

// Every command table, runtime and debug commands included, in registration
// order; the vocabulary registers their names.
std::span<const CommandTable> CommandTables();

void InstallLibrary(Interpreter& in);
// Only the commands that compute (rows marked pure): used by the fuzzer, whose
// scripts are arbitrary bytes. Every name is still registered.
void InstallPureLibrary(Interpreter& in);

// The math commands (numbers/) that expressions compute without their handler.
std::span<const NumericForm> NumberNumericForms();
// The counts of a text (strings/) that expressions compute without their handler.
std::span<const NumericForm> StringNumericForms();

CommandTable OutputCommands();     // output/: 表示, 言う, おわり, the host window
CommandTable StringCommands();     // strings/
CommandTable NumberCommands();     // numbers/: arithmetic, math, statistics, random
CommandTable DateCommands();       // dates/: dates and times
CommandTable PatternCommands();    // patterns/: wildcards and regular expressions
CommandTable FileCommands();       // files/files.cpp: reading, writing, moving, folders
CommandTable FileInfoCommands();   // files/files_info.cpp: queries, paths, listings
CommandTable FileShellCommands();  // files/files_shell.cpp: shortcuts, associations
CommandTable TableCommands();      // tables/: CSV tables
CommandTable HandleCommands();     // handles/: file handles, INI files, registry
CommandTable DialogCommands();     // dialogs/: standard dialogs
CommandTable TimerCommands();      // timers/: 待つ, タイマー設定, タイマー解除
CommandTable DrawingCommands();    // drawing/: drawing, pictures, picture filters

}  // namespace sorane
