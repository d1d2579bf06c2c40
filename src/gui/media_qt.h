// Sound and media on Qt Multimedia: one QMediaPlayer with its audio output per
// open player. Files play in whatever formats the installed backend decodes
// (WAV, MP3, Ogg, ...; MIDI only where a software synthesiser is installed).
// Without an audio output nothing opens: the device cannot open, as in the
// console.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "runtime/host.h"

namespace sorane {

class TQtMedia : public HostMedia {
 public:
  TQtMedia();
  ~TQtMedia() override;

  // Whether there is an audio output to play on (tests may decide).
  std::function<bool()> has_output;

  int OpenMedia(const std::string& os_path, Failure& failure) override;
  void CloseMedia(int player) override;
  void PlayMedia(int player, int64_t from_ms, int64_t to_ms, bool loop) override;
  void PauseMedia(int player) override;
  void StopMedia(int player) override;
  void SeekMedia(int player, int64_t ms) override;
  Mode MediaMode(int player) override;
  int64_t MediaLength(int player) override;
  int64_t MediaPosition(int player) override;
  void SetMediaVolume(int player, int volume) override;
  void SetMediaMuted(int player, bool muted) override;
  void Beep() override;

 private:
  struct Player;
  Player* Find(int player) const;

  std::map<int, std::unique_ptr<Player>> players_;
  int next_ = 1;
};

}  // namespace sorane
