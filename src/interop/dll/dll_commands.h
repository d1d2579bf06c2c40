// The DLL family: DLL宣言, 文字型DLL宣言 and DLLを利用 declare functions of shared
// libraries as words of the DLL-function kind, and CallDllFunction (the
// interpreter's CallDll hook) calls such a word.
#pragma once

#include "runtime/command.h"

namespace sorane {

class Interpreter;
struct THashNode;

CommandTable DllCommands();
// Binds the word's arguments by its template, calls the function and leaves
// the result in それ.
void CallDllFunction(Interpreter& in, THashNode* word);

}  // namespace sorane
