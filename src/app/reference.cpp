#include "app/reference.h"

#include <cstdio>

namespace sorane {

// Placeholder until the reference is built.
int PrintCommandReference(const std::string&) {
  fputs("the command reference is not built yet\n", stderr);
  return 1;
}

int PrintVariableReference() {
  fputs("the variable reference is not built yet\n", stderr);
  return 1;
}

}  // namespace sorane
