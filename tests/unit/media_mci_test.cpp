// The MCI command-string interpreter on a fake media service: the answers of
// each command, its errors, waiting; and the 演奏 commands in scripts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fake_media.h"
#include "library/library.h"
#include "library/media/mci.h"
#include "library/media/media_commands.h"
#include "script_run_fixture.h"
#include "test_files.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class FakeContext : public MciContext {
 public:
  FakeMedia media;
  std::map<std::string, std::string> files;  // as named -> OS path
  bool may_write = false;
  std::vector<std::string> asked;  // the files MayWrite was asked about
  int steps = 0;
  int stop_after = -1;  // WaitStep: the run stops after this many steps
  int ends_after = -1;  // WaitStep: playback ends after this many steps

  HostMedia& Media() override { return media; }
  std::string FindFile(const std::string& name) override {
    auto it = files.find(name);
    return it == files.end() ? "" : it->second;
  }
  bool MayWrite(const std::string& name) override {
    asked.push_back(name);
    return may_write;
  }
  bool WaitStep() override {
    ++steps;
    if (steps == ends_after)
      for (auto& [n, p] : media.players) p.mode = HostMedia::Mode::kStopped;
    return steps != stop_after;
  }
};

class MciTest : public ::testing::Test {
 protected:
  FakeContext cx;
  MciDevices devices;
  void SetUp() override {
    cx.files["a.wav"] = "/m/a.wav";
    cx.files[Utf8ToSjis("曲 1.mid")] = "/m/曲 1.mid";
  }
  // The answer, or "ERR " and the error's text (UTF-8).
  std::string Send(const char* utf8) {
    MciAnswer a = devices.Send(cx, Utf8ToSjis(utf8));
    return a.ok ? SjisToUtf8(a.text) : "ERR " + SjisToUtf8(a.text);
  }
  static std::string Err(MciError e) { return "ERR " + SjisToUtf8(MciErrorText(e)); }
};

TEST_F(MciTest, WordsKeepQuotedBlanksAndWholeCp932Names) {
  std::vector<std::string> w = MciWords(Utf8ToSjis("open \"曲 1.mid\"\talias  x "));
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(SjisToUtf8(w[1]), "曲 1.mid");
  EXPECT_EQ(w[3], "x");
  EXPECT_TRUE(MciWords("   ").empty());
}

TEST_F(MciTest, ADeviceThroughItsLife) {
  EXPECT_EQ(Send("open a.wav type waveaudio alias snd"), "1");
  EXPECT_EQ(cx.media.calls.back(), "open /m/a.wav");
  EXPECT_EQ(Send("status snd mode"), "stopped");
  EXPECT_EQ(Send("status snd ready"), "true");
  EXPECT_EQ(Send("set snd time format milliseconds"), "");
  EXPECT_EQ(Send("status snd time format"), "milliseconds");
  EXPECT_EQ(Send("status snd length"), "1000");
  EXPECT_EQ(Send("play snd from 100 to 500 notify"), "");
  EXPECT_EQ(cx.media.calls.back(), "play 1 100 500 0");
  EXPECT_EQ(Send("status snd mode"), "playing");
  EXPECT_EQ(Send("status snd position"), "100");
  EXPECT_EQ(Send("pause snd"), "");
  EXPECT_EQ(Send("status snd mode"), "paused");
  // resume goes on as the play asked: up to 500, not looping.
  EXPECT_EQ(Send("resume snd"), "");
  EXPECT_EQ(cx.media.calls.back(), "play 1 -1 500 0");
  EXPECT_EQ(Send("stop snd"), "");
  EXPECT_EQ(Send("status snd mode"), "stopped");
  EXPECT_EQ(Send("seek snd to end"), "");
  EXPECT_EQ(Send("status snd position"), "1000");
  EXPECT_EQ(Send("seek snd to start"), "");
  EXPECT_EQ(Send("seek snd to 250"), "");
  EXPECT_EQ(Send("status snd position"), "250");
  EXPECT_EQ(Send("set snd audio all off"), "");
  EXPECT_TRUE(cx.media.players.at(1).muted);
  EXPECT_EQ(Send("set snd audio all on"), "");
  EXPECT_FALSE(cx.media.players.at(1).muted);
  EXPECT_EQ(Send("setaudio snd volume to 300"), "");
  EXPECT_EQ(cx.media.players.at(1).volume, 300);
  EXPECT_EQ(Send("status snd volume"), "300");
  EXPECT_EQ(Send("capability snd can play"), "true");
  EXPECT_EQ(Send("capability snd can record"), "false");
  EXPECT_EQ(Send("capability snd device type"), "waveaudio");
  EXPECT_EQ(Send("play snd repeat"), "");
  EXPECT_EQ(cx.media.calls.back(), "play 1 -1 -1 1");
  EXPECT_EQ(Send("close snd"), "");
  EXPECT_EQ(cx.media.calls.back(), "close 1");
  EXPECT_EQ(Send("status snd mode"), Err(MciError::kNotOpen));
  // The alias is free again; device numbers go on.
  EXPECT_EQ(Send("open a.wav alias snd"), "2");
}

