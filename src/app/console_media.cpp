#include "app/console_media.h"

#include <unistd.h>

namespace sorane {

// The bell goes to the terminal only: on a pipe or a file it would be a
// stray byte in the output.
void ConsoleMedia::Beep() {
  if (isatty(STDERR_FILENO)) {
    ssize_t written = write(STDERR_FILENO, "\a", 1);
    (void)written;
  }
}

HostMedia& ConsoleMediaService() {
  static ConsoleMedia media;
  return media;
}

}  // namespace sorane
