// The command library: one registration function per command family, each in its
// own file, installing its handlers by command id. InstallLibrary wires the
// vocabulary builder and every handler into an interpreter.
#pragma once

namespace sorane {

class Interpreter;

void InstallLibrary(Interpreter& in);
// Only the commands that compute (no files, processes, network, dialogs or
// output): used by the fuzzer, whose scripts are arbitrary bytes.
void InstallPureLibrary(Interpreter& in);

void RegisterOutputCommands();  // output.cpp: 表示, 言う, おわり, 終了処理設定, 画面クリア
void RegisterStringCommands();   // strings.cpp
void RegisterNumberCommands();   // numbers.cpp: arithmetic, math, statistics, random
void RegisterDateCommands();     // dates.cpp: dates and times
void RegisterPatternCommands();  // patterns.cpp: wildcards and regular expressions
void RegisterFileCommands();     // files.cpp: files, folders, paths
void RegisterTableCommands();    // tables.cpp: CSV tables
void RegisterHandleCommands();   // handles.cpp: file handles, INI files, registry
void RegisterDialogCommands();   // dialogs.cpp: standard dialogs
void RegisterTimerCommands();    // timers.cpp: 待つ, タイマー設定, タイマー解除
void RegisterDebugCommands();    // debug/debug_commands.cpp: DEBUG, line stop, ログる

}  // namespace sorane
