#include "platform/lazy_library.h"

#include <dlfcn.h>

#include <cstdio>

namespace sorane {

bool OpenLibrary(const char* soname, const char* package, const char* const* names, void** found,
                 size_t count) {
  // RTLD_LOCAL: the library's symbols serve only the lookups below, never
  // modules loaded later.
  void* lib = dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
  const char* missing = nullptr;
  for (size_t i = 0; lib && i < count && !missing; ++i)
    if (!(found[i] = dlsym(lib, names[i]))) missing = names[i];
  if (lib && !missing) return true;
  // Called once per library (its loader keeps the answer).
  if (!lib)
    fprintf(stderr, "sorane: cannot load %s (install the package %s)\n", soname, package);
  else
    fprintf(stderr, "sorane: %s lacks %s (the package %s may be too old)\n", soname, missing,
            package);
  return false;
}

}  // namespace sorane
