// The packaging layer: FileMix archives, the scrambler, programs packed into
// the run-time, the run's resource archive, scrambled files, shared memory and
// starting other programs.
#pragma once

#include <memory>
#include <string>

#include "runtime/command.h"

namespace sorane {

class Interpreter;
class TFileMixReader;

// Installs the startup hooks (a script packed into the run-time or into the
// executable of -runtime, the archive of -resource, 取り込む of packed files).
// Once per process, before the command line is read.
void InstallPackaging();

// The commands of this layer (listed by the library with every other family).
CommandTable PackagingCommands();

// The run's resource archive; nullptr when it has none.
TFileMixReader* ResourceReader(Interpreter& in);
void SetResourceReader(Interpreter& in, std::unique_ptr<TFileMixReader> reader);

// The path (CP932) of the entry `name` of the resource archive, extracted on
// first use into the run's private temporary folder under its upper-cased name
// with ":", "\" and "/" each written "__"; "" when there is no archive or no
// such entry. A name with "/" also finds the entry written with "\". An entry
// that cannot be extracted raises the run-time error.
std::string GetPackedFile(Interpreter& in, const std::string& name);

// A copy of the resource archive for a child run (OS path, in $TMPDIR, named
// with kResourceCopyPrefix); "" when the run has no archive or the copy failed.
std::string CopyResourceForChild(Interpreter& in);

// 起動 and 起動して終了まで待機 (launch.cpp).
void CmdLaunch(Call& c);
void CmdLaunchAndWait(Call& c);

}  // namespace sorane
