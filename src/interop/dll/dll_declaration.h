// What a DLL declaration says, read from its text without loading anything:
// the type letters of a C-style declaration (DLLを利用), the function name and
// argument template of an untyped one (DLL宣言, 文字型DLL宣言), and the file
// names a library name may stand for. All texts are CP932, already normalised
// to half-width forms by the caller.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorane {

// The letters a DLL function word's type mark holds ("=" + result
// letter + one letter per parameter):
//   v void (no argument, no result)   p char* (text)
//   w word (16-bit unsigned)           d dword (32-bit unsigned)
//   b bool (32-bit, 0 or all bits)     i int (32-bit signed)
//   f double (64-bit floating point)
// The letter of a type name, compared without spaces and in lower case
// ("Char *", "DWORD"); 0 for a name that is not a type.
char DllTypeLetter(std::string_view type_name);

struct DllTypedDeclaration {
  std::string function;  // the exported name
  char result = 'v';
  std::string params;  // one letter per declared parameter ("v" for a (void))
  bool known = true;   // false when a type name has no letter
};

// "ret name(type, type)": the parameter list ends at the first empty item; the
// result type is the head before the function name, with any "*" joined to it
// ("char *f", "Char * f" and "char* f" alike); no result type means void.
DllTypedDeclaration ParseTypedDeclaration(std::string_view text);

struct DllUntypedDeclaration {
  std::string function;
  std::string templ;  // "?を,?で"; empty when the text has no "("
};

// "Func(?を,?で)": the function name before the first "(", the template after
// it without one closing ")".
DllUntypedDeclaration ParseUntypedDeclaration(std::string_view text);

// Parameters that take an argument: the letters other than "v".
size_t DllArgumentCount(std::string_view params);
// The "?" marks of an argument template, and its slots as the binder counts
// them (comma-separated items; none for an empty template).
size_t QuestionMarks(std::string_view templ);
size_t TemplateSlotCount(std::string_view templ);

// The names tried in order for a library name: the name as given, then for a
// Windows-style "NAME.dll" (any case) the shared libraries "libNAME.so" and
// "NAME.so" — beside the script (`script_folder`, with a trailing "/") and on
// the search path when the name has no folder, in its folder when it has one.
std::vector<std::string> DllLibraryNames(std::string_view file, std::string_view script_folder);

}  // namespace sorane
