// sorane [options] [script.srn] [script arguments]
//
// Reads the command line (runtime/startup: the options of both kinds, the
// script), answers the options that only print, and runs the script in the
// window or in the console host.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/console_host.h"
#include "app/process_signals.h"
#include "app/reference.h"
#include "app/window_module.h"
#include "debug/editor_link.h"
#include "interop/archive/archive.h"
#include "interop/dde/dde_server.h"
#include "library/files/text_encoding.h"
#include "library/library.h"
#include "library/output/output.h"
#include "packaging/pack_tool.h"
#include "packaging/packaging.h"
#include "platform/large_pages.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"
#include "text/encoding.h"

using namespace sorane;

static const char kUsage[] =
    "usage: sorane [options] [script.srn | - | --eval TEXT] [arguments...]\n"
    "\n"
    "Runs a Sorane script: a file, standard input (-) or the TEXT of --eval.\n"
    "Without one, runs the .srn file named after the executable when there is one.\n"
    "The options of sorane (--...) come before the script; everything after\n"
    "the script is the script's own (コマンドライン引数), though the\n"
    "language's options (-debug, -security, ...) act wherever they stand.\n"
    "\n"
    "options:\n";

static const char kExitCodes[] =
    "\n"
    "exit status:\n"
    "  0  the run ended normally\n"
    "  1  the run stopped at an error (the error log is on standard error), a\n"
    "     question came after the end of standard input, standard output could\n"
    "     not be written, or the screenshot could not be saved\n"
    "  2  bad usage, no script, a script that cannot be read, or a --play file\n"
    "     with an action that cannot be played\n";

// Scripts build texts by appending to them (文は、文&…), so large blocks are
// freed and allocated again and again. Above glibc's default mmap threshold each
// new block comes fresh from the kernel and the page faults cost more than the
// copying; keeping blocks up to 32 MB in the heap lets them be reused.
static void TuneAllocator() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
  sorane::AdviseLargePagesForHeap(16 << 20);
}

static void PrintUsage(FILE* to) {
  fputs(kUsage, to);
  fputs(OptionHelp().c_str(), to);
  fputs(kExitCodes, to);
}

static int UsageError(const std::string& message) {
  fprintf(stderr, "sorane: %s (see sorane --help)\n", message.c_str());
  return 2;
}

// The options that are answered without running a script, and the checks of
// the others; -1 when the run goes on.
static int AnswerAlone(const CommandLine& cl) {
  if (!cl.error.empty()) return UsageError(cl.error);
  if (cl.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (cl.version) {
    printf("sorane %s\n", SORANE_VERSION);
    return 0;
  }
  if (cl.pack) return RunPackTool(cl.tool_arguments);
  if (cl.unpack) return RunUnpackTool(cl.tool_arguments);
  if (cl.commands) return PrintCommandReference(cl.commands_word);
  if (cl.variables) return PrintVariableReference();
  TextFileEncoding encoding;
  if (!cl.text_encoding.empty() && !ParseTextFileEncoding(cl.text_encoding, encoding))
    return UsageError("unknown text encoding \"" + cl.text_encoding +
                      "\" for --text-encoding (utf-8, sjis or auto)");
#ifdef SORANE_HAVE_QT
  if (!cl.screenshot.empty() && cl.console)
    return UsageError("--screenshot saves the window and cannot be used with --console");
  if (!cl.play.empty() && cl.console)
    return UsageError("--play acts on the window and cannot be used with --console");
#else
  if (!cl.screenshot.empty()) return UsageError("--screenshot needs the window, not built here");
  if (!cl.play.empty()) return UsageError("--play needs the window, not built here");
#endif
  return -1;
}

static int RunInConsole(const CommandLine& cl) {
  ConsoleHost host;
  Interpreter in(host);
  host.Attach(in);
  InstallLibrary(in);

  StartupResult start = ReadCommandLine(in, cl);
  if (start.status != StartupStatus::kReady) {
    if (!start.message.empty()) host.Dialogs().MessageBox(start.message, start.title);
    if (start.status == StartupStatus::kNoScript) PrintUsage(stderr);
    return 2;
  }
  TextFileEncoding encoding;
  if (!cl.text_encoding.empty() && ParseTextFileEncoding(cl.text_encoding, encoding))
    SetTextFileEncoding(in, encoding);
  // The run-time's own topic, served until the run ends.
  std::shared_ptr<void> editor_link = ServeEditorLink(in);
  if (!in.Start()) return host.FinishOutput(host.ExitStatus() ? host.ExitStatus() : 1);
  // Idle: the label timer and the network go on running labels.
  while (host.ExitStatus() == 0 && host.WaitIdle()) {
  }
  if (!in.S.StopRequested && host.ExitStatus() == 0) CloseRequest(in);
  return host.FinishOutput(host.ExitStatus());
}

int main(int argc, char** argv) {
  TuneAllocator();
  BufferStandardOutput();
  FlushOutputOnSignals();
  InstallPackaging();
  SetProgramPacker(&PackProgram);
  dde::InstallEditorLink();
  CommandLine cl = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
  int answered = AnswerAlone(cl);
  if (answered >= 0) return answered;
#ifdef SORANE_HAVE_QT
  if (WantsWindow(cl)) {
    int status = RunInWindowModule(cl);
    if (status >= 0) return status;
    // Without its window module a program still runs in the console, unless
    // the window itself was asked for.
    if (!cl.screenshot.empty() || !cl.play.empty()) return 2;
    fputs("sorane: running in the console instead\n", stderr);
  }
#endif
  return RunInConsole(cl);
}
