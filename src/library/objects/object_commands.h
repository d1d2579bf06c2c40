// The commands that create, change, read, move and destroy script objects:
// 作成, 作る, 設定, 得る, オブジェクト破壊, オブジェクト全破壊, 注目, 乗せ換える,
// 乗せる, 中央へ移動. Qt-free: the widgets are the host's ObjectBackend.
#pragma once

#include <optional>
#include <string>

#include "runtime/command.h"

namespace sorane {

class Interpreter;

// 作成 of one object: `coordinates` as written ("(x,y)"), nullopt for the
// automatic place below the last object. Raises the messages of 作成.
void CreateNamedObject(Interpreter& in, const std::string& name, const std::string& kind_name,
                       const std::optional<std::string>& coordinates);

CommandTable ObjectCommands();

}  // namespace sorane
