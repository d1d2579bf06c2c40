// Registration of the commands the runtime itself implements. Each function
// installs its handlers with SetHandler(id, handler); RegisterRuntimeCommands
// (statement.cpp) calls them all once per process.
#pragma once

namespace sorane {

void RegisterControlCommands();  // control.cpp: もし, 条件分岐, 繰り返す, 反復, ループ, 抜ける,
                                 // 続ける, 飛ぶ
void RegisterFunctionCommands();  // functions.cpp: 戻る, 呼ぶ, 関数定義, 引数取得, word commands,
                                  // そらねする, 計算
void RegisterErrorCommands();  // errors.cpp: エラーを無視, エラー処理設定, エラーを警告,
                               // エラーから復帰
void RegisterProgramCommands();  // preprocess.cpp / statement.cpp: 取り込む, おわり, 終了処理設定

}  // namespace sorane
