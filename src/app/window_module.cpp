#include "app/window_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace sorane {

#ifdef SORANE_HAVE_QT

// The folder of the running executable, with its final "/".
static std::string ExecutableFolder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  std::string s(path, static_cast<size_t>(n));
  return s.substr(0, s.rfind('/') + 1);
}

// Where the module is looked for: beside the executable (the build folder),
// then where the installation puts it (SORANE_QT_MODULE_INSTALLED counts from
// the executable's folder).
static void* OpenWindowModule(std::string& error) {
  const std::string folder = ExecutableFolder();
  for (const char* relative : {SORANE_QT_MODULE, SORANE_QT_MODULE_INSTALLED}) {
    std::string path = folder + relative;
    if (access(path.c_str(), F_OK) != 0) continue;
    if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    error = dlerror();
    return nullptr;
  }
  error = std::string(SORANE_QT_MODULE) + " is neither beside " + folder + "sorane nor in " +
          folder + SORANE_QT_MODULE_INSTALLED;
  return nullptr;
}

int RunInWindowModule(const CommandLine& cl) {
  std::string error;
  void* module = OpenWindowModule(error);
  using Entry = int (*)(const CommandLine*);
  Entry entry = module ? reinterpret_cast<Entry>(dlsym(module, "sorane_run_in_window")) : nullptr;
  if (!entry) {
    if (module) error = "the module has no entry point";
    fprintf(stderr, "sorane: cannot load the window (%s)\n", error.c_str());
    return -1;
  }
  // The module stays loaded: Qt's own exit handlers run from it.
  return entry(&cl);
}

#else

// A build without Qt has no window module.
int RunInWindowModule(const CommandLine&) {
  fputs("sorane: this build has no window\n", stderr);
  return -1;
}

#endif

}  // namespace sorane
