// 演奏 and its family, MCI送信 and BEEP. 演奏 keeps one player of the run;
// MCI送信 keeps the devices its command strings open, by alias.
#include "library/media/media_commands.h"

#include <chrono>
#include <thread>

#include "library/media/mci.h"
#include "platform/files.h"
#include "policy/security.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/startup.h"
#include "text/encoding.h"

namespace sorane {

namespace {

// The media of one run: 演奏's player (0: none) and the MCI devices.
struct MediaState {
  int player = 0;
  MciDevices devices;
};

MediaState& StateOf(Interpreter& in) {
  return in.S.RunStates.Get<MediaState>();
}

// A file a command names: the resource archive first, then the reading
// commands' search order. Empty when there is no such file.
std::string FindMediaFile(Interpreter& in, const std::string& name) {
  std::string path = ResolveFileName(in, PackedFileOr(in, name));
  return FileExists(path) ? path : std::string();
}

class RunMciContext : public MciContext {
 public:
  explicit RunMciContext(Interpreter& in) : in_(in) {}
  HostMedia& Media() override { return in_.host.Media(); }
  std::string FindFile(const std::string& name) override {
    std::string path = FindMediaFile(in_, name);
    return path.empty() ? path : ToOsPath(path);
  }
  bool MayWrite(const std::string& name) override {
    return SecurityCheck(in_, name, SJ("MCIで、\"") + name + SJ("\"に書きこみます。"));
  }
  // As 待つ does: window events go on, and a closing window ends the wait.
  bool WaitStep() override {
    if (in_.S.StopRequested) return false;
    in_.host.EventLoop().ProcessEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !in_.S.StopRequested;
  }

 private:
  Interpreter& in_;
};

void ClosePlayer(Interpreter& in) {
  MediaState& st = StateOf(in);
  if (st.player) in.host.Media().CloseMedia(st.player);
  st.player = 0;
}

std::string RepeatSetting(Interpreter& in) {
  THashNode* w = in.S.Words.FindExact(SJ("演奏繰り返し"));
  return w ? w->Value() : "0";
}

// 演奏 (?を): the player of the previous 演奏 goes first. A ".wav" file that
// cannot be played is quietly not played, as a sound effect; any other file
// that cannot be played is an error.
void CmdPlay(Call& c) {
  Interpreter& in = c.in;
  ClosePlayer(in);
  std::string name = c.Text(0);
  std::string path = FindMediaFile(in, name);
  if (path.empty()) in.Raise(SJ("ファイル\"%s\"が、ありません。"), ResolveFileName(in, name));
  bool wave = IsWaveFile(path);
  HostMedia& media = in.host.Media();
  HostMedia::Failure failure = HostMedia::Failure::kNone;
  int player = media.OpenMedia(ToOsPath(path), failure);
  if (player == 0) {
    if (wave) return;
    MciError error = failure == HostMedia::Failure::kUnsupported ? MciError::kUnsupportedFormat
                                                                 : MciError::kCannotOpen;
    in.Raise(Format(SJ("ファイル\"%s\"を、演奏できません。"), name) + MciErrorText(error));
  }
  StateOf(in).player = player;
  media.PlayMedia(player, -1, -1, PlaysInLoop(path, RepeatSetting(in)));
}

// 繰り返し演奏 (?を): 演奏 with 演奏繰り返し at "1", restored afterwards (also
// when 演奏 fails).
void CmdPlayRepeat(Call& c) {
  THashNode* w = c.in.S.Words.FindExact(SJ("演奏繰り返し"));
  if (!w) return CmdPlay(c);
  std::string saved = w->Value();
  w->ValueToWrite() = "1";
  struct Restore {
    Interpreter& in;
    std::string value;
    ~Restore() {
      if (THashNode* v = in.S.Words.FindExact(SJ("演奏繰り返し"))) v->ValueToWrite() = value;
    }
  } restore{c.in, saved};
  CmdPlay(c);
}

// 演奏停止: the player stops at its start and is closed.
void CmdStopPlaying(Call& c) {
  MediaState& st = StateOf(c.in);
  if (st.player) {
    HostMedia& media = c.in.host.Media();
    media.SeekMedia(st.player, 0);
    media.StopMedia(st.player);
  }
  ClosePlayer(c.in);
}

// 演奏状態: a player that has played to its end is closed, as its end
// closes it, and so is 未設定.
void CmdPlayState(Call& c) {
  MediaState& st = StateOf(c.in);
  HostMedia::Mode mode = HostMedia::Mode::kNotReady;
  if (st.player) mode = c.in.host.Media().MediaMode(st.player);
  if (mode == HostMedia::Mode::kStopped) {
    ClosePlayer(c.in);
    mode = HostMedia::Mode::kNotReady;
  }
  c.ReturnText(PlayStateWord(mode));
}

// MCI送信 (?を): それ is the answer, or "MCIエラー:" and the error; never an
// error of the run.
void CmdMciSend(Call& c) {
  std::string command = c.Text(0);
  RunMciContext cx(c.in);
  MciAnswer answer = StateOf(c.in).devices.Send(cx, command);
  c.ReturnText(answer.ok ? answer.text : SJ("MCIエラー:") + answer.text);
}

void CmdBeep(Call& c) {
  c.in.host.Media().Beep();
}

}  // namespace

bool IsWaveFile(const std::string& name) {
  size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? "" : name.substr(dot);
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return ext == ".wav";
}

bool PlaysInLoop(const std::string& name, const std::string& repeat_setting) {
  return IsWaveFile(name) ? repeat_setting != "0" : repeat_setting == "1";
}

const std::string& PlayStateWord(HostMedia::Mode mode) {
  switch (mode) {
    case HostMedia::Mode::kStopped:
      return SJ("停止中");
    case HostMedia::Mode::kPlaying:
      return SJ("演奏中");
    case HostMedia::Mode::kPaused:
      return SJ("一時停止");
    case HostMedia::Mode::kSeeking:
      return SJ("準備中");
    case HostMedia::Mode::kOpen:
      return SJ("再生待ち");
    case HostMedia::Mode::kNotReady:
      break;
  }
  return SJ("未設定");
}

CommandTable MediaCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Play, "演奏", "?を", CmdPlay, kActs},
      {CommandId::StopPlaying, "演奏停止", "", CmdStopPlaying, kActs},
      {CommandId::PlayState, "演奏状態", "", CmdPlayState, kActs},
      {CommandId::PlayRepeat, "繰り返し演奏", "?を", CmdPlayRepeat, kActs},
      {CommandId::MciSend, "MCI送信", "?を", CmdMciSend, kActs},
      {CommandId::Beep, "BEEP", "", CmdBeep, kActs},
  };
  return kRows;
}

}  // namespace sorane
