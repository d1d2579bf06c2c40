// A media service for tests: players that never sound, with a length per
// file, modes that follow the calls, and a record of the calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "runtime/host.h"

namespace sorane {

class FakeMedia : public HostMedia {
 public:
  struct Player {
    std::string path;
    Mode mode = Mode::kStopped;
    int64_t position = 0;
    bool loop = false;
    bool muted = false;
    int volume = 1000;
  };
  std::map<int, Player> players;
  std::vector<std::string> calls;   // "open PATH", "play 1 100 500 0", "close 1", ...
  Failure refuse = Failure::kNone;  // what OpenMedia answers when not kNone
  int64_t length = 1000;
  int beeps = 0;

  int OpenMedia(const std::string& os_path, Failure& failure) override {
    calls.push_back("open " + os_path);
    if (refuse != Failure::kNone) {
      failure = refuse;
      return 0;
    }
    players[next_].path = os_path;
    return next_++;
  }
  void CloseMedia(int p) override {
    calls.push_back("close " + std::to_string(p));
    players.erase(p);
  }
  void PlayMedia(int p, int64_t from, int64_t to, bool loop) override {
    calls.push_back("play " + std::to_string(p) + " " + std::to_string(from) + " " +
                    std::to_string(to) + " " + (loop ? "1" : "0"));
    Player& pl = players.at(p);
    if (from >= 0) pl.position = from;
    pl.mode = Mode::kPlaying;
    pl.loop = loop;
  }
  void PauseMedia(int p) override { players.at(p).mode = Mode::kPaused; }
  void StopMedia(int p) override { players.at(p).mode = Mode::kStopped; }
  void SeekMedia(int p, int64_t ms) override {
    players.at(p).position = ms;
    players.at(p).mode = Mode::kStopped;
  }
  Mode MediaMode(int p) override {
    auto it = players.find(p);
    return it == players.end() ? Mode::kNotReady : it->second.mode;
  }
  int64_t MediaLength(int) override { return length; }
  int64_t MediaPosition(int p) override { return players.at(p).position; }
  void SetMediaVolume(int p, int v) override { players.at(p).volume = v; }
  void SetMediaMuted(int p, bool m) override { players.at(p).muted = m; }
  void Beep() override { ++beeps; }

 private:
  int next_ = 1;
};

}  // namespace sorane
