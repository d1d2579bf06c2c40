#include "runtime/startup.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/files.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, n);
}

// Absolute form of a UTF-8 path (the file need not exist).
static std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return path;
  return std::string(buf) + "/" + path;
}

static std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

static std::string LowerExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return AsciiLower(path.substr(dot));
}

// ---------------------------------------------------------------- options

namespace {

// A row of an option table. `value` names the value the option takes (for the
// help); nullptr when it takes none.
struct OptionRow {
  std::string_view name;
  const char* value;
  bool value_optional;  // the next argument is the value only when it does not start with "-"
  void (*apply)(CommandLine& cl, const std::string& value);
  const char* help;
  bool rest = false;  // takes every argument after it (a tool of its own, not a run)
};

// The run-time's options: recognised before the script only.
constexpr OptionRow kRuntimeOptions[] = {
    {"--console", nullptr, false, [](CommandLine& cl, const std::string&) { cl.console = true; },
     "run without a window: output and questions on the\n"
     "terminal, errors on standard error (also when no\n"
     "display is available)"},
    {"--eval", "TEXT", false,
     [](CommandLine& cl, const std::string& v) {
       cl.source = ScriptSource::kText;
       cl.script = v;
     },
     "run TEXT as the script; the arguments after it are\n"
     "the script's"},
    {"--text-encoding", "WORD", false,
     [](CommandLine& cl, const std::string& v) { cl.text_encoding = v; },
     "encoding of the text files scripts read and write:\n"
     "sjis (default), utf-8 or auto (also the environment\n"
     "variable SORANE_TEXT_ENCODING)"},
    {"--screenshot", "FILE", false,
     [](CommandLine& cl, const std::string& v) { cl.screenshot = v; },
     "when the run ends, save the window as a PNG picture\n"
     "(FILE counts from the current folder); without a\n"
     "display the window is drawn offscreen"},
    {"--play", "FILE", false, [](CommandLine& cl, const std::string& v) { cl.play = v; },
     "once the script waits, play the user actions of\n"
     "FILE (clicks, typing, keys, ...) into the window,\n"
     "then close it (FILE counts from the current folder;\n"
     "without a display the window is drawn offscreen)"},
    {"--verbose", nullptr, false, [](CommandLine& cl, const std::string&) { cl.verbose = true; },
     "show the window system's warnings on standard error"},
    {"--commands", "[WORD]", true,
     [](CommandLine& cl, const std::string& v) {
       cl.commands = true;
       cl.commands_word = v;
     },
     "list the commands (those matching WORD) and exit"},
    {"--variables", nullptr, false,
     [](CommandLine& cl, const std::string&) { cl.variables = true; },
     "list the system variables and exit"},
    {"--pack", "ARGS", false, [](CommandLine& cl, const std::string&) { cl.pack = true; },
     "ARGS: SCRIPT [FILE...] -o OUTPUT: build OUTPUT, a\n"
     "copy of sorane that runs SCRIPT and carries it\n"
     "(scrambled) and the FILEs; then exit",
     true},
    {"--unpack", "EXE DIR", false, [](CommandLine& cl, const std::string&) { cl.unpack = true; },
     "list the files packed into EXE (or an archive),\n"
     "copy them into DIR and exit",
     true},
    {"--resource-copy", nullptr, false,
     [](CommandLine& cl, const std::string&) { cl.resource_copy = true; },
     "the file of -resource is a copy handed over by a\n"
     "running script: remove it once it is open"},
    {"--help", nullptr, false, [](CommandLine& cl, const std::string&) { cl.help = true; },
     "show this help and exit"},
    {"--version", nullptr, false, [](CommandLine& cl, const std::string&) { cl.version = true; },
     "show the version and exit"},
};

// The language's options: compared exactly as written, recognised anywhere
// before "--". Each needs its value; without one it is ignored as any other
// single-dash argument.
constexpr OptionRow kLanguageOptions[] = {
    {"-run", nullptr, false, [](CommandLine&, const std::string&) {},
     "(first argument) do not look for a script packed\n"
     "into sorane"},
    {"-debug", nullptr, false, [](CommandLine& cl, const std::string&) { cl.debug = true; },
     "error dialogs offer debugging; warnings open the\n"
     "error dialog"},
    {"-linestop", nullptr, false, [](CommandLine& cl, const std::string&) { cl.line_stop = true; },
     "stop at every line end in the debug dialog"},
    {"-security", "WORD", false,
     [](CommandLine& cl, const std::string& v) {
       std::string level = AsciiLower(v);
       if (level == "low") cl.security = 0;
       if (level == "mid") cl.security = 1;
       if (level == "high") cl.security = 2;
     },
     "security level of file and registry changes: low,\n"
     "mid (default) or high"},
    {"-runtime", "EXE", false,
     [](CommandLine& cl, const std::string& v) {
       cl.runtime = true;
       if (cl.source != ScriptSource::kNone) return;
       // The script packed into EXE is the program; EXE stands where a
       // script file would.
       cl.runtime_before_script = true;
       cl.source = ScriptSource::kFile;
       cl.script = v;
     },
     "run the script packed into EXE"},
    {"-resource", "FILE", false, [](CommandLine& cl, const std::string& v) { cl.resource = v; },
     "use FILE as the resource archive"},
};

template <size_t N>
const OptionRow* FindOption(const OptionRow (&rows)[N], std::string_view name) {
  for (const OptionRow& row : rows)
    if (row.name == name) return &row;
  return nullptr;
}

constexpr size_t kHelpColumn = 24;  // where the help texts of the options start

bool StartsWithDash(const std::string& a) {
  return !a.empty() && a[0] == '-';
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  if (!args.empty()) cl.executable = args[0];
  auto named = [&] { return cl.source != ScriptSource::kNone; };
  std::vector<std::string> without_script;  // the arguments when no script is named
  auto keep = [&](const std::string& a) { (named() ? cl.arguments : without_script).push_back(a); };
  size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!named() && a == "--") {
      ++i;
      break;
    }
    if (!named() && a == "-") {
      cl.source = ScriptSource::kStandardInput;
      continue;
    }
    if (named() || a.size() <= 2 || a.compare(0, 2, "--") != 0) {
      cl.plain_arguments.push_back(a);
    } else {
      size_t eq = a.find('=');
      std::string name = a.substr(0, eq);
      const OptionRow* row = FindOption(kRuntimeOptions, name);
      if (!row) {
        cl.error = "unknown option " + name;
        return cl;
      }
      if (row->rest) {
        row->apply(cl, {});
        cl.tool_arguments.assign(args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
        return cl;
      }
      std::string value;
      if (eq != std::string::npos) {
        if (!row->value) {
          cl.error = "option " + name + " takes no value";
          return cl;
        }
        value = a.substr(eq + 1);
      } else if (row->value && i + 1 < args.size() &&
                 !(row->value_optional && StartsWithDash(args[i + 1]))) {
        value = args[++i];
      } else if (row->value && !row->value_optional) {
        cl.error = "option " + name + " needs a value (" + row->value + ")";
        return cl;
      }
      row->apply(cl, value);
      continue;
    }
    if (StartsWithDash(a)) {
      const OptionRow* row = FindOption(kLanguageOptions, a);
      keep(a);
      if (!row || (row->value && i + 1 >= args.size())) continue;  // ignored
      std::string value;
      if (row->value) {
        value = args[++i];
        keep(value);
        cl.plain_arguments.push_back(value);
      }
      row->apply(cl, value);
      continue;
    }
    if (named()) {
      cl.arguments.push_back(a);
    } else {
      cl.source = ScriptSource::kFile;
      cl.script = a;
    }
  }
  // After "--": the script, then its arguments.
  if (i < args.size() && !named()) {
    cl.source = ScriptSource::kFile;
    cl.plain_arguments.push_back(args[i]);
    cl.script = args[i++];
  }
  for (; i < args.size(); ++i) {
    cl.arguments.push_back(args[i]);
    cl.plain_arguments.push_back(args[i]);
  }
  if (!named()) cl.arguments = std::move(without_script);
  cl.run = args.size() > 1 && args[1] == "-run";
  return cl;
}

