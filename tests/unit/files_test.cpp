#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "library/files/files_util.h"
#include "platform/desktop_entries.h"
#include "platform/file_ops.h"
#include "platform/safe_write.h"
#include "platform/trash.h"
#include "test_files.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sorane-files-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  // Names in the folder (hidden temporary files included).
  size_t EntryCount() const {
    return std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
  }
  fs::path dir_;
};

// ---------------------------------------------------------------- safe writing

using SafeWrite = TempFolder;

TEST_F(SafeWrite, ReplacesKeepingPermissionsAndLinks) {
  WriteRaw(P("a.txt"), "old content");
  chmod(P("a.txt").c_str(), 0640);
  fs::create_symlink("a.txt", dir_ / "link.txt");
  ASSERT_TRUE(WriteOsFileAtomic(P("link.txt"), std::string("new\0bytes\r\n", 11)));
  EXPECT_EQ(ReadAll(P("a.txt")), std::string("new\0bytes\r\n", 11));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  struct stat st;
  ASSERT_EQ(stat(P("a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(EntryCount(), 2u);  // no temporary file left behind

  ASSERT_TRUE(WriteOsFileAtomic(P("empty.txt"), ""));
  EXPECT_TRUE(fs::exists(P("empty.txt")));
  EXPECT_EQ(fs::file_size(P("empty.txt")), 0u);
}

TEST_F(SafeWrite, FailuresLeaveWhatWasThere) {
  fs::create_directory(dir_ / "folder");
  WriteRaw(P("folder/inner"), "x");
  EXPECT_FALSE(WriteOsFileAtomic(P("folder"), "data"));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(ReadAll(P("folder/inner")), "x");
  EXPECT_FALSE(WriteOsFileAtomic(P("missing/a.txt"), "data"));
  EXPECT_FALSE(AppendOsFile(P("nothing.txt"), "data", false));
  EXPECT_FALSE(fs::exists(P("nothing.txt")));
}

TEST_F(SafeWrite, ADeviceOrFifoIsWrittenInPlace) {
  ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
  int reader = open(P("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(WriteOsFileAtomic(P("fifo"), "through"));
  char buf[16] = {};
  EXPECT_EQ(read(reader, buf, sizeof buf), 7);
  close(reader);
  struct stat st;
  ASSERT_EQ(lstat(P("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Runs `body` in a child process whose files may not grow beyond `limit`
// bytes; returns the child's exit status.
template <typename Body>
int WithFileSizeLimit(rlim_t limit, Body body) {
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SafeWrite, AWriteThatFailsPartWayKeepsTheOldFile) {
  std::string old = "precious data\r\n";
  WriteRaw(P("data.txt"), old);
  std::string big(2 << 20, 'x');
  int rc =
      WithFileSizeLimit(1 << 20, [&] { return WriteOsFileAtomic(P("data.txt"), big) ? 1 : 0; });
  EXPECT_EQ(rc, 0);  // the write reported its failure
  EXPECT_EQ(ReadAll(P("data.txt")), old);
  EXPECT_EQ(EntryCount(), 1u);  // the temporary file was removed

  rc = WithFileSizeLimit(1000, [&] { return AppendOsFile(P("data.txt"), big, false) ? 1 : 0; });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadAll(P("data.txt")), old);  // the partial append was cut back
}

TEST_F(SafeWrite, AKilledWriterLeavesTheOldOrTheNewFileNeverAMix) {
  std::string old = "old version";
  WriteRaw(P("data.txt"), old);
  std::string big(256 << 20, 'n');
  pid_t pid = fork();
  if (pid == 0) _exit(WriteOsFileAtomic(P("data.txt"), big) ? 0 : 1);
  // Wait until the temporary file exists, then kill the writer mid-way.
  for (int i = 0; i < 2000 && EntryCount() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  std::string now = ReadAll(P("data.txt"));
  EXPECT_TRUE(now == old || now == big) << "size " << now.size();
}

TEST_F(SafeWrite, CopyKeepsModeAndTime) {
  WriteRaw(P("src.bin"), std::string("\x00\x01\xFF", 3));
  chmod(P("src.bin").c_str(), 0751);
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, P("src.bin").c_str(), times, 0);
  ASSERT_TRUE(CopyOsFileAtomic(P("src.bin"), P("dst.bin")));
  struct stat st;
  ASSERT_EQ(stat(P("dst.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0751u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(ReadAll(P("dst.bin")), std::string("\x00\x01\xFF", 3));
  // Copying a file onto itself loses nothing.
  ASSERT_TRUE(CopyOsFileAtomic(P("src.bin"), P("src.bin")));
  EXPECT_EQ(ReadAll(P("src.bin")), std::string("\x00\x01\xFF", 3));
}

// ---------------------------------------------------------------- trees and paths

using FileOps = TempFolder;

TEST_F(FileOps, RemovingATreeNeverFollowsLinks) {
  fs::create_directories(dir_ / "victim" / "deep");
  fs::create_directories(dir_ / "keep");
  WriteRaw(P("keep/precious.txt"), "x");
  WriteRaw(P("victim/deep/a.txt"), "a");
  fs::create_directory_symlink(dir_ / "keep", dir_ / "victim" / "deep" / "to-keep");
  fs::create_symlink(dir_ / "keep" / "precious.txt", dir_ / "victim" / "file-link");
  ASSERT_TRUE(RemoveOsTree(P("victim/")));
  EXPECT_FALSE(fs::exists(dir_ / "victim"));
  EXPECT_EQ(ReadAll(P("keep/precious.txt")), "x");
}

TEST_F(FileOps, CopyAndMoveTrees) {
  fs::create_directories(dir_ / "a" / "b");
  WriteRaw(P("a/b/c.txt"), "c");
  fs::create_symlink("b/c.txt", dir_ / "a" / "link");
  ASSERT_TRUE(CopyOsTree(P("a"), P("copy")));
  EXPECT_EQ(ReadAll(P("copy/b/c.txt")), "c");
  EXPECT_TRUE(fs::is_symlink(dir_ / "copy" / "link"));
  EXPECT_FALSE(CopyOsTree(P("a"), P("a/b/inside")));  // into itself
  EXPECT_EQ(errno, EINVAL);
  ASSERT_TRUE(MoveOsPath(P("copy"), P("moved")));
  EXPECT_EQ(ReadAll(P("moved/b/c.txt")), "c");
  EXPECT_FALSE(fs::exists(dir_ / "copy"));
}

TEST_F(FileOps, CanonicalPathsResolveWhatExists) {
  fs::create_directories(dir_ / "real");
  fs::create_directory_symlink(dir_ / "real", dir_ / "alias");
  std::string real = fs::canonical(dir_ / "real").string();
  EXPECT_EQ(CanonicalOsPath(P("alias/new/../x.txt")), real + "/x.txt");
  EXPECT_EQ(CanonicalOsPath(P("alias/./missing/deeper/")), real + "/missing/deeper");
  EXPECT_EQ(NormalizeOsPath("/a//b/./c/../../d/"), "/a/d");
  EXPECT_EQ(NormalizeOsPath("/../.."), "/");
}

TEST_F(FileOps, FileSearchTakesTheFirstFolderHoldingAFile) {
  fs::create_directories(dir_ / "one" / "data.txt");  // a folder, not a file
  fs::create_directories(dir_ / "two");
  fs::create_directories(dir_ / "three");
  WriteRaw(P("two/data.txt"), "2");
  WriteRaw(P("three/data.txt"), "3");
  const std::string folders[] = {"", P("one"), P("two"), P("three/")};
  EXPECT_EQ(FindFileInFolders("data.txt", folders), P("two/data.txt"));
  const std::string later[] = {P("three/"), P("two/")};
  EXPECT_EQ(FindFileInFolders("data.txt", later), P("three/data.txt"));
  EXPECT_EQ(FindFileInFolders("missing.txt", folders), "missing.txt");
  EXPECT_EQ(FindFileInFolders("data.txt", std::span<const std::string>()), "data.txt");
}

TEST_F(FileOps, TrashKeepsARecordAndNumbersClashes) {
  std::string trash = P("Trash");
  WriteRaw(P("名前 1.txt"), "one");
  ASSERT_TRUE(MoveToTrash(P("名前 1.txt"), trash));
  WriteRaw(P("名前 1.txt"), "two");
  ASSERT_TRUE(MoveToTrash(P("名前 1.txt"), trash));
  EXPECT_FALSE(fs::exists(P("名前 1.txt")));
  EXPECT_EQ(ReadAll(P("Trash/files/名前 1.txt")), "one");
  EXPECT_EQ(ReadAll(P("Trash/files/名前 1.txt.2")), "two");
  std::string info = ReadAll(P("Trash/info/名前 1.txt.trashinfo"));
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
  EXPECT_NE(info.find("%E5%90%8D%E5%89%8D%201.txt\nDeletionDate="), std::string::npos) << info;
  EXPECT_FALSE(MoveToTrash(P("missing"), trash));
  EXPECT_FALSE(fs::exists(P("Trash/info/missing.trashinfo")));
}

// ---------------------------------------------------------------- names and values

TEST(FileNames, CuttingPathsRespectsDoubleByteCharacters) {
  // "ソ" is 0x83 0x5C: its trail byte is a backslash and is no separator.
  std::string so = SJ("ソ");
  EXPECT_EQ(CutFolderPart("dir\\" + so + ".txt"), "dir\\");
  EXPECT_EQ(CutFolderPart(so + ".txt"), "");
  EXPECT_EQ(CutFolderPart("/home/u/a.b/c"), "/home/u/a.b/");
  EXPECT_EQ(CutExtension("a.b/c"), "");
  EXPECT_EQ(CutExtension("x/archive.tar.gz"), ".gz");
  EXPECT_EQ(CutExtension(".bashrc"), ".bashrc");
  EXPECT_EQ(ChangeExtension("a.b/c", ".txt"), "a.b/c.txt");
  EXPECT_EQ(ChangeExtension("c:" + so + ".csv", ".txt"), "c:" + so + ".txt");
  EXPECT_TRUE(EndsWithPathSeparator("a/"));
  EXPECT_TRUE(EndsWithPathSeparator("a\\"));
  EXPECT_FALSE(EndsWithPathSeparator(so));
}

TEST(FileNames, WildcardsMatchLikeTheFileSystem) {
  EXPECT_TRUE(MatchFileWildcard("*.txt", "Memo.TXT"));
  EXPECT_FALSE(MatchFileWildcard("*.txt", "memo.txt.bak"));
  EXPECT_TRUE(MatchFileWildcard("*.*", "README"));
  EXPECT_TRUE(MatchFileWildcard("a?c", SJ("aあc")));  // "?" is one character
  EXPECT_FALSE(MatchFileWildcard("a?c", "ac"));
  EXPECT_TRUE(MatchFileWildcard("*a*b*", "xxaxxbxx"));
  EXPECT_FALSE(MatchFileWildcard(SJ("ソ*"), SJ("ゾ.txt")));
  EXPECT_TRUE(MatchFileWildcard("*", ".git"));
  EXPECT_TRUE(NameLess("apple", "Banana"));
  EXPECT_TRUE(NameLess("B", "b"));
}

TEST(FileNames, InvalidShiftJisNeverReachesTheFileSystem) {
  EXPECT_TRUE(IsValidFileName(SJ("表.txt")));
  EXPECT_FALSE(IsValidFileName("a\x81.txt"));  // lead byte without a trail byte
  EXPECT_FALSE(IsValidFileName("a\xFF.txt"));
  EXPECT_FALSE(IsValidFileName(std::string("a\0b", 3)));
}

TEST(BinaryValues, DumpReadAndWrite) {
  EXPECT_EQ(BinaryDump("ABC"), "41,42,43,");
  EXPECT_EQ(BinaryDump(std::string(17, '\x0F')),
            "0F,0F,0F,0F,0F,0F,0F,0F,0F,0F,0F,0F,0F,0F,0F,0F\r\n0F,");
  bool number = false;
  std::string v("\x01\x02\xFF\xFF\xFF\xFFhi\0z", 10);
  EXPECT_EQ(BinaryRead(v, 1, BinaryFormat::kWord, number), "513");
  EXPECT_TRUE(number);
  EXPECT_EQ(BinaryRead(v, 3, BinaryFormat::kInt, number), "-1");
  EXPECT_EQ(BinaryRead(v, 3, BinaryFormat::kDword, number), "4294967295");
  EXPECT_EQ(BinaryRead(v, 0, BinaryFormat::kByte, number), "1");  // below 1 counts as 1
  EXPECT_EQ(BinaryRead(v, 7, BinaryFormat::kCharZ, number), "hi");
  EXPECT_FALSE(number);
  EXPECT_EQ(BinaryRead(v, 10, BinaryFormat::kCharZ, number), "z");  // no NUL: to the end
  EXPECT_EQ(BinaryRead(v, 8, BinaryFormat::kDword, number), "0");   // does not fit
  EXPECT_EQ(BinaryRead(v, 11, BinaryFormat::kChar, number), "");
  EXPECT_EQ(ParseBinaryFormat("char*"), BinaryFormat::kCharZ);
  EXPECT_EQ(ParseBinaryFormat("QWORD"), BinaryFormat::kUnknown);

  std::string w(6, '\0');
  EXPECT_TRUE(BinaryWrite(w, 1, BinaryFormat::kWord, "513"));
  EXPECT_TRUE(BinaryWrite(w, 3, BinaryFormat::kInt, "-2"));
  EXPECT_EQ(w, std::string("\x01\x02\xFE\xFF\xFF\xFF", 6));
  EXPECT_TRUE(BinaryWrite(w, 2, BinaryFormat::kCharZ, "ab"));
  EXPECT_EQ(w, std::string("\x01"
                           "ab\0\xFF\xFF",
                           6));
  // Nothing is written outside the value, and it never grows.
  EXPECT_FALSE(BinaryWrite(w, 4, BinaryFormat::kCharZ, "abc"));
  EXPECT_FALSE(BinaryWrite(w, 6, BinaryFormat::kWord, "1"));
  EXPECT_FALSE(BinaryWrite(w, 0, BinaryFormat::kByte, "1"));
  EXPECT_EQ(w, std::string("\x01"
                           "ab\0\xFF\xFF",
                           6));
}

// ---------------------------------------------------------------- desktop files

TEST(DesktopEntries, ExecQuotingAndDefaults) {
  EXPECT_EQ(QuoteExecArgument("/opt/my app/run"), "\"/opt/my app/run\"");
  EXPECT_EQ(QuoteExecArgument("/a$b\"c\\d%e"), "\"/a\\\\$b\\\\\"c\\\\\\\\d%%e\"");
  std::string list = "[Added Associations]\ntext/plain=x.desktop;\n";
  std::string set = SetDefaultApplication(list, "text/plain", "s.desktop");
  EXPECT_EQ(set, list + "\n[Default Applications]\ntext/plain=s.desktop;\n");
  std::string replaced = SetDefaultApplication(set, "text/plain", "t.desktop");
  EXPECT_NE(replaced.find("[Default Applications]\ntext/plain=t.desktop;\n"), std::string::npos);
  EXPECT_EQ(replaced.find("s.desktop"), std::string::npos);
  EXPECT_EQ(SetDefaultApplication(replaced, "text/plain", ""), list + "\n[Default Applications]\n");
  EXPECT_NE(ShortcutEntryText("/p/tool.sh", true)
                .find("Type=Application\nExec=\"/p/tool.sh\"\nPath=/p\n"),
            std::string::npos);
  EXPECT_NE(ShortcutEntryText("/p/a b.txt", false).find("Type=Link\nURL=file:///p/a%20b.txt\n"),
            std::string::npos);
}

}  // namespace
}  // namespace sorane
