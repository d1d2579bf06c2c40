// sorane [options] [script.srn] [script arguments]
//
// Reads the command line, finds the script (named on the command line, or the
// ".srn" file named after the executable), loads it and runs it in the console
// host. The single-dash options keep their historical spelling; our own options
// use the double-dash form so they never collide with script arguments.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/console_host.h"
#include "app/reference.h"
#ifdef SORANE_HAVE_QT
#include "gui/gui_main.h"
#endif
#include "library/library.h"
#include "library/output/output.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"
#include "text/encoding.h"

using namespace sorane;

static const char kUsage[] =
    "usage: sorane [options] [script.srn] [arguments...]\n"
    "\n"
    "Runs a Sorane script. Without a script, runs the .srn file named after the\n"
    "executable when there is one.\n"
    "\n"
    "options:\n"
    "  --console          run without a window (also when no display is available)\n"
    "  --screenshot FILE  save the window as a PNG picture when the run ends\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "  -debug             error dialogs offer debugging; warnings open the error dialog\n"
    "  -linestop          stop at every line end in the debug dialog\n"
    "  -security WORD     security level: low, mid (default) or high\n"
    "  -runtime EXE       run the script packed into EXE\n"
    "  -resource FILE     use FILE as the resource archive\n"
    "  -run               (first argument) do not look for a script packed into sorane\n";

// Scripts build texts by appending to them (文は、文&…), so large blocks are
// freed and allocated again and again. Above glibc's default mmap threshold each
// new block comes fresh from the kernel and the page faults cost more than the
// copying; keeping blocks up to 32 MB in the heap lets them be reused.
static void TuneAllocator() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
}

int main(int argc, char** argv) {
  TuneAllocator();
  std::vector<std::string> args(argv, argv + argc);
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--help") {
      fputs(kUsage, stdout);
      return 0;
    }
    if (args[i] == "--commands")
      return PrintCommandReference(i + 1 < args.size() ? args[i + 1] : "");
    if (args[i] == "--variables") return PrintVariableReference();
    if (args[i] == "--version") {
      printf("sorane %s\n", SORANE_VERSION);
      return 0;
    }
  }

#ifdef SORANE_HAVE_QT
  if (WantsWindow(args)) return RunInWindow(args);
#endif
  // --console is ours, not a script argument; --screenshot needs a window.
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0 && args[i] == "--screenshot" && i + 1 < args.size()) {
      ++i;
      continue;
    }
    rest.push_back(args[i]);
  }
  args = rest;

  ConsoleHost host;
  Interpreter in(host);
  host.Attach(in);
  InstallLibrary(in);

  StartupResult start = ReadCommandLine(in, args);
  if (start.status != StartupStatus::kReady) {
    if (!start.message.empty()) host.Dialogs().MessageBox(start.message, "");
    if (start.status == StartupStatus::kNoScript) fputs(kUsage, stderr);
    return 2;
  }
  if (!in.Start()) return host.FinishOutput(host.ExitStatus() ? host.ExitStatus() : 1);
  while (host.ExitStatus() == 0 && host.WaitForLabelTimer()) {
  }
  if (!in.S.StopRequested && host.ExitStatus() == 0) CloseRequest(in);
  return host.FinishOutput(host.ExitStatus());
}
