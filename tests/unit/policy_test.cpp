#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "answering_host.h"
#include "platform/files.h"
#include "policy/security.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

TEST(SecurityIni, LevelFromTheProgramsSection) {
  const char* ini =
      "[other.srn]\r\nsecurity=low\r\n"
      "[Tool.SRN]\r\n  Security = High ; fixed by the admin\r\n";
  EXPECT_EQ(SecurityLevelFromIni(ini, "tool.srn"), 2);  // section and key ignore case
  EXPECT_EQ(SecurityLevelFromIni(ini, "other.srn"), 0);
  EXPECT_EQ(SecurityLevelFromIni(ini, "missing.srn"), -1);
  EXPECT_EQ(SecurityLevelFromIni("[a.srn]\nsecurity=HIGH\n", "a.srn"), 2);
  EXPECT_EQ(SecurityLevelFromIni("[a.srn]\nsecurity=Low\n", "a.srn"), 0);
  for (const char* v : {"mid", "x", "1", "\"middle\""})
    EXPECT_EQ(SecurityLevelFromIni(std::string("[a.srn]\nsecurity=") + v + "\n", "a.srn"), 1) << v;
  // Missing key or empty value: the level stays as it is.
  EXPECT_EQ(SecurityLevelFromIni("[a.srn]\nsecurity=\n", "a.srn"), -1);
  EXPECT_EQ(SecurityLevelFromIni("[a.srn]\nlevel=high\n[b.srn]\nsecurity=high\n", "a.srn"), -1);
  // Only the first section of that name counts.
  EXPECT_EQ(SecurityLevelFromIni("[a.srn]\nx=1\n[a.srn]\nsecurity=high\n", "a.srn"), -1);
}

TEST(SecurityIni, NameInAnyCaseAndForm) {
  for (const char* n : {"security.ini", "SECURITY.INI", "/p/Security.Ini", "sub\\security.ini",
                        "security.ini/", "sub\\SECURITY.ini\\"})
    EXPECT_TRUE(IsSecurityIniName(n)) << n;
  for (const char* n : {"xsecurity.ini", "security.ini.bak", "security.ini/x", "*", ""})
    EXPECT_FALSE(IsSecurityIniName(n)) << n;
}

