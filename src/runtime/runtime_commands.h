// The command tables of the commands the runtime itself implements.
#pragma once

#include "runtime/command.h"

namespace sorane {

CommandTable ProgramCommands();  // preprocess.cpp: 取り込む
CommandTable ControlCommands();  // control.cpp: もし, 条件分岐, 繰り返す, 反復, ループ,
                                 // 抜ける, 続ける, 飛ぶ, 待機
CommandTable FunctionCommands();  // functions.cpp: 戻る, 呼ぶ, 関数定義, 引数取得, word
                                  // commands, そらねする, 計算
CommandTable ErrorCommands();  // errors.cpp: エラーを無視, エラー処理設定, エラーを警告,
                               // エラーから復帰

}  // namespace sorane
