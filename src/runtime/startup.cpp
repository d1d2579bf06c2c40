#include "runtime/startup.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

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

StartupResult ReadCommandLine(Interpreter& in, const std::vector<std::string>& args) {
  TSoraneBase& S = in.S;
  std::string exe = ExecutablePath();
  if (exe.empty() && !args.empty()) exe = Absolute(args[0]);
  S.RuntimePath = FromOsPath(FolderOf(exe));

  std::vector<std::string> items(args);
  if (!items.empty()) items[0] = exe;
  size_t script_index = 0;
  bool chosen = false;
  std::string resource;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-run") continue;  // no packed script is looked for in any case
    if (a == "-debug") {
      S.DebugOption = true;
    } else if (a == "-linestop") {
      S.LineStopOption = true;
    } else if (a == "-runtime" && i + 1 < args.size()) {
      S.RuntimeOption = true;
      ++i;
      if (!chosen) {
        StartupResult r;
        r.status = StartupStatus::kError;
        r.message = SJ("指定されたプログラムファイルは壊れています。");
        return r;
      }
    } else if (a == "-resource" && i + 1 < args.size()) {
      resource = args[++i];
    } else if (a == "-security" && i + 1 < args.size()) {
      std::string level = AsciiLower(args[++i]);
      if (level == "low") S.SecurityLevel = 0;
      if (level == "mid") S.SecurityLevel = 1;
      if (level == "high") S.SecurityLevel = 2;
    } else if (!a.empty() && a[0] == '-') {
      // Other options, ours included, are not script arguments' business here.
    } else if (!chosen) {
      chosen = true;
      script_index = i;
    }
  }

  std::string script;
  if (chosen) {
    script = args[script_index];
  } else {
    std::string beside = exe;
    if (LowerExtension(beside).size() && beside.rfind('.') > beside.rfind('/'))
      beside.erase(beside.rfind('.'));
    beside += ".srn";
    if (FileExists(FromOsPath(beside))) {
      script = beside;
      S.BesideExe = true;
      script_index = 0;
    }
  }
  if (script.empty()) return {StartupStatus::kNoScript, {}};

  for (size_t i = script_index; i < items.size(); ++i) {
    const std::string& item =
        i == script_index ? (S.BesideExe ? script : Absolute(script)) : items[i];
    S.CommandLine.push_back(FromOsPath(item));
  }
  S.ProgramPath = FromOsPath(Absolute(script));
  S.HostPath = FromOsPath(FolderOf(Absolute(script)));

  std::string ext = LowerExtension(script);
  if (ext == ".exe" || ext == ".scr") return {StartupStatus::kNoScript, {}};
  std::string name = FromOsPath(script);
  std::string text;
  if (!LoadScriptFile(name, text)) {
    return {StartupStatus::kUnreadable, SJ("起動ファイル「") + name + SJ("」が読込めません。")};
  }
  S.ProgramText = std::move(text);
  S.SourceName = name;
  std::string folder = FolderOf(script);
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // The script still runs; relative names then resolve from the old folder.
  }
  if (!resource.empty())
    return {StartupStatus::kError, SJ("リソースファイルの取り込みに失敗しました。")};
  return {};
}

}  // namespace sorane
