// The command line and the script source: options, the script file (named on
// the command line or beside the executable), コマンドライン引数, 母艦のパス and
// ランタイムのパス, and loading the script text.
#pragma once

#include <string>
#include <vector>

namespace sorane {

class Interpreter;

enum class StartupStatus { kReady, kNoScript, kUnreadable, kError };

struct StartupResult {
  StartupStatus status = StartupStatus::kReady;
  std::string message;  // CP932
};

// `args` are the process arguments as given (UTF-8), args[0] the executable.
// Options our own host handles ("--console" and the like) are skipped.
StartupResult ReadCommandLine(Interpreter& in, const std::vector<std::string>& args);

// Folder of the running executable (UTF-8, trailing "/").
std::string ExecutablePath();

}  // namespace sorane
