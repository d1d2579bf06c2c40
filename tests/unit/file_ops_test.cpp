// Writes and moves that must never lose data, and copies that must never hang:
// moves across file systems onto a small disk that fills up, a handle's line
// that does not fit, copies of folders holding FIFOs and sockets, a file moved,
// copied or renamed onto itself through links, 表示出力先 on a full disk and a
// console whose standard output cannot be written.
//
// The small disk is a tmpfs of 256 KB mounted by the test (root only; skipped
// with a message otherwise) and always unmounted afterwards. Runs of the
// executable and copies that could hang run with a time limit, so a hang fails
// the test instead of stopping the suite.
#include "platform/file_ops.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library/handles/handles_stream.h"
#include "test_files.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

// Waits for the child, killing it after `seconds`; its wait status, or -1
// when it had to be killed.
int WaitWithLimit(pid_t pid, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

// Runs `body` in a child process with a time limit; true when it returned
// true in time.
template <typename Body>
bool InChildWithin(int seconds, Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = WaitWithLimit(pid, seconds);
  return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct RunResult {
  int status = -1;  // exit status; -1 when killed or hung
  std::string err;
};

// Runs `sorane --console SCRIPT ARGS` in `dir` with standard input empty,
// standard output to `out` and standard error captured.
RunResult RunSorane(const fs::path& dir, const std::string& script_utf8,
                    const std::vector<std::string>& args = {},
                    const std::string& out = "/dev/null") {
  WriteRaw(dir / "t.srn", script_utf8);
  fs::path err_file = dir.parent_path() / "stderr.txt";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(99);
    int in = open("/dev/null", O_RDONLY);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<std::string> all = {SORANE_EXE, "--console", "t.srn"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(SORANE_EXE, argv.data());
    _exit(98);
  }
  RunResult r;
  int status = WaitWithLimit(pid, 30);
  if (status >= 0 && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  r.err = ReadAll(err_file);
  return r;
}

// A folder on the usual file system (local/) and a 256 KB tmpfs (disk/).
class SmallDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-disk-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    root_ = tmpl;
    fs::create_directories(root_ / "local");
    fs::create_directories(root_ / "disk");
    if (geteuid() != 0) GTEST_SKIP() << "mounting the small tmpfs needs root; skipped";
    if (mount("tmpfs", (root_ / "disk").c_str(), "tmpfs", 0, "size=256k") != 0)
      GTEST_SKIP() << "cannot mount a tmpfs here (" << strerror(errno) << "); skipped";
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2((root_ / "disk").c_str(), MNT_DETACH);
    fs::remove_all(root_);
  }
  fs::path Local(const std::string& n) const { return root_ / "local" / n; }
  fs::path Disk(const std::string& n) const { return root_ / "disk" / n; }
  // Entries whose names start with "." (temporary files) in a folder.
  static size_t HiddenIn(const fs::path& folder) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string()[0] == '.') ++n;
    return n;
  }

  fs::path root_;
  bool mounted_ = false;
  const std::string big_ = std::string(400 << 10, 'B');  // more than the disk holds
};