static bool EnvironmentSet(const char* name) {
  const char* v = getenv(name);
  return v && *v;
}

bool HasDisplay() {
  return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
         EnvironmentSet("QT_QPA_PLATFORM");
}

bool WantsWindow(const CommandLine& cl) {
  return !cl.console && (HasDisplay() || !cl.screenshot.empty() || !cl.play.empty());
}

std::string OptionHelp() {
  std::string out;
  auto list = [&out](const auto& rows) {
    for (const OptionRow& row : rows) {
      std::string left = "  " + std::string(row.name);
      if (row.value) left += std::string(" ") + row.value;
      left.resize(std::max<size_t>(left.size() + 2, kHelpColumn), ' ');
      std::string_view help = row.help;
      for (size_t start = 0; start < help.size();) {
        size_t end = std::min(help.find('\n', start), help.size());
        out += (start == 0 ? left : std::string(kHelpColumn, ' '));
        out.append(help.substr(start, end - start));
        out += '\n';
        start = end + 1;
      }
    }
  };
  list(kRuntimeOptions);
  out +=
      "  --                    end of the options: the next argument is the\n"
      "                        script, even when it starts with \"-\"\n";
  out += "  -                     read the script from standard input\n";
  list(kLanguageOptions);
  return out;
}

// ---------------------------------------------------------------- the script

