// The windowed run as a user starts it: the sorane executable on the offscreen
// platform, where nobody can answer a dialog, and --screenshot.
#include <gtest/gtest.h>

#include "test_process.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

class WindowRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-window-XXXXXX";
    dir_ = mkdtemp(tmpl);
    fs::create_directories(dir_ / "prog");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  // No display and no scripted answers; without XDG_RUNTIME_DIR Qt warns.
  const std::vector<std::string> no_display_ = {"DISPLAY",
                                                "WAYLAND_DISPLAY",
                                                "QT_QPA_PLATFORM",
                                                "SORANE_DIALOG_NO_USER",
                                                "SORANE_DIALOG_ANSWERS",
                                                "XDG_RUNTIME_DIR"};
};

// A question is cancelled and the error log goes to standard error: the run
// ends at once with status 1 instead of waiting on dialogs, and nothing of
// Qt's is printed.
TEST_F(WindowRun, OffscreenErrorGoesToStandardErrorAndEndsTheRun) {
  WriteRaw(dir_ / "prog/e.srn", "「名前は？」と、尋ねる\n「一」と、表示\n壊れた命令\n");
  std::vector<std::string> env = no_display_;
  env.push_back("QT_QPA_PLATFORM=offscreen");
  ProcessRun r = RunProcess(SORANE_EXE, {"prog/e.srn"}, dir_, env, 20);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "[エラー] e.srn(3行目): \"壊れた命令\"は未定義の命令です。(;o;)<"
            "綴りミスか、命令の引数に注意！\n");
  EXPECT_LT(r.seconds, 3) << "a second on an idle machine";
}

TEST_F(WindowRun, ScreenshotNamedFromTheStartingFolder) {
  WriteRaw(dir_ / "prog/p.srn", "「絵」と、表示\n");
  // The run changes to prog/; the picture still lands where the user started.
  ProcessRun r =
      RunProcess(SORANE_EXE, {"--screenshot", "shot.png", "prog/p.srn"}, dir_, no_display_, 20);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadAll(dir_ / "shot.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_FALSE(fs::exists(dir_ / "prog/shot.png"));

  r = RunProcess(SORANE_EXE, {"--screenshot", "missing/shot.png", "prog/p.srn"}, dir_, no_display_,
                 20);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "sorane: cannot save the screenshot " + (dir_ / "missing/shot.png").string() +
                       ": No such file or directory\n");

  r = RunProcess(SORANE_EXE, {"--console", "--screenshot", "x.png", "prog/p.srn"}, dir_);
  EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace sorane