TEST_F(SmallDisk, AMoveThatDoesNotFitKeepsTheDestinationAndTheSource) {
  // A folder merged into an existing one: the destination's own files stay.
  fs::create_directories(Local("box"));
  WriteRaw(Local("box/big.bin"), big_);
  WriteRaw(Local("box/small.txt"), "small");
  fs::create_directories(Disk("dst/box"));
  WriteRaw(Disk("dst/box/keep.txt"), "not part of the move");
  WriteRaw(Disk("dst/box/big.bin"), "old big");
  EXPECT_FALSE(MoveOsPath(Local("box"), Disk("dst/box")));
  EXPECT_EQ(ReadAll(Disk("dst/box/keep.txt")), "not part of the move");
  EXPECT_EQ(ReadAll(Disk("dst/box/big.bin")), "old big");
  EXPECT_EQ(ReadAll(Local("box/big.bin")), big_);
  EXPECT_EQ(HiddenIn(Disk("dst/box")), 0u);

  // A single file: the old destination file stays.
  WriteRaw(Disk("old.bin"), "old file");
  EXPECT_FALSE(MoveOsPath(Local("box/big.bin"), Disk("old.bin")));
  EXPECT_EQ(ReadAll(Disk("old.bin")), "old file");
  EXPECT_EQ(ReadAll(Local("box/big.bin")), big_);

  // A new folder: nothing half-made is left beside the destination.
  EXPECT_FALSE(MoveOsPath(Local("box"), Disk("fresh")));
  EXPECT_FALSE(fs::exists(Disk("fresh")));
  EXPECT_EQ(HiddenIn(Disk("")), 0u);

  // What fits moves, merged, and the source goes.
  fs::remove(Local("box/big.bin"));
  ASSERT_TRUE(MoveOsPath(Local("box"), Disk("dst/box")));
  EXPECT_EQ(ReadAll(Disk("dst/box/small.txt")), "small");
  EXPECT_EQ(ReadAll(Disk("dst/box/keep.txt")), "not part of the move");
  EXPECT_FALSE(fs::exists(Local("box")));
}

TEST_F(SmallDisk, AMoveThatFailsIsReportedByTheCommand) {
  WriteRaw(Local("big.bin"), big_);
  fs::create_directories(Disk("dst"));
  WriteRaw(Disk("dst/big.bin"), "old big");
  RunResult r = RunSorane(root_ / "local",
                          "「big.bin」から、「" + Disk("dst").string() + "」へ、ファイル移動\n",
                          {"-security", "low"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("ファイルの移動。理由は、ディスクの空き容量が足りません。"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadAll(Disk("dst/big.bin")), "old big");
  EXPECT_EQ(ReadAll(Local("big.bin")), big_);
}

TEST_F(SmallDisk, AHandleLineThatDoesNotFitIsTakenBack) {
  WriteRaw(Disk("h.txt"), "line1\r\nline2\r\n");
  auto s = TextFileStream::Open(Disk("h.txt").string(), TextFileStream::kReadWrite);
  ASSERT_TRUE(s);
  s->SeekToEnd();
  EXPECT_FALSE(s->WriteLine(big_));
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(ReadAll(Disk("h.txt")), "line1\r\nline2\r\n");
  EXPECT_EQ(s->Position(), 14);
  // Over existing lines: the overwritten bytes come back too.
  s->Seek(0);
  EXPECT_FALSE(s->WriteLine(big_));
  EXPECT_EQ(ReadAll(Disk("h.txt")), "line1\r\nline2\r\n");
  EXPECT_FALSE(s->WriteBytes("x", 400 << 10));
  EXPECT_EQ(ReadAll(Disk("h.txt")), "line1\r\nline2\r\n");
  EXPECT_EQ(s->Position(), 0);
  // A line that fits is written.
  s->SeekToEnd();
  EXPECT_TRUE(s->WriteLine("line3"));
  EXPECT_EQ(ReadAll(Disk("h.txt")), "line1\r\nline2\r\nline3\r\n");
}

TEST_F(SmallDisk, PrintToAFileOnAFullDiskReportsAndLeavesNoPartialLine) {
  fs::create_directories(Disk("app"));
  WriteRaw(Local("big.txt"), big_);
  RunResult r =
      RunSorane(root_ / "disk" / "app", "表示出力先は、「out.txt」\n「前」と、表示\nBに、「" +
                                            Local("big.txt").string() +
                                            "」を、読む\nBと、表示\n「後」と、表示\n");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("out.txt\"の、読み込みか書き込みに、失敗しました。"), std::string::npos)
      << r.err;
  EXPECT_EQ(ReadAll(Disk("app/out.txt")), "\x91\x4f\r\n");  // 「前」 in CP932, nothing after
}

// ---------------------------------------------------------------- special files

TEST(SpecialFiles, CopyingAFolderWithAFifoOrSocketNeverOpensThem) {
  char tmpl[] = "/tmp/sorane-fifo-XXXXXX";
  ASSERT_TRUE(mkdtemp(tmpl));
  fs::path dir = tmpl;
  fs::create_directories(dir / "box");
  WriteRaw(dir / "box" / "a.txt", "a");
  ASSERT_EQ(mkfifo((dir / "box" / "pipe").c_str(), 0640), 0);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sock_path = (dir / "box" / "sock").string();
  ASSERT_LT(sock_path.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, sock_path.c_str());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  EXPECT_TRUE(InChildWithin(10, [&] {
    return CopyOsTree((dir / "box").string(), (dir / "copy").string());
  })) << "the copy failed or hung";
  EXPECT_EQ(ReadAll(dir / "copy" / "a.txt"), "a");
  EXPECT_TRUE(fs::is_fifo(dir / "copy" / "pipe"));  // recreated, not read
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "copy" / "sock")));

  // The FIFO named on its own is recreated too.
  EXPECT_TRUE(InChildWithin(
      10, [&] { return CopyOsTree((dir / "box" / "pipe").string(), (dir / "pipe2").string()); }));
  EXPECT_TRUE(fs::is_fifo(dir / "pipe2"));

  // The command, with its time limit: a hang fails instead of waiting forever.
  RunResult r = RunSorane(dir, "「box」から、「copy2」へ、ファイルコピー\n「済み」と、表示\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_fifo(dir / "copy2" / "pipe"));
  close(sock);
  fs::remove_all(dir);
}

