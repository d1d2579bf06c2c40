// Sound in the console: the console host loads no window system, so it has no
// audio output to play on. Every media file answers as a device that cannot
// open (演奏 of a ".wav" is quietly silent, MCI送信 answers "MCIエラー:…"),
// and BEEP rings the terminal's bell when standard error is a terminal.
#pragma once

#include "runtime/host.h"

namespace sorane {

class ConsoleMedia : public HostMedia {
 public:
  void Beep() override;
};

// The console's one media service.
HostMedia& ConsoleMediaService();

}  // namespace sorane
