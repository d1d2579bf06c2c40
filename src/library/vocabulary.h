// The built-in vocabulary: every system variable with its default, description
// and read-only flag. BuildVocabulary registers them and every command row of
// the library's tables (library.h) into the word table at the start of each run.
#pragma once

#include <cstdint>
#include <span>

namespace sorane {

class Interpreter;

// One system variable. The description becomes the word's type mark, so a
// description of exactly "e" or "s" types the value; longer ones leave it untyped.
struct SystemVariableEntry {
  const char* Name;
  const char* Default;
  const char* Description;
  bool ReadOnly;  // registered Reserved: scripts cannot assign it
};

std::span<const SystemVariableEntry> SystemVariableEntries();

// Registers every command (kind 0, folded name, Command = id, Reserved) and system
// variable (kind 3, Level -1, Reserved when read-only), the object word "母艦",
// fills in.S.Fast and sets the values computed at start (command line, paths,
// special folders, OS name, screen size). Expects an empty word table; a name
// that is already registered and reserved raises EWordReserved.
void BuildVocabulary(Interpreter& in);

}  // namespace sorane
