// Commands whose names and templates are registered (a script finds them
// and binds their arguments) but whose handlers are not built yet: running
// one reports "リンク切れ". A family that builds them moves its rows into
// its own table.
#include "library/library.h"
#include "runtime/command.h"

namespace sorane {

CommandTable NotBuiltCommands() {
  static constexpr CommandRow kRows[] = {
      // Spreadsheet and word-processor automation.
      {CommandId::ExcelStart, "エクセル起動", "", nullptr, kActs},
      {CommandId::ExcelOpen, "エクセル開く", "?を", nullptr, kActs},
      {CommandId::ExcelSave, "エクセル保存", "?へ", nullptr, kActs},
      {CommandId::ExcelQuit, "エクセル終了", "", nullptr, kActs},
      {CommandId::ExcelSet, "エクセル設定", "?を,?に", nullptr, kActs},
      {CommandId::ExcelGet, "エクセル得る", "?を,?に", nullptr, kActs},
      {CommandId::ExcelMacro, "エクセルマクロ実行", "?を", nullptr, kActs},
      {CommandId::WordStart, "ワード起動", "", nullptr, kActs},
      {CommandId::WordOpen, "ワード開く", "?を", nullptr, kActs},
      {CommandId::WordSave, "ワード保存", "?へ", nullptr, kActs},
      {CommandId::WordQuit, "ワード終了", "", nullptr, kActs},
      {CommandId::WordSetBookmark, "ワードブックマーク設定", "?を,?に", nullptr, kActs},
      {CommandId::WordInsertText, "ワード文字挿入", "?を", nullptr, kActs},
      {CommandId::WordGetBody, "ワード本文を得る", "", nullptr, kActs},
      {CommandId::WordMacro, "ワードマクロ実行", "?を", nullptr, kActs},
      {CommandId::ExcelPrint, "エクセル印刷", "", nullptr, kActs},
      {CommandId::WordPrint, "ワード印刷", "", nullptr, kActs},
  };
  return kRows;
}

}  // namespace sorane