TEST_F(MciTest, NamesAndKeywordsInAnyCaseAndTheDefaultAlias) {
  EXPECT_EQ(Send("OPEN \"曲 1.mid\""), "1");
  EXPECT_EQ(Send("Status \"曲 1.mid\" MODE"), "stopped");
  EXPECT_EQ(Send("capability \"曲 1.mid\" device type"), "sequencer");
  EXPECT_EQ(Send("open waveaudio!a.wav alias Loud"), "2");
  EXPECT_EQ(Send("capability loud device type"), "waveaudio");
  EXPECT_EQ(Send("close all"), "");
  EXPECT_TRUE(cx.media.players.empty());
  EXPECT_EQ(Send("close loud"), Err(MciError::kNotOpen));
}

TEST_F(MciTest, ErrorsAreAnswersNeverFailures) {
  EXPECT_EQ(Send(""), Err(MciError::kUnknownCommand));
  EXPECT_EQ(Send("eject cd"), Err(MciError::kUnknownCommand));
  EXPECT_EQ(Send("play nothing"), Err(MciError::kNotOpen));
  EXPECT_EQ(Send("open"), Err(MciError::kMissingParameter));
  EXPECT_EQ(Send("open missing.wav alias m"), Err(MciError::kFileMissing));
  EXPECT_EQ(Send("open cdaudio"), Err(MciError::kCannotOpen));
  EXPECT_EQ(Send("open new type waveaudio alias rec"), Err(MciError::kUnsupported));
  EXPECT_EQ(Send("open a.wav alias x bogus"), Err(MciError::kBadParameter));
  cx.media.refuse = HostMedia::Failure::kCannotOpen;
  EXPECT_EQ(Send("open a.wav alias x"), Err(MciError::kCannotOpen));
  cx.media.refuse = HostMedia::Failure::kUnsupported;
  EXPECT_EQ(Send("open \"曲 1.mid\" alias x"), Err(MciError::kUnsupportedFormat));
  cx.media.refuse = HostMedia::Failure::kNone;
  ASSERT_EQ(Send("open a.wav alias x"), "1");
  EXPECT_EQ(Send("open a.wav alias X"), Err(MciError::kAliasInUse));
  EXPECT_EQ(Send("play x from abc"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("play x from -5"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("play x from 5000"), Err(MciError::kOutOfRange));
  EXPECT_EQ(Send("play x from 99999999999999999999"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("play x from 500 to 100"), Err(MciError::kOutOfRange));
  EXPECT_EQ(Send("play x sideways"), Err(MciError::kBadParameter));
  // Waiting for a play that repeats would never end.
  EXPECT_EQ(Send("play x repeat wait"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("seek x"), Err(MciError::kMissingParameter));
  EXPECT_EQ(Send("seek x to 1001"), Err(MciError::kOutOfRange));
  EXPECT_EQ(Send("status x"), Err(MciError::kMissingParameter));
  EXPECT_EQ(Send("status x colour"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("set x time format frames"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("setaudio x volume to 1001"), Err(MciError::kOutOfRange));
  EXPECT_EQ(Send("capability x can fly"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("pause x now"), Err(MciError::kBadParameter));
  EXPECT_EQ(Send("record x"), Err(MciError::kUnsupported));
  // None of these played anything.
  EXPECT_EQ(cx.media.calls.back(), "open /m/a.wav");
}

TEST_F(MciTest, SavingAsksThePolicyFirst) {
  EXPECT_EQ(Send("save nothing out.wav"), Err(MciError::kWriteRefused));
  EXPECT_EQ(cx.asked, std::vector<std::string>{"out.wav"});
  cx.may_write = true;
  EXPECT_EQ(Send("save nothing out.wav"), Err(MciError::kNotOpen));
  ASSERT_EQ(Send("open a.wav alias x"), "1");
  EXPECT_EQ(Send("save x out.wav"), Err(MciError::kUnsupported));
  EXPECT_EQ(Send("save x"), Err(MciError::kMissingParameter));
}

TEST_F(MciTest, PlayWaitEndsWithThePlayOrTheRun) {
  ASSERT_EQ(Send("open a.wav alias x"), "1");
  cx.ends_after = 3;
  EXPECT_EQ(Send("play x wait"), "");
  EXPECT_EQ(cx.steps, 3);
  EXPECT_EQ(Send("status x mode"), "stopped");
  // Still playing, but the window closes: the wait ends.
  cx.steps = 0;
  cx.ends_after = -1;
  cx.stop_after = 5;
  EXPECT_EQ(Send("play x wait"), "");
  EXPECT_EQ(cx.steps, 5);
  EXPECT_EQ(Send("status x mode"), "playing");
}

// ---- The commands in scripts ----

// Scripts whose "DIR/" names a folder holding a.wav and b.mid (the fake
// plays anything).
class MediaScriptTest : public ScriptRunFixture {
 protected:
  FakeMedia media;
  std::filesystem::path dir;
  void SetUp() override {
    host.media = &media;
    host.continue_after_error = true;
    InstallLibrary(in);
    char tmpl[] = "/tmp/sorane-media-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir = tmpl;
    WriteRaw(dir / "a.wav", "RIFF");
    WriteRaw(dir / "b.mid", "MThd");
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void Run(std::string utf8) {
    for (size_t at; (at = utf8.find("DIR/")) != std::string::npos;)
      utf8.replace(at, 3, dir.string());
    Load(utf8.c_str());
  }
  std::string Errors() { return SjisToUtf8(in.ErrorLog); }
};

TEST(MediaRules, LoopingDependsOnTheFileType) {
  EXPECT_TRUE(PlaysInLoop("a.WAV", "2"));
  EXPECT_FALSE(PlaysInLoop("a.wav", "0"));
  EXPECT_FALSE(PlaysInLoop("a.mid", "2"));
  EXPECT_TRUE(PlaysInLoop("a.mid", "1"));
  EXPECT_FALSE(PlaysInLoop("a.mp3", "0"));
  EXPECT_EQ(SjisToUtf8(PlayStateWord(HostMedia::Mode::kPlaying)), "演奏中");
  EXPECT_EQ(SjisToUtf8(PlayStateWord(HostMedia::Mode::kPaused)), "一時停止");
  EXPECT_EQ(SjisToUtf8(PlayStateWord(HostMedia::Mode::kOpen)), "再生待ち");
  EXPECT_EQ(SjisToUtf8(PlayStateWord(HostMedia::Mode::kNotReady)), "未設定");
}

TEST_F(MediaScriptTest, PlayStateStopAndRepeat) {
  Run("演奏繰り返し=「2」\n"
      "「DIR/b.mid」を、演奏\n"
      "A=演奏状態\n"
      "「DIR/a.wav」を、繰り返し演奏\n"
      "B=演奏状態\n"
      "C=演奏繰り返し\n"
      "演奏停止\n"
      "D=演奏状態\n"
      "「ない.wav」を、演奏\n"
      "BEEP\n");
  EXPECT_EQ(Var("A"), "演奏中");
  EXPECT_EQ(Var("B"), "演奏中");
  EXPECT_EQ(Var("C"), "2");  // restored after 繰り返し演奏
  EXPECT_EQ(Var("D"), "未設定");
  // The first player was closed by the second 演奏; "2" loops only a ".wav".
  ASSERT_GE(media.calls.size(), 5u);
  EXPECT_EQ(media.calls[1], "play 1 -1 -1 0");
  EXPECT_EQ(media.calls[2], "close 1");
  EXPECT_EQ(media.calls[4], "play 2 -1 -1 1");
  EXPECT_NE(Errors().find("ファイル\"ない.wav\"が、ありません。"), std::string::npos);
  EXPECT_EQ(media.beeps, 1);
}

TEST_F(MediaScriptTest, APlayerThatCannotOpenFailsLoudlyExceptForAWave) {
  media.refuse = HostMedia::Failure::kUnsupported;
  Run("「DIR/a.wav」を、演奏\n"
      "「DIR/b.mid」を、演奏\n"
      "A=演奏状態\n"
      "「open DIR/b.mid alias x」を、MCI送信\n"
      "B=それ\n"
      "「status x mode」を、MCI送信\n"
      "C=それ\n");
  // The wave file fails quietly, the other one as an error of the run.
  EXPECT_EQ(Errors().find("a.wav"), std::string::npos);
  EXPECT_NE(Errors().find("b.mid\"を、演奏できません。このファイルの形式は再生できません。"),
            std::string::npos);
  EXPECT_EQ(Var("A"), "未設定");
  EXPECT_EQ(Var("B"), "MCIエラー:このファイルの形式は再生できません。");
  EXPECT_EQ(Var("C"), "MCIエラー:指定されたデバイスは開かれていません。");
}

}  // namespace
}  // namespace sorane
