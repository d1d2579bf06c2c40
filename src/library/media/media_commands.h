// Sound and media: 演奏, 繰り返し演奏, 演奏停止, 演奏状態, MCI送信 and BEEP, on
// the host's media service (HostMedia). Qt-free.
#pragma once

#include <string>

#include "runtime/command.h"
#include "runtime/host.h"

namespace sorane {

// A name ending in ".wav" (any letter case): played as a sound effect.
bool IsWaveFile(const std::string& name);
// Whether 演奏 plays `name` in a loop, by its file type and 演奏繰り返し: a
// ".wav" file loops unless the variable is exactly "0", any other file only
// when it is exactly "1".
bool PlaysInLoop(const std::string& name, const std::string& repeat_setting);

// The word 演奏状態 gives for a player's mode.
const std::string& PlayStateWord(HostMedia::Mode mode);

CommandTable MediaCommands();

}  // namespace sorane
