// 起動 and 起動して終了まで待機: scripts run in a child run-time, which gets a
// copy of the resource archive when the script came from it; documents, folders
// and addresses go to the desktop's opener (xdg-open); programs are started
// with posix_spawn on the argument vector the command line splits into, never
// through a shell.
#include <sys/stat.h>
#include <unistd.h>

#include "library/files/files_util.h"
#include "packaging/packaging.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/run_temp.h"
#include "platform/safe_write.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// The command line of a use: the program (without quotation marks) and its
// parameters. A command line that names a packed entry is that entry's file.
struct Launch {
  std::string program;
  std::string parameters;
  bool packed = false;
};

Launch ReadLaunch(Interpreter& in, const std::string& command) {
  Launch launch;
  std::string packed = GetPackedFile(in, command);
  if (!packed.empty()) {
    launch.program = packed;
    launch.packed = true;
    return launch;
  }
  ProgramAndParameters split = SplitProgram(command);
  launch.program = WithoutQuotes(split.program);
  launch.parameters = split.parameters;
  return launch;
}

bool IsScript(const std::string& program) {
  return AsciiLower(CutExtension(program)) == ".srn";
}

std::vector<std::string> ArgumentsOf(const std::string& parameters) {
  std::vector<std::string> out;
  for (const std::string& a : SplitArguments(parameters)) out.push_back(SjisToUtf8KeepingBytes(a));
  return out;
}

// A copy of the script file `os_path` for a child run-time to read and remove
// (named as the copies --resource-copy removes); "" when it cannot be made.
std::string CopyScriptForChild(const std::string& os_path) {
  std::string bytes;
  if (!ReadFileBytes(FromOsPath(os_path), bytes)) return {};
  std::string path;
  int fd = CreateLoneTempFile(std::string(kResourceCopyPrefix) + "script-", path);
  if (fd < 0) return {};
  bool ok = AppendToFd(fd, bytes);
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(path.c_str());
  return ok ? path : std::string();
}

// Runs a script in a child run-time: "-run" first, so that a packed run-time
// runs the script and not the program packed into it; a script from the
// resource archive gets a copy of the archive, which the child removes. A
// child that is not waited for may outlive this run, which removes the files
// it extracted: it gets its own copy of a packed script too.
pid_t StartScript(Interpreter& in, const Launch& launch, bool detached) {
  std::string exe = ExecutablePath();
  std::string script = ToOsPath(AbsoluteName(ResolveFileName(in, launch.program)));
  std::string copy = launch.packed ? CopyResourceForChild(in) : std::string();
  bool script_copied = !copy.empty() && detached;
  if (script_copied) {
    script = CopyScriptForChild(script);
    if (script.empty()) {
      unlink(copy.c_str());
      return -1;
    }
  }
  std::vector<std::string> argv = {exe, "-run"};
  if (!copy.empty()) argv.push_back("--resource-copy");
  argv.push_back(script);
  if (!copy.empty()) {
    argv.push_back("-resource");
    argv.push_back(copy);
  }
  for (std::string& a : ArgumentsOf(launch.parameters)) argv.push_back(std::move(a));
  pid_t pid = StartProgram(exe, argv, detached);
  if (pid < 0 && !copy.empty()) unlink(copy.c_str());
  if (pid < 0 && script_copied) unlink(script.c_str());
  return pid;
}

bool IsExecutableFile(const std::string& os_path) {
  struct stat st;
  return stat(os_path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(os_path.c_str(), X_OK) == 0;
}

bool Exists(const std::string& name) {
  return FileExists(name) || FolderExists(name);
}

// Opens a document, folder or address with the desktop, or runs a program
// file that is executable.
void OpenOrRun(const std::string& what, bool address) {
  std::string target = address ? SjisToUtf8KeepingBytes(what) : ToOsPath(AbsoluteName(what));
  if (!address && IsExecutableFile(target)) {
    StartProgram(target, {target}, true);
    return;
  }
  StartProgram("xdg-open", {"xdg-open", target}, true);
}

bool IsAddress(const std::string& text) {
  std::string lower = AsciiLower(text.substr(0, 8));
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0 ||
         lower.rfind("mailto:", 0) == 0;
}

// The argument vector of a program: the program as written (a name without a
// folder is found with the file search, then on PATH) and its parameters.
pid_t StartCommand(Interpreter& in, const Launch& launch, bool detached) {
  std::string program = launch.program;
  if (program.find('\\') == std::string::npos && program.find('/') == std::string::npos) {
    std::string found = ResolveFileName(in, program);
    if (FileExists(found)) program = AbsoluteName(found);
  }
  std::string path = ToOsPath(program);
  std::vector<std::string> argv = {path};
  for (std::string& a : ArgumentsOf(launch.parameters)) argv.push_back(std::move(a));
  return StartProgram(path, argv, detached);
}

// A command line that can reach the system: a NUL byte would cut it short.
bool Launchable(const std::string& command) {
  return !command.empty() && command.find('\0') == std::string::npos;
}

}  // namespace

// 起動 (?を): failures to start are not reported.
void CmdLaunch(Call& c) {
  Interpreter& in = c.in;
  std::string command = Trim(c.Text(0));
  if (!Launchable(command)) return;
  Launch launch = ReadLaunch(in, command);
  if (IsScript(launch.program)) {
    StartScript(in, launch, true);
    return;
  }
  // The whole text names a file (a name with spaces), or is an address.
  std::string whole = launch.packed ? launch.program : Trim(command);
  if (IsAddress(whole)) return OpenOrRun(whole, true);
  if (Exists(whole)) return OpenOrRun(whole, false);
  if (!IsExecutableFile(ToOsPath(launch.program)) && Exists(launch.program))
    return OpenOrRun(launch.program, false);
  StartCommand(in, launch, true);
}

// 起動して終了まで待機 (?を): window events go on being handled while the
// program runs; closing the window stops the waiting (the program goes on).
void CmdLaunchAndWait(Call& c) {
  Interpreter& in = c.in;
  std::string command = Trim(c.Text(0));
  if (!Launchable(command)) return;
  Launch launch = ReadLaunch(in, command);
  pid_t pid =
      IsScript(launch.program) ? StartScript(in, launch, false) : StartCommand(in, launch, false);
  if (pid < 0) return;
  WaitForChild(pid, [&in] {
    in.host.EventLoop().ProcessEvents();
    return !in.S.StopRequested;
  });
}

}  // namespace sorane
