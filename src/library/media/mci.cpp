// The MCI command-string interpreter.
#include "library/media/mci.h"

#include <algorithm>
#include <optional>

#include "text/encoding.h"

namespace sorane {

namespace {

using Mode = HostMedia::Mode;
using Words = std::vector<std::string>;

bool Is(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char a = word[i], b = keyword[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

MciAnswer Fail(MciError error) {
  return {false, MciErrorText(error)};
}

MciAnswer Done(std::string text = {}) {
  return {true, std::move(text)};
}

// A time or volume: decimal digits only, at most 15 of them (far beyond any
// length, and never an overflow).
bool ReadCount(const std::string& word, int64_t& out) {
  if (word.empty() || word.size() > 15) return false;
  out = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

// The device types a file opens as, by its extension.
std::string TypeOfFile(std::string_view name) {
  size_t dot = name.rfind('.');
  std::string ext = dot == std::string_view::npos ? "" : std::string(name.substr(dot + 1));
  if (Is(ext, "wav")) return "waveaudio";
  if (Is(ext, "mid") || Is(ext, "midi") || Is(ext, "rmi")) return "sequencer";
  return "mpegvideo";
}

// Names of devices that are opened without a file (a CD drive, a recorder, ...).
bool IsDeviceOnly(std::string_view word) {
  for (const char* type :
       {"cdaudio", "waveaudio", "sequencer", "mpegvideo", "avivideo", "videodisc", "vcr", "overlay",
        "scanner", "dat", "digitalvideo", "mmmovie", "other"})
    if (Is(word, type)) return true;
  return false;
}

const char* ModeWord(Mode mode) {
  switch (mode) {
    case Mode::kStopped:
      return "stopped";
    case Mode::kPlaying:
      return "playing";
    case Mode::kPaused:
      return "paused";
    case Mode::kSeeking:
      return "seeking";
    case Mode::kOpen:
      return "open";
    case Mode::kNotReady:
      break;
  }
  return "not ready";
}

// Flags a command may carry without effect here (notification messages are
// the window system's of another platform; every command already completes
// before it answers, except play, which handles wait itself).
bool IsQuietFlag(const std::string& w) {
  return Is(w, "notify") || Is(w, "wait");
}

}  // namespace

const std::string& MciErrorText(MciError error) {
  switch (error) {
    case MciError::kUnknownCommand:
      return SJ("認識できないコマンドです。");
    case MciError::kNotOpen:
      return SJ("指定されたデバイスは開かれていません。");
    case MciError::kAliasInUse:
      return SJ("指定された別名は既に使われています。");
    case MciError::kFileMissing:
      return SJ("指定されたファイルが見つかりません。");
    case MciError::kCannotOpen:
      return SJ("デバイスを開けません。音声の出力先がないか、使用中です。");
    case MciError::kUnsupportedFormat:
      return SJ("このファイルの形式は再生できません。");
    case MciError::kBadParameter:
      return SJ("パラメータが正しくありません。");
    case MciError::kMissingParameter:
      return SJ("パラメータが足りません。");
    case MciError::kOutOfRange:
      return SJ("指定された値が範囲外です。");
    case MciError::kUnsupported:
      return SJ("このデバイスではその操作はできません。");
    case MciError::kWriteRefused:
      return SJ("ファイルへの書き込みが許可されませんでした。");
  }
  return SJ("認識できないコマンドです。");
}

std::vector<std::string> MciWords(std::string_view command) {
  Words words;
  size_t i = 0;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (i < command.size()) {
    while (i < command.size() && blank(command[i])) ++i;
    if (i >= command.size()) break;
    std::string word;
    if (command[i] == '"') {
      size_t end = command.find('"', i + 1);
      if (end == std::string_view::npos) end = command.size();
      word = command.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      while (i < command.size() && !blank(command[i])) word += command[i++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

MciDevices::Device* MciDevices::Find(std::string_view alias) {
  for (Device& d : devices_)
    if (d.alias.size() == alias.size()) {
      bool same = true;
      for (size_t i = 0; i < alias.size() && same; ++i) {
        char a = d.alias[i], b = alias[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        same = a == b;
      }
      if (same) return &d;
    }
  return nullptr;
}

void MciDevices::CloseAll(HostMedia& media) {
  for (Device& d : devices_) media.CloseMedia(d.player);
  devices_.clear();
}

MciAnswer MciDevices::Send(MciContext& cx, std::string_view command) {
  const Words w = MciWords(command);
  if (w.empty()) return Fail(MciError::kUnknownCommand);
  const std::string& verb = w[0];
  HostMedia& media = cx.Media();

  // ---- open: the only command that names no open device ----
  if (Is(verb, "open")) {
    if (w.size() < 2) return Fail(MciError::kMissingParameter);
    std::string element = w[1], type, alias;
    for (size_t i = 2; i < w.size(); ++i) {
      if ((Is(w[i], "type") || Is(w[i], "alias")) && i + 1 < w.size())
        (Is(w[i], "type") ? type : alias) = w[++i];
      else if (!Is(w[i], "shareable") && !IsQuietFlag(w[i]))
        return Fail(MciError::kBadParameter);
    }
    // "waveaudio!sound.wav": the type before the file.
    if (size_t bang = element.find('!'); bang != std::string::npos && bang > 0) {
      type = element.substr(0, bang);
      element = element.substr(bang + 1);
    }
    if (alias.empty()) alias = element;
    if (Find(alias)) return Fail(MciError::kAliasInUse);
    // A new recording, or a device without a file (a CD drive): nothing here
    // records or reads discs.
    if (Is(element, "new")) return Fail(MciError::kUnsupported);
    std::string path = cx.FindFile(element);
    if (path.empty())
      return Fail(IsDeviceOnly(element) ? MciError::kCannotOpen : MciError::kFileMissing);
    HostMedia::Failure failure = HostMedia::Failure::kNone;
    int player = media.OpenMedia(path, failure);
    if (player == 0)
      return Fail(failure == HostMedia::Failure::kUnsupported ? MciError::kUnsupportedFormat
                                                              : MciError::kCannotOpen);
    Device d;
    d.alias = alias;
    d.type = type.empty() ? TypeOfFile(element) : type;
    d.player = player;
    d.id = next_id_++;
    devices_.push_back(d);
    return Done(std::to_string(d.id));
  }

  if (Is(verb, "close") && w.size() >= 2 && Is(w[1], "all")) {
    CloseAll(media);
    return Done();
  }

  // ---- save asks the security policy before anything else ----
  if (Is(verb, "save")) {
    if (w.size() < 3) return Fail(MciError::kMissingParameter);
    if (!cx.MayWrite(w[2])) return Fail(MciError::kWriteRefused);
    if (!Find(w[1])) return Fail(MciError::kNotOpen);
    return Fail(MciError::kUnsupported);  // nothing was recorded
  }

  static constexpr std::string_view kDeviceVerbs[] = {"close",    "play",       "pause",  "resume",
                                                      "stop",     "seek",       "status", "set",
                                                      "setaudio", "capability", "record"};
  if (std::none_of(std::begin(kDeviceVerbs), std::end(kDeviceVerbs),
                   [&](std::string_view v) { return Is(verb, v); }))
    return Fail(MciError::kUnknownCommand);
  if (w.size() < 2) return Fail(MciError::kMissingParameter);
  Device* found = Find(w[1]);
  if (!found) return Fail(MciError::kNotOpen);
  Device& d = *found;
  const int player = d.player;
  const Words args(w.begin() + 2, w.end());

  if (Is(verb, "close")) {
    media.CloseMedia(player);
    devices_.erase(devices_.begin() + (found - devices_.data()));
    return Done();
  }
  if (Is(verb, "record")) return Fail(MciError::kUnsupported);

  // A time within the device's length ("end" and "start" where allowed).
  auto time_of = [&](const std::string& word, int64_t& out) -> std::optional<MciError> {
    if (!ReadCount(word, out)) return MciError::kBadParameter;
    if (out > media.MediaLength(player)) return MciError::kOutOfRange;
    return std::nullopt;
  };

  if (Is(verb, "play")) {
    int64_t from = -1, to = -1;
    bool wait = false, repeat = false;
    for (size_t i = 0; i < args.size(); ++i) {
      if ((Is(args[i], "from") || Is(args[i], "to")) && i + 1 < args.size()) {
        int64_t& target = Is(args[i], "from") ? from : to;
        if (std::optional<MciError> e = time_of(args[++i], target)) return Fail(*e);
      } else if (Is(args[i], "wait")) {
        wait = true;
      } else if (Is(args[i], "repeat")) {
        repeat = true;
      } else if (!Is(args[i], "notify")) {
        return Fail(MciError::kBadParameter);
      }
    }
    if (from >= 0 && to >= 0 && from > to) return Fail(MciError::kOutOfRange);
    // Waiting for a play that repeats would never end.
    if (wait && repeat) return Fail(MciError::kBadParameter);
    d.to = to;
    d.repeat = repeat;
    media.PlayMedia(player, from, to, repeat);
    if (wait)
      while (media.MediaMode(player) == Mode::kPlaying && cx.WaitStep()) {
      }
    return Done();
  }

  // The remaining commands take only the flags that change nothing here,
  // besides their own words.
  if (Is(verb, "pause") || Is(verb, "resume") || Is(verb, "stop")) {
    for (const std::string& a : args)
      if (!IsQuietFlag(a)) return Fail(MciError::kBadParameter);
    if (Is(verb, "pause"))
      media.PauseMedia(player);
    else if (Is(verb, "stop"))
      media.StopMedia(player);
    else if (media.MediaMode(player) == Mode::kPaused)
      media.PlayMedia(player, -1, d.to, d.repeat);
    return Done();
  }

  if (Is(verb, "seek")) {
    if (args.size() < 2 || !Is(args[0], "to")) return Fail(MciError::kMissingParameter);
    for (size_t i = 2; i < args.size(); ++i)
      if (!IsQuietFlag(args[i])) return Fail(MciError::kBadParameter);
    int64_t at = 0;
    if (Is(args[1], "end"))
      at = media.MediaLength(player);
    else if (!Is(args[1], "start"))
      if (std::optional<MciError> e = time_of(args[1], at)) return Fail(*e);
    media.SeekMedia(player, at);
    return Done();
  }

  // The item a status, set, setaudio or capability names, flags aside.
  Words item;
  for (const std::string& a : args)
    if (!IsQuietFlag(a)) item.push_back(a);
  auto item_is = [&](std::initializer_list<std::string_view> words) {
    if (item.size() != words.size()) return false;
    size_t i = 0;
    for (std::string_view k : words)
      if (!Is(item[i++], k)) return false;
    return true;
  };

  if (Is(verb, "status")) {
    if (item.empty()) return Fail(MciError::kMissingParameter);
    if (item_is({"mode"})) return Done(ModeWord(media.MediaMode(player)));
    if (item_is({"length"})) return Done(std::to_string(media.MediaLength(player)));
    if (item_is({"position"})) return Done(std::to_string(media.MediaPosition(player)));
    if (item_is({"ready"}))
      return Done(media.MediaMode(player) == Mode::kNotReady ? "false" : "true");
    if (item_is({"time", "format"})) return Done("milliseconds");
    if (item_is({"volume"})) return Done(std::to_string(d.volume));
    return Fail(MciError::kBadParameter);
  }

  if (Is(verb, "set")) {
    if (item.empty()) return Fail(MciError::kMissingParameter);
    if (item_is({"time", "format", "milliseconds"}) || item_is({"time", "format", "ms"}))
      return Done();
    if (item_is({"audio", "all", "off"}) || item_is({"audio", "all", "on"})) {
      media.SetMediaMuted(player, Is(item[2], "off"));
      return Done();
    }
    return Fail(MciError::kBadParameter);
  }

  if (Is(verb, "setaudio")) {
    if (item.size() == 1 && (Is(item[0], "off") || Is(item[0], "on"))) {
      media.SetMediaMuted(player, Is(item[0], "off"));
      return Done();
    }
    if (item.size() == 3 && Is(item[0], "volume") && Is(item[1], "to")) {
      int64_t volume = 0;
      if (!ReadCount(item[2], volume)) return Fail(MciError::kBadParameter);
      if (volume > 1000) return Fail(MciError::kOutOfRange);
      d.volume = static_cast<int>(volume);
      media.SetMediaVolume(player, d.volume);
      return Done();
    }
    return Fail(item.empty() ? MciError::kMissingParameter : MciError::kBadParameter);
  }

  // capability
  if (item.empty()) return Fail(MciError::kMissingParameter);
  if (item_is({"can", "play"}) || item_is({"has", "audio"}) || item_is({"uses", "files"}) ||
      item_is({"compound", "device"}))
    return Done("true");
  if (item_is({"can", "record"}) || item_is({"can", "save"}) || item_is({"can", "eject"}) ||
      item_is({"has", "video"}))
    return Done("false");
  if (item_is({"device", "type"})) return Done(d.type);
  return Fail(MciError::kBadParameter);
}

}  // namespace sorane
