// Shared libraries and the calls into them: loading with dlopen, finding a
// function with dlsym, and calling it with the platform's C calling
// convention through libffi, guarded against faults inside the function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorane {

// Opens the first of the OS paths that loads (a name without "/" is looked up
// on the search path); nullptr when none does. Symbols are bound at once, so a
// library with a missing dependency fails here, not in the middle of a call.
// Libraries stay mapped until the process ends (see CloseLibrary).
void* OpenLibrary(const std::vector<std::string>& os_names);
// Releases one handle OpenLibrary gave. The library's code stays mapped and
// its destructors run once, when the process ends: a library may have left
// threads or callbacks that still point into it.
void CloseLibrary(void* handle);
void* FindFunction(void* handle, const std::string& name);

// A call's result: its text and type mark ("s" or "e").
struct NativeResult {
  std::string value;
  const char* type = "e";
};

// Calls `proc` with one argument per letter of `params` (the type letters of
// interop/dll/dll_declaration.h; "v" takes none), taken in order from `args`,
// which must hold one text per letter other than "v". Each text argument is
// passed as a private NUL-terminated copy, so the function cannot change the
// script's values. Numbers are read from the texts and truncated toward zero.
// The result is converted by `result`: a type letter, or "n" for the
// pointer-sized signed number of an untyped declaration.
// Returns false when a text result is the null pointer, or when libffi
// cannot be loaded (nothing is called then); throws std::invalid_argument
// when the letters do not make a call (an unknown letter, or not one text
// per argument).
//
// A fault inside the function (a bad address, an illegal instruction, abort)
// cannot be recovered from: `fault_report` (UTF-8) is written to standard
// error and the process ends with the signal. Standard output is flushed
// before the call so that what the script printed is not lost then.
bool CallNative(void* proc, char result, std::string_view params,
                const std::vector<std::string>& args, const std::string& fault_report,
                NativeResult& out);

}  // namespace sorane
