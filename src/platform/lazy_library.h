// Shared libraries opened when a command first needs them, so that a run
// which never uses them never maps them and start-up does not pay for binding
// their symbols.
//
// A user lists the functions it calls in an X-macro and declares, in its own
// namespace, one pointer per function with the library's own name and type
// (SORANE_LAZY_DECLARE / SORANE_LAZY_DEFINE). Unqualified calls made in that
// namespace, including those inside the library header's own macros (type
// checks, casts), then find the pointer before the global declaration. The
// executable does not link such a library, so a call that misses the list
// fails at link time instead of binding to it silently. The pointers are
// null until the loader (SORANE_LAZY_LOADER) has returned true: every entry
// point calls it first and fails in its own way when it returns false.
#pragma once

#include <cstddef>
#include <iterator>

namespace sorane {

// Opens `soname` (it then stays loaded) and looks up the `count` functions
// named in `names` into `found`; a function of a library it depends on is
// found too. False when the library or one of the functions is missing:
// then, once per library, a line on standard error names the package that
// provides it.
bool OpenLibrary(const char* soname, const char* package, const char* const* names, void** found,
                 size_t count);

}  // namespace sorane

#define SORANE_LAZY_DECLARE(name) extern decltype(&::name) name;
#define SORANE_LAZY_DEFINE(name) decltype(&::name) name = nullptr;
#define SORANE_LAZY_NAME(name) #name,
#define SORANE_LAZY_SET(name) name = reinterpret_cast<decltype(name)>(found[at++]);

// Defines `bool loader()`, which opens the library at its first call and sets
// every pointer of LIST; it answers the same afterwards.
#define SORANE_LAZY_LOADER(loader, LIST, soname, package)                                        \
  bool loader() {                                                                                \
    static const bool loaded = [] {                                                              \
      static const char* const names[] = {LIST(SORANE_LAZY_NAME)};                               \
      void* found[std::size(names)];                                                             \
      if (!::sorane::OpenLibrary(soname, package, names, found, std::size(names))) return false; \
      size_t at = 0;                                                                             \
      LIST(SORANE_LAZY_SET)                                                                      \
      return true;                                                                               \
    }();                                                                                         \
    return loaded;                                                                               \
  }