void BlankInterpreterLine(std::string& text) {
  if (text.compare(0, 2, "#!") != 0) return;
  text.erase(0, std::min(text.find_first_of("\r\n"), text.size()));
}

// All of standard input; false when it cannot be read.
static bool ReadStandardInput(std::string& out) {
  out.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = read(0, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
  }
}

StartupResult ReadCommandLine(Interpreter& in, const std::vector<std::string>& args) {
  return ReadCommandLine(in, ParseCommandLine(args));
}

PackagingHooks& GetPackagingHooks() {
  static PackagingHooks hooks;
  return hooks;
}

std::string PackedFileOr(Interpreter& in, const std::string& name) {
  const PackagingHooks& hooks = GetPackagingHooks();
  std::string path = hooks.packed_file ? hooks.packed_file(in, name) : std::string();
  return path.empty() ? name : path;
}

static bool FileNameStartsWith(const std::string& path, std::string_view prefix) {
  size_t slash = path.rfind('/');
  return path.compare(slash == std::string::npos ? 0 : slash + 1, prefix.size(), prefix) == 0;
}

// The script packed into the executable `os_path`, when it has one: true with
// its bytes in `text`; a result to return at once in `stop` otherwise.
static bool PackedScript(Interpreter& in, const std::string& os_path, bool named, std::string& text,
                         StartupResult& stop) {
  const PackagingHooks& hooks = GetPackagingHooks();
  std::string error;
  auto found = hooks.open_packed ? hooks.open_packed(in, os_path, text, error)
                                 : PackagingHooks::Packed::kNone;
  if (found == PackagingHooks::Packed::kScript) return true;
  if (found == PackagingHooks::Packed::kFailed)
    stop = {StartupStatus::kError, SJ("ファイルの展開に失敗しました。") + error, {}};
  else if (named)
    stop = {StartupStatus::kError, SJ("指定されたプログラムファイルは壊れています。"),
            SJ("プログラムの実行エラー")};
  return false;
}

