// The command line and the script source: options, the script (a file named on
// the command line or beside the executable, standard input, or a text given
// with --eval), コマンドライン引数, 母艦のパス and ランタイムのパス, and loading the
// script text.
//
// Two kinds of options share the command line. The language's own keep their
// single-dash spelling (-debug, -security low, ...) and count wherever they
// stand, also among the script's arguments, which they still belong to; any
// other single-dash argument is ignored. The run-time's options use the double
// dash (--console, --eval TEXT, ...) and count only before the script: after
// it, everything belongs to the script. An unknown double-dash option is a
// usage error. "--" ends all options: the next argument is the script even when
// it starts with "-". "-" alone names standard input as the script.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorane {

class Interpreter;

enum class ScriptSource {
  kNone,           // nothing named: the .srn file beside the executable, if any
  kFile,           // a script file
  kStandardInput,  // "-"
  kText,           // --eval TEXT
};

// What the command line asks for.
struct CommandLine {
  std::string executable;  // args[0]

  // The run-time's options.
  bool console = false;                     // --console
  bool verbose = false;                     // --verbose
  bool help = false;                        // --help
  bool version = false;                     // --version
  bool commands = false;                    // --commands [WORD]
  std::string commands_word;                // UTF-8; empty for every command
  bool variables = false;                   // --variables
  std::string screenshot;                   // --screenshot FILE, as given
  std::string play;                         // --play FILE, as given
  std::string text_encoding;                // --text-encoding WORD, as given
  bool pack = false;                        // --pack SCRIPT [FILE...] -o OUTPUT
  bool unpack = false;                      // --unpack EXE DIR
  std::vector<std::string> tool_arguments;  // every argument after --pack / --unpack
  bool resource_copy = false;  // --resource-copy: the -resource file is a copy to remove

  // The language's options.
  bool debug = false;                  // -debug
  bool line_stop = false;              // -linestop
  bool runtime = false;                // -runtime EXE
  bool runtime_before_script = false;  // -runtime came before any script: EXE is the script
  std::string resource;                // -resource FILE
  bool run = false;                    // -run as the first argument
  int security = -1;                   // -security WORD: 0 low, 1 mid, 2 high; -1 none

  ScriptSource source = ScriptSource::kNone;
  std::string script;  // the file name, or the text of --eval (UTF-8)
  // The items of コマンドライン引数 after the script's own, as given; with no
  // script named, every argument that is not one of the run-time's options.
  std::vector<std::string> arguments;
  // Every argument that is not one of the run-time's own options, in order:
  // the items of コマンドライン引数 of a script packed into the run-time.
  std::vector<std::string> plain_arguments;

  // A usage error, for standard error (exit status 2); empty when none.
  std::string error;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The options, one or more lines each, for --help.
std::string OptionHelp();

// A display is there: DISPLAY, WAYLAND_DISPLAY, or a Qt platform chosen with
// QT_QPA_PLATFORM (such as offscreen).
bool HasDisplay();
// A window is used when a display is there or the window is asked for
// (--screenshot, --play: drawn offscreen without a display), and --console is
// not given.
bool WantsWindow(const CommandLine& command_line);

enum class StartupStatus { kReady, kNoScript, kUnreadable, kError };

struct StartupResult {
  StartupStatus status = StartupStatus::kReady;
  std::string message;     // CP932
  std::string title = {};  // of the message box (CP932); empty for the usual one
};

// What the packaging layer does at startup and for 取り込む. The run-time
// cannot include that layer, so the layer installs these hooks; while they are
// null no packed script is looked for and no resource archive is opened.
struct PackagingHooks {
  enum class Packed { kNone, kArchive, kScript, kFailed };
  // Looks for an archive appended to the executable `os_path`. When there is
  // one it becomes the run's resource archive (kArchive) and, when it holds the
  // main script, the script's bytes go to `script` (kScript). kFailed: the
  // archive is damaged; `error` says how (CP932).
  Packed (*open_packed)(Interpreter& in, const std::string& os_path, std::string& script,
                        std::string& error) = nullptr;
  // Opens the archive file `os_path` as the run's resource archive (kept open
  // by its descriptor for the whole run).
  bool (*open_resource)(Interpreter& in, const std::string& os_path) = nullptr;
  // The extracted file of the packed entry `name` (CP932); "" when the run has
  // no resource archive or it holds no such entry.
  std::string (*packed_file)(Interpreter& in, const std::string& name) = nullptr;
};
PackagingHooks& GetPackagingHooks();
// How the copies of a resource archive handed to child runs are named (in
// $TMPDIR); --resource-copy removes only a file of such a name.
constexpr std::string_view kResourceCopyPrefix = "sorane-resource-";
// The file to read for `name`: the extracted packed entry, else `name` itself.
std::string PackedFileOr(Interpreter& in, const std::string& name);

// Fills the interpreter state from the command line and loads the script; the
// run then changes to the script file's folder. A script packed into the
// run-time (or with -runtime EXE, into EXE) is the program instead, and its
// archive the resource archive; -resource FILE opens FILE as that archive, and
// with --resource-copy the file is removed once startup has read it. Scripts from standard input or
// --eval run in the current folder, which is then 母艦のパス; their report
// lines name them "標準入力" and "--eval", and the first item of
// コマンドライン引数 is "-" or "--eval".
StartupResult ReadCommandLine(Interpreter& in, const CommandLine& command_line);
// `args` are the process arguments as given (UTF-8), args[0] the executable.
StartupResult ReadCommandLine(Interpreter& in, const std::vector<std::string>& args);

// A first line starting with "#!" (so that a script can be run as a program:
// "#!/usr/bin/env sorane") is blanked, its line end kept, so the lines after it
// keep their numbers. `text` is a loaded script (CP932, CR LF).
void BlankInterpreterLine(std::string& text);

// Path of the running executable (UTF-8); empty when it cannot be read.
std::string ExecutablePath();

}  // namespace sorane