// ---------------------------------------------------------------- the same file

class SameFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-same-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir_ = tmpl;
    fs::create_directories(dir_ / "app");
    WriteRaw(App("a.txt"), "precious");
    fs::create_symlink("a.txt", App("alias"));
    fs::create_directory_symlink(".", App("here"));
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path App(const std::string& n) const { return dir_ / "app" / n; }
  RunResult Run(const std::string& statement) {
    return RunSorane(dir_ / "app", statement + "\n", {"-security", "low"});
  }
  void ExpectKept() {
    EXPECT_FALSE(fs::is_symlink(App("a.txt")));
    EXPECT_EQ(ReadAll(App("a.txt")), "precious");
  }
  fs::path dir_;
};

TEST_F(SameFile, MovingCopyingOrRenamingOntoItselfDoesNothingAndSaysSo) {
  const char* statements[] = {
      "「alias」から、「a.txt」へ、ファイル移動",
      "「a.txt」から、「alias」へ、ファイル移動",
      "「a.txt」から、「here/a.txt」へ、ファイル移動",
      "「a.txt」から、「here/a.txt」へ、ファイルコピー",
      "「alias」から、「a.txt」へ、ファイルコピー",
      "「a.txt」から、「here/a.txt」へ、ファイル名変更",
      "「alias」から、「a.txt」へ、ファイル名変更",
  };
  for (const char* s : statements) {
    RunResult r = Run(s);
    EXPECT_EQ(r.status, 1) << s << "\n" << r.err;
    EXPECT_NE(r.err.find("は、同じファイルです。"), std::string::npos) << s << "\n" << r.err;
    ExpectKept();
  }
  EXPECT_TRUE(SameOsFile(App("alias").string(), App("here/../app/a.txt").string()));
  EXPECT_FALSE(SameOsFile(App("a.txt").string(), App("missing").string()));
}

// ---------------------------------------------------------------- standard output

TEST(ConsoleOutput, AStandardOutputThatCannotBeWrittenEndsTheRunWithStatus1) {
  char tmpl[] = "/tmp/sorane-full-XXXXXX";
  ASSERT_TRUE(mkdtemp(tmpl));
  fs::path dir = tmpl;
  fs::create_directories(dir / "app");
  RunResult r = RunSorane(dir / "app", "「あ」と、表示\n", {}, "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("標準出力に書き込めません。"), std::string::npos) << r.err;
  // Many lines: the run stops at the first failed write instead of going on.
  r = RunSorane(dir / "app",
                "100000回\n  「ああああああああ」と、表示\nここまで\n「最後」と、言う\n", {},
                "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("標準出力に書き込めません。"), std::string::npos) << r.err;
  r = RunSorane(dir / "app", "「あ」と、表示\n");
  EXPECT_EQ(r.status, 0) << r.err;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace sorane