StartupResult ReadCommandLine(Interpreter& in, const CommandLine& cl) {
  TSoraneBase& S = in.S;
  std::string exe = ExecutablePath();
  if (exe.empty() && !cl.executable.empty()) exe = Absolute(cl.executable);
  S.RuntimePath = FromOsPath(FolderOf(exe));
  if (cl.debug) S.DebugOption = true;
  if (cl.line_stop) S.LineStopOption = true;
  if (cl.runtime) S.RuntimeOption = true;
  if (cl.security >= 0) S.SecurityLevel = cl.security;
  // The file of -resource counts from the folder the run started in. A copy
  // handed over by the parent run is removed however startup ends (once open,
  // its descriptor keeps it readable); a file the user names stays.
  std::string resource = cl.resource.empty() ? std::string() : Absolute(cl.resource);
  struct RemoveCopy {
    std::string path;
    ~RemoveCopy() {
      if (!path.empty()) unlink(path.c_str());
    }
  } remove_copy{cl.resource_copy && FileNameStartsWith(resource, kResourceCopyPrefix)
                    ? resource
                    : std::string()};
  // A child not waited for gets its own copy of a packed script, removed once read.
  std::string script = cl.script.empty() ? std::string() : Absolute(cl.script);
  RemoveCopy remove_script{cl.resource_copy && cl.source == ScriptSource::kFile &&
                                   FileNameStartsWith(script, kResourceCopyPrefix)
                               ? script
                               : std::string()};

  // The script's own item of コマンドライン引数, then the arguments.
  std::string first;
  std::string text;
  const std::vector<std::string>* arguments = &cl.arguments;
  StartupResult stop;
  // A script packed into the run-time itself is the program, whatever the
  // arguments name, unless -run comes first; with -runtime EXE, the one packed
  // into EXE.
  std::string packed_into;
  if (!cl.run && PackedScript(in, "/proc/self/exe", false, text, stop)) {
    packed_into = exe;
    arguments = &cl.plain_arguments;
  } else if (stop.status == StartupStatus::kReady && cl.runtime_before_script &&
             PackedScript(in, Absolute(cl.script), true, text, stop)) {
    packed_into = Absolute(cl.script);
  }
  if (stop.status != StartupStatus::kReady) return stop;
  if (!packed_into.empty()) {
    first = packed_into;
    S.FromArchive = true;
    S.SourceName = "sorane.srn";
    S.ProgramPath = FromOsPath(packed_into);
    S.HostPath = FromOsPath(FolderOf(packed_into));
    text = ScriptText(std::move(text));
  } else {
    switch (cl.source) {
      case ScriptSource::kStandardInput:
        first = "-";
        S.SourceName = SJ("標準入力");
        S.HostPath = CurrentFolder();
        if (!ReadStandardInput(text))
          return {StartupStatus::kUnreadable, SJ("標準入力からスクリプトが読込めません。")};
        text = ScriptText(std::move(text));
        break;
      case ScriptSource::kText:
        first = "--eval";
        S.SourceName = "--eval";
        S.HostPath = CurrentFolder();
        text = ScriptText(cl.script);
        break;
      case ScriptSource::kFile:
      case ScriptSource::kNone: {
        std::string script = cl.script;
        if (cl.source == ScriptSource::kNone) {
          std::string beside = exe;
          if (LowerExtension(beside).size()) beside.erase(beside.rfind('.'));
          beside += ".srn";
          if (!FileExists(FromOsPath(beside))) return {StartupStatus::kNoScript, {}};
          script = beside;
          S.BesideExe = true;
          first = beside;
        } else {
          first = Absolute(script);
        }
        S.ProgramPath = FromOsPath(Absolute(script));
        S.HostPath = FromOsPath(FolderOf(Absolute(script)));
        std::string ext = LowerExtension(script);
        if (ext == ".exe" || ext == ".scr") return {StartupStatus::kNoScript, {}};
        std::string name = FromOsPath(script);
        if (!LoadScriptFile(name, text))
          return {StartupStatus::kUnreadable,
                  SJ("起動ファイル「") + name + SJ("」が読込めません。")};
        S.SourceName = name;
        std::string folder = FolderOf(script);
        if (!folder.empty() && chdir(folder.c_str()) != 0) {
          // The script still runs; relative names then resolve from the old folder.
        }
        break;
      }
    }
  }
  S.CommandLine.push_back(FromOsPath(first));
  for (const std::string& a : *arguments) S.CommandLine.push_back(FromOsPath(a));
  BlankInterpreterLine(text);
  S.ProgramText = std::move(text);
  if (!resource.empty()) {
    const PackagingHooks& hooks = GetPackagingHooks();
    if (!hooks.open_resource || !hooks.open_resource(in, resource))
      return {StartupStatus::kError, SJ("リソースファイルの取り込みに失敗しました。")};
  }
  return {};
}

}  // namespace sorane
