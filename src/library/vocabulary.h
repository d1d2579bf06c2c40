// The built-in vocabulary: every command name with its argument template and
// command id, and every system variable with its default, description and
// read-only flag. BuildVocabulary registers them into the word table at the
// start of each run.
#pragma once

#include <cstdint>
#include <span>

namespace sorane {

class Interpreter;

// One registered command name. Aliases are separate entries sharing the id.
// Texts are UTF-8 here; registration uses their CP932 form.
struct CommandEntry {
  int16_t Id;
  const char* Name;      // as written; stored folded
  const char* Template;  // "" when the command takes no argument
};

// One system variable. The description becomes the word's type mark, so a
// description of exactly "e" or "s" types the value; longer ones leave it untyped.
struct SystemVariableEntry {
  const char* Name;
  const char* Default;
  const char* Description;
  bool ReadOnly;  // registered Reserved: scripts cannot assign it
};

std::span<const CommandEntry> CommandEntries();
std::span<const SystemVariableEntry> SystemVariableEntries();

// Registers every command (kind 0, folded name, Tag = id, Reserved) and system
// variable (kind 3, Tag -1, Reserved when read-only), the object word "母艦",
// fills in.S.Fast and sets the values computed at start (command line, paths,
// special folders, OS name, screen size). Expects an empty word table; a name
// that is already registered and reserved raises EWordReserved.
void BuildVocabulary(Interpreter& in);

}  // namespace sorane