TEST(SecurityIni, InsideMeansStrictlyBelow) {
  EXPECT_TRUE(IsInsideFolder("/a/b/c", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("/a/b", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("/a/bc/d", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("/a", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("/a/b/c", ""));
  EXPECT_TRUE(IsInsideFolder("/x", "/"));
}

// A program folder "prog" with the script "tool.srn", the current folder set to
// it, and a folder "outside" beside it.
class SecurityCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = fs::current_path();
    root_ = fs::temp_directory_path() /
            ("sorane-policy-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "prog" / "sub");
    fs::create_directories(root_ / "outside");
    prog_ = root_ / "prog";
    fs::current_path(prog_);
    in_.S.HostPath = FromOsPath(prog_.string() + "/");
    in_.S.ProgramPath = FromOsPath((prog_ / "tool.srn").string());
    in_.S.SecurityLevel = 1;
    SetSecurityAsker(&AskThroughHost);
  }
  void TearDown() override {
    SetSecurityAsker(nullptr);
    fs::current_path(old_cwd_);
    fs::remove_all(root_);
  }
  bool Check(const std::string& target) { return SecurityCheck(in_, target, "q"); }
  void WriteIni(const std::string& text) { std::ofstream(prog_ / "security.ini") << text; }
  std::string Outside(const char* name) { return (root_ / "outside" / name).string(); }

  fs::path old_cwd_, root_, prog_;
  AnsweringHost host_;
  Interpreter in_{host_};
};

TEST_F(SecurityCheckTest, MiddleLevelAsksOnlyOutsideOrForPatterns) {
  EXPECT_TRUE(Check("a.txt"));
  EXPECT_TRUE(Check("sub\\a.txt"));
  EXPECT_TRUE(Check((prog_ / "sub" / "new" / "b.txt").string()));
  EXPECT_TRUE(host_.questions.empty());

  host_.answer = kAnswerNo;
  EXPECT_FALSE(Check(Outside("a.txt")));
  EXPECT_FALSE(Check("*.txt"));                // a pattern inside still asks
  EXPECT_FALSE(Check("a?.txt"));               // "?" counts like "*"
  EXPECT_FALSE(Check("*"));                    // registry and associations
  EXPECT_FALSE(Check("sub/../../outside/x"));  // normalised before deciding
  EXPECT_FALSE(Check("."));                    // the folder itself is not inside it
  EXPECT_EQ(host_.questions.size(), 6u);
  EXPECT_EQ(in_.S.SecurityLevel, 1);
}

TEST_F(SecurityCheckTest, RelativeNamesCountFromTheCurrentFolder) {
  fs::current_path(root_ / "outside");
  EXPECT_FALSE(Check("a.txt"));
  EXPECT_EQ(host_.questions.size(), 1u);
}

TEST_F(SecurityCheckTest, LinksAreFollowedBeforeDeciding) {
  fs::create_directory_symlink(root_ / "outside", prog_ / "out-link");
  EXPECT_FALSE(Check("out-link/a.txt"));
  EXPECT_EQ(host_.questions.size(), 1u);
}

TEST_F(SecurityCheckTest, LowAllowsAndHighRefusesWithoutAsking) {
  in_.S.SecurityLevel = 0;
  EXPECT_TRUE(Check(Outside("a.txt")));
  EXPECT_TRUE(Check("*"));
  in_.S.SecurityLevel = 2;
  EXPECT_FALSE(Check("a.txt"));
  EXPECT_TRUE(host_.questions.empty());
}

TEST_F(SecurityCheckTest, AnswersForAllChangeTheLevel) {
  host_.answer = kAnswerYes;
  EXPECT_TRUE(Check(Outside("a")));
  EXPECT_EQ(in_.S.SecurityLevel, 1);
  host_.answer = -1;  // closed without an answer
  EXPECT_FALSE(Check(Outside("a")));
  host_.answer = kAnswerYesToAll;
  EXPECT_TRUE(Check(Outside("a")));
  EXPECT_EQ(in_.S.SecurityLevel, 0);
  EXPECT_TRUE(Check(Outside("b")));
  EXPECT_EQ(host_.questions.size(), 3u);

  in_.S.SecurityLevel = 1;
  host_.answer = kAnswerNoToAll;
  EXPECT_FALSE(Check(Outside("a")));
  EXPECT_EQ(in_.S.SecurityLevel, 2);
  EXPECT_FALSE(Check("inside.txt"));
  EXPECT_EQ(host_.questions.size(), 4u);
}

TEST_F(SecurityCheckTest, SecurityIniIsReadAtEveryCheck) {
  in_.S.SecurityLevel = 0;  // as with "-security low"
  WriteIni("[tool.srn]\nsecurity=H\n");
  EXPECT_FALSE(Check("a.txt"));
  EXPECT_EQ(in_.S.SecurityLevel, 2);
  WriteIni("[TOOL.SRN]\nsecurity=low\n");
  EXPECT_TRUE(Check(Outside("a")));
  // The file overrides an earlier 全ていいえ too.
  in_.S.SecurityLevel = 2;
  EXPECT_TRUE(Check(Outside("a")));
  WriteIni("[other.srn]\nsecurity=low\n");
  in_.S.SecurityLevel = 2;
  EXPECT_FALSE(Check("a.txt"));
  EXPECT_TRUE(host_.questions.empty());
}

TEST_F(SecurityCheckTest, SecurityIniIsGuardedAtEveryLevel) {
  WriteIni("[other.srn]\nsecurity=low\n");
  in_.S.SecurityLevel = 0;
  for (const std::string& t : {std::string("security.ini"), std::string("SECURITY.INI"),
                               Outside("Security.Ini"), std::string("sub\\security.ini")}) {
    host_.dialogs.clear();
    EXPECT_FALSE(Check(t)) << t;
    ASSERT_EQ(host_.dialogs.size(), 1u) << t;
    EXPECT_EQ(host_.dialogs[0], SJ("このプログラムは、\"security.ini\"を、操作出来ません！"));
  }
  // Reached through a symbolic or a hard link.
  fs::create_symlink(prog_ / "security.ini", prog_ / "innocent.txt");
  fs::create_hard_link(prog_ / "security.ini", prog_ / "hard.txt");
  EXPECT_FALSE(Check("innocent.txt"));
  EXPECT_FALSE(Check("hard.txt"));
  // The folder holding it, or one above, would take it along.
  EXPECT_FALSE(Check(prog_.string()));
  EXPECT_FALSE(Check(root_.string()));
  EXPECT_TRUE(Check("sub"));
  // With several targets (a move), one guarded target refuses the whole command.
  EXPECT_FALSE(SecurityCheck(in_, std::vector<std::string>{"a.txt", "Security.ini"}, "q"));
  EXPECT_TRUE(host_.questions.empty());
}

TEST_F(SecurityCheckTest, TwoTargetsAreSilentOnlyWhenBothAreInside) {
  std::vector<std::string> inside = {"a.txt", "sub/b.txt"};
  std::vector<std::string> leaving = {"a.txt", Outside("b.txt")};
  EXPECT_TRUE(SecurityCheck(in_, inside, "q"));
  EXPECT_FALSE(SecurityCheck(in_, leaving, "q"));
  EXPECT_EQ(host_.questions.size(), 1u);
}

TEST(SecurityAsk, WithoutATerminalTheAnswerIsNoAndStandardErrorSaysWhy) {
  int in_pipe[2], err_pipe[2];
  ASSERT_EQ(pipe(in_pipe), 0);
  ASSERT_EQ(pipe(err_pipe), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(err_pipe[1], 2);
    AnsweringHost host;
    host.answer = kAnswerYes;
    Interpreter in(host);
    int answer = AskOnTerminal(in, SJ("\"/etc/x\"へ書き込みます。"));
    _exit(answer == kAnswerNo && host.questions.empty() ? 0 : 1);
  }
  close(in_pipe[0]);
  close(err_pipe[1]);
  std::string err;
  char buf[512];
  ssize_t n;
  while ((n = read(err_pipe[0], buf, sizeof buf)) > 0) err.append(buf, n);
  int status = 0;
  waitpid(pid, &status, 0);
  close(in_pipe[1]);
  close(err_pipe[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(err.find("/etc/x"), std::string::npos) << err;
  EXPECT_NE(err.find("-security low"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
}  // namespace sorane
