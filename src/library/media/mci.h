// The interpreter of MCI command strings (MCI送信): "open FILE alias A",
// "play A from 0 to 500 wait", "status A mode", "close all", ... Devices are
// kept by alias; playing is the host's media service (HostMedia), so the
// interpreter itself is Qt-free and answers without any audio output too.
//
// The commands understood (keywords in any letter case, a word with blanks in
// double quotes):
//   open ELEMENT [type T] [alias A] [shareable] [wait] [notify]   answers the device number
//   close A | close all
//   play A [from N] [to N] [wait] [repeat] [notify]
//   pause A, resume A, stop A
//   seek A to start|end|N
//   status A mode|length|position|ready|time format|volume
//   set A time format milliseconds|ms, set A audio all off|on
//   setaudio A volume to N (0-1000), setaudio A off|on
//   capability A can play|can record|can save|can eject|has audio|has video|
//                device type|uses files|compound device
//   record A, save A FILE (refused: nothing records here; save asks the
//                security policy first, as every writer does)
// Times are milliseconds. Anything else is an error, answered as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/host.h"

namespace sorane {

// What the interpreter needs from the run it serves.
class MciContext {
 public:
  virtual ~MciContext() = default;
  virtual HostMedia& Media() = 0;
  // The OS path of a file a command names (CP932, as the script wrote it);
  // empty when there is no such file.
  virtual std::string FindFile(const std::string& name) = 0;
  // Whether the command may write the file `name` (the security policy).
  virtual bool MayWrite(const std::string& name) = 0;
  // Lets the window run a moment while `play … wait` waits; false ends the
  // wait (the run is stopping).
  virtual bool WaitStep() = 0;
};

enum class MciError {
  kUnknownCommand,
  kNotOpen,
  kAliasInUse,
  kFileMissing,
  kCannotOpen,
  kUnsupportedFormat,
  kBadParameter,
  kMissingParameter,
  kOutOfRange,
  kUnsupported,
  kWriteRefused,
};
// The text of an error (CP932).
const std::string& MciErrorText(MciError error);

struct MciAnswer {
  bool ok = true;
  std::string text;  // the answer, or the error's text
};

// The open devices of one run.
class MciDevices {
 public:
  MciAnswer Send(MciContext& cx, std::string_view command);
  // Closes every device (close all).
  void CloseAll(HostMedia& media);
  size_t OpenCount() const { return devices_.size(); }

 private:
  struct Device {
    std::string alias;
    std::string type;  // waveaudio, sequencer, mpegvideo, or as opened
    int player = 0;
    int id = 0;
    int volume = 1000;
    // What the last play asked for, so resume goes on alike.
    int64_t to = -1;
    bool repeat = false;
  };
  Device* Find(std::string_view alias);

  std::vector<Device> devices_;
  int next_id_ = 1;
};

// Splits a command string into words: blanks separate them, a double-quoted
// word keeps its blanks (the quotes go). CP932 trail bytes never look like a
// blank or a quote, so names pass whole.
std::vector<std::string> MciWords(std::string_view command);

}  // namespace sorane
