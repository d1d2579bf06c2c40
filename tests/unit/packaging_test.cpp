// The FileMix archive byte for byte, the scrambler, damaged archives and
// executables, scrambled texts, command lines of launched programs, shared
// memory, and programs packed with --pack run as users run them.
#include "packaging/packaging.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "library/library.h"
#include "packaging/filemix.h"
#include "packaging/scrambler.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "runtime/interpreter.h"
#include "test_files.h"
#include "test_host.h"
#include "test_process.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct TempDir {
  fs::path path;
  TempDir() {
    char tmpl[] = "/tmp/sorane-pack-test-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

std::string U32(uint32_t v) {
  return Bytes({int(v & 255), int((v >> 8) & 255), int((v >> 16) & 255), int(v >> 24)});
}

// One table record as the layout has it.
std::string Record(const std::string& name, uint32_t offset, uint32_t size, int flag) {
  std::string r = name;
  r.resize(256, '\0');
  return r + U32(offset) + U32(size) + Bytes({flag});
}

std::string Header(int count, uint32_t length) {
  return std::string("fMix") + Bytes({1, count & 255, count >> 8}) + U32(length);
}

std::unique_ptr<TFileMixReader> OpenBytes(const fs::path& file, const std::string& bytes) {
  WriteRaw(file, bytes);
  return TFileMixReader::Open(file, "x.fmx");
}

TEST(FileMix, ThePartsExampleByteForByte) {
  TempDir dir;
  std::string script(21039, '\0');
  for (size_t i = 0; i < script.size(); ++i) script[i] = static_cast<char>("sorane\r\n"[i % 8]);
  std::string data = script;
  TCipher().Scramble(data, ArchiveKey());
  std::string expected = Bytes({0x66, 0x4D, 0x69, 0x78, 0x01, 0x01, 0x00, 0x43, 0x53, 0x00, 0x00}) +
                         Record("SORANE.SRN", 276, 21039, 1) + data;
  ASSERT_EQ(expected.size(), 21315u);
  EXPECT_EQ(expected.substr(256 + 11, 9), Bytes({0x14, 0x01, 0, 0, 0x2F, 0x52, 0, 0, 1}));

  WriteRaw(dir.path / "main.srn", script);
  TFileMixWriter writer;
  writer.Files = {(dir.path / "main.srn").string() + "=sorane.srn=1"};
  ASSERT_EQ(writer.SaveToFile(dir.path / "a.fmx").status, FileMixWriteResult::kOk);
  EXPECT_EQ(ReadAll(dir.path / "a.fmx"), expected);

  auto reader = OpenBytes(dir.path / "b.fmx", expected);
  std::string read;
  ASSERT_TRUE(reader->ReadStream("Sorane.Srn", read));
  EXPECT_EQ(read, script);
  // An archive with no entries is its header alone.
  writer.Files.clear();
  ASSERT_EQ(writer.SaveToFile(dir.path / "empty.fmx").status, FileMixWriteResult::kOk);
  EXPECT_EQ(ReadAll(dir.path / "empty.fmx"), Header(0, 11));
}

TEST(FileMix, NamesFlagsAndReplacedEntries) {
  TempDir dir;
  WriteRaw(dir.path / "a", "first");
  WriteRaw(dir.path / "b", std::string("sec\0ond", 7));
  std::string a = (dir.path / "a").string(), b = (dir.path / "b").string();
  std::string long_name(300, 'n');
  TFileMixWriter writer;
  writer.Files = {a + "=readme.txt", b + "=readme.txt=2", a + "=" + long_name + "=0",
                  b + "=" + SJ("ｚａ全角.txt") + "=x"};
  ASSERT_EQ(writer.SaveToFile(dir.path / "x.fmx").status, FileMixWriteResult::kOk);
  auto reader = TFileMixReader::Open(dir.path / "x.fmx", "x.fmx");
  ASSERT_EQ(reader->Entries().size(), 4u);
  std::string data;
  // The later of two entries with one name; flag 2 stores the data unchanged.
  ASSERT_TRUE(reader->ReadStream("README.TXT", data));
  EXPECT_EQ(data, std::string("sec\0ond", 7));
  EXPECT_NE(ReadAll(dir.path / "x.fmx").find(std::string("sec\0ond", 7)), std::string::npos);
  ASSERT_TRUE(reader->ReadString("Readme.Txt", data));
  EXPECT_EQ(data, "sec");
  // A long name is cut to 255 bytes: the uncut name misses.
  EXPECT_EQ(reader->Entries()[2].name, std::string(255, 'N'));
  EXPECT_FALSE(reader->ReadStream(long_name, data));
  // Double-byte letters are upper-cased as single-byte ones are.
  EXPECT_EQ(reader->Entries()[3].name, SJ("ＺＡ全角.TXT"));
  EXPECT_TRUE(reader->ReadStream(SJ("ｚＡ全角.txt"), data));
}

TEST(FileMix, AFailedWriteLeavesTheOldArchive) {
  TempDir dir;
  WriteRaw(dir.path / "a", "a");
  WriteRaw(dir.path / "old.fmx", "old archive");
  std::string a = (dir.path / "a").string();
  struct Case {
    std::vector<std::string> files;
    FileMixWriteResult::Status status;
  } cases[] = {
      {{a + "=x", (dir.path / "missing").string() + "=y"}, FileMixWriteResult::kUnreadable},
      {{a + "=x", a + "=y=256"}, FileMixWriteResult::kBadFlag},
      {{a + "=x=-1"}, FileMixWriteResult::kBadFlag},
      {{a + "=x", a}, FileMixWriteResult::kEmptyName},
      {{a + "==1"}, FileMixWriteResult::kEmptyName},
  };
  for (const Case& c : cases) {
    TFileMixWriter writer;
    writer.Files = c.files;
    EXPECT_EQ(writer.SaveToFile(dir.path / "old.fmx").status, c.status) << c.files.back();
    EXPECT_EQ(ReadAll(dir.path / "old.fmx"), "old archive");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(FileMix, DamagedArchivesGiveErrorsNeverCrashes) {
  TempDir dir;
  fs::path f = dir.path / "bad.fmx";
  // Too short for a header, another format, a table shorter than its count.
  for (const std::string& bytes :
       {std::string("fMi"), std::string("PK\3\4-------"), Header(3, 0) + Record("A", 0, 0, 0)}) {
    try {
      OpenBytes(f, bytes);
      ADD_FAILURE() << "opened " << bytes.size() << " bytes";
    } catch (const FileMixError& e) {
      EXPECT_EQ(std::string(e.what()),
                SJ("\"x.fmx\"は、TFileMixHeaderでは形式が違うため読めません。"));
    }
  }
  // A name without its NUL, a size of 4 GiB, an offset past the end, two
  // entries over the same bytes.
  std::string table = Record(std::string(256, 'A'), 11 + 4 * 265, 4, 0) +
                      Record("HUGE", 11, 0xFFFFFFFFu, 1) + Record("FAR", 0xFFFFFFF0u, 16, 0) +
                      Record("SAME", 11 + 4 * 265, 4, 0);
  auto reader = OpenBytes(f, Header(4, 0) + table + "data");
  std::string data;
  EXPECT_EQ(reader->Entries()[0].name, std::string(256, 'A'));
  EXPECT_TRUE(reader->ReadStream(std::string(256, 'a'), data));
  EXPECT_EQ(data, "data");
  EXPECT_FALSE(reader->ReadStream("huge", data));
  EXPECT_FALSE(reader->ReadStream("far", data));
  EXPECT_TRUE(reader->ReadStream("same", data));
  EXPECT_EQ(data, "data");
  int out = open((dir.path / "out").c_str(), O_WRONLY | O_CREAT, 0600);
  EXPECT_FALSE(reader->ExtractToFile(*reader->Find("HUGE"), out));
  close(out);
  EXPECT_EQ(fs::file_size(dir.path / "out"), 0u);
}

// An executable with `tail` appended.
fs::path Appended(const fs::path& dir, const std::string& image, const std::string& tail) {
  fs::path p = dir / "exe";
  WriteRaw(p, image + tail);
  return p;
}

bool Walk(const fs::path& p, AppendedArchive& found) {
  int fd = open(p.c_str(), O_RDONLY);
  bool ok = ExtractAppendedArchive(fd, found);
  close(fd);
  return ok;
}

TEST(AppendedArchive, FoundAfterAnElfOrPeImageOnly) {
  TempDir dir;
  std::string elf = ReadAll(SORANE_EXE);
  AppendedArchive found;
  EXPECT_FALSE(Walk(SORANE_EXE, found));
  ASSERT_TRUE(Walk(Appended(dir.path, elf, Header(0, 11)), found));
  EXPECT_EQ(found.start, elf.size());
  EXPECT_EQ(found.length, 11u);
  EXPECT_FALSE(Walk(Appended(dir.path, elf, "no archive here"), found));  // no "f"
  // A cut image: its section headers lie beyond the end of the file.
  EXPECT_FALSE(Walk(Appended(dir.path, elf.substr(0, 4096), Header(0, 11)), found));

  // A PE image: header position at 60, section count at +6, the last
  // section's raw size and position at +16 and +20 of its record.
  auto pe = [](int count, uint32_t raw_size, uint32_t raw_position) {
    std::string image(512, '\0');
    image[0] = 'M';
    image[60] = 64;
    image[64 + 6] = static_cast<char>(count);
    size_t last = 64 + 248 + 40 * (count > 0 ? count - 1 : 0);
    image.replace(last + 16, 8, U32(raw_size) + U32(raw_position));
    return image;
  };
  ASSERT_TRUE(Walk(Appended(dir.path, pe(2, 12, 500), Header(0, 11)), found));
  EXPECT_EQ(found.start, 512u);
  EXPECT_FALSE(Walk(Appended(dir.path, pe(0, 12, 500), Header(0, 11)), found));
  EXPECT_FALSE(Walk(Appended(dir.path, pe(1, 12, 0xFFFFFFF0u), Header(0, 11)), found));
  EXPECT_FALSE(Walk(Appended(dir.path, pe(1, 12, 500), ""), found));
}

TEST(Scrambler, KeysAndTheGenerator) {
  auto count = [](const std::string& key, int& ascii, int& wide) {
    ascii = wide = 0;
    for (size_t i = 0; i < key.size(); i += CharLen(key, i))
      (CharLen(key, i) == 2 ? wide : ascii)++;
  };
  int ascii, wide;
  count(ArchiveKey(), ascii, wide);
  EXPECT_EQ(ascii * 100 + wide, 605);
  count(SaveKey(), ascii, wide);
  EXPECT_EQ(ascii * 100 + wide, 1706);
  count(DefaultKey(), ascii, wide);
  EXPECT_EQ(ascii * 100 + wide, 705);
  EXPECT_LT(kScramblerSeed, 1u << 31);

  // The seeded state drawn with the published generation and tempering.
  std::stringstream state;
  uint32_t word = kScramblerSeed & 0x7FFFFFFF;
  for (int i = 0; i < 624; ++i, word = (word & 0xFF) * 69069u) state << word << ' ';
  state << 624;
  std::mt19937 reference;
  state >> reference;
  TCipher cipher;
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(cipher.Next(), reference()) << i;
}

TEST(Scrambler, UndoneByAFreshCipherOnly) {
  std::string empty;
  TCipher().Scramble(empty, "");
  EXPECT_TRUE(empty.empty());
  for (size_t length : {1, 15, 16, 17, 624, 625, 5000}) {
    std::string input(length, '\0');
    for (size_t i = 0; i < length; ++i) input[i] = static_cast<char>(i * 7);
    std::string data = input;
    // Whatever was drawn before a cipher is made does not matter.
    TCipher before;
    before.Next();
    TCipher().Scramble(data, ArchiveKey());
    EXPECT_NE(data, input);
    // In pieces through one cipher as whole.
    std::string pieces = data;
    TCipher again;
    for (size_t at = 0; at < length; at += 7)
      again.Scramble(pieces.data() + at, std::min<size_t>(7, length - at), ArchiveKey(), at);
    EXPECT_EQ(pieces, input) << length;
    // Twice on one cipher is not the way back: it goes on with the sequence.
    TCipher once;
    std::string twice = input;
    once.Scramble(twice, "");
    once.Scramble(twice, "");
    EXPECT_NE(twice, input);
  }
}

TEST(Scrambler, ScrambledTexts) {
  std::string file, text;
  ASSERT_TRUE(EncodeScrambledText("abc", file));
  EXPECT_EQ(file.size(), 7u);
  ASSERT_TRUE(DecodeScrambledText(file, text));
  EXPECT_EQ(text, "abc");
  ASSERT_TRUE(EncodeScrambledText("", file));
  EXPECT_TRUE(file.empty());
  EXPECT_TRUE(DecodeScrambledText("ab", text) && text.empty());
  // A stored length longer than the data, or negative.
  for (const std::string& plain : {U32(5) + "abc", U32(0x80000000u) + "abc"}) {
    std::string damaged = plain;
    TCipher().Scramble(damaged, SaveKey());
    EXPECT_FALSE(DecodeScrambledText(damaged, text));
  }
}

TEST(CommandLines, ProgramAndArguments) {
  ProgramAndParameters p = SplitProgram(SJ("\"my prog\" a b "));
  EXPECT_EQ(p.program, "\"my prog\"");
  EXPECT_EQ(p.parameters, "a b");
  p = SplitProgram(SJ("ab\"c d\"e f"));  // a closing quotation mark ends the program
  EXPECT_EQ(p.program, "ab\"c d\"");
  EXPECT_EQ(p.parameters, "e f");
  p = SplitProgram(SJ("表示ソ.exe x"));  // "ソ" ends in the byte of "\"
  EXPECT_EQ(p.program, SJ("表示ソ.exe"));
  EXPECT_EQ(SplitArguments(SJ(" \"a b\"  c\"d e\"f 'g' \"\" \"say \"\"hi\"\"\"")),
            (Args{"a b", "cd ef", "'g'", "", "say \"hi\""}));
}

// Runs a script (UTF-8) in an interpreter with every command.
struct FullRun {
  TestHost host;
  Interpreter in{host};
  explicit FullRun(const std::string& utf8) {
    InstallLibrary(in);
    InstallPackaging();
    in.S.SourceName = "t.srn";
    in.S.ProgramText = JoinLinesCrLf(Utf8ToSjis(utf8));
    in.Start();
  }
  std::string Sore() { return SjisToUtf8(in.S.Fast.Sore->Value()); }
};

int OpenDescriptors() {
  return static_cast<int>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST(SharedMemory, SharedBetweenProcessesOneMappingPerName) {
  const std::string name = "pack-test-" + std::to_string(getpid());
  const std::string object = SharedMemoryObjectName(name);
  EXPECT_EQ(SharedMemoryObjectName(SJ("共 有/%")), "/sorane.%8B%A4%20%97L%2F%25");
  EXPECT_EQ(SharedMemoryObjectName(std::string(250, 'x')), "");
  TempDir dir;
  // One process saves 300 bytes and ends; another reads the first 256.
  std::string value(300, '7');
  ProcessRun save = RunProcess(
      SORANE_EXE, {"--console", "--eval", "それは「" + value + "」。「" + name + "」へ、共有保存"},
      dir.path);
  EXPECT_EQ(save.status, 0) << save.err;
  ProcessRun load = RunProcess(
      SORANE_EXE, {"--console", "--eval", "「" + name + "」を、共有読込。それを、表示"}, dir.path);
  EXPECT_TRUE(load.out == std::string(256, '7') + "\n") << load.err;
  struct stat st;
  int fd = shm_open(object.c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  close(fd);

  // Many saves under one name keep one mapping and no descriptor.
  int before = OpenDescriptors();
  FullRun run("それは「abc」\n2000回(\n  「" + name + "」へ、共有保存\n)\n「" + name +
              "」を、共有読込");
  EXPECT_EQ(run.Sore(), "abc");
  EXPECT_LE(OpenDescriptors(), before + 1);
  // An area smaller than 256 bytes (made by another program) is read as far as it goes.
  fd = shm_open(object.c_str(), O_RDWR | O_TRUNC, 0600);
  ASSERT_EQ(ftruncate(fd, 3), 0);
  ASSERT_EQ(pwrite(fd, "123", 3, 0), 3);
  close(fd);
  FullRun small("「" + name + "」を、共有読込");
  EXPECT_EQ(small.Sore(), "123");
  EXPECT_EQ(small.in.S.SoreType, "e");
  FullRun nobody("「x」を、表示。「" + name + "-nobody」を、共有読込");
  EXPECT_EQ(nobody.Sore(), "");
  shm_unlink(object.c_str());
}

// Children of this process that have ended and were not reaped.
int Zombies() {
  int count = 0;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::string stat = ReadAll(e.path() / "stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state;
    int ppid;
    rest >> state >> ppid;
    if (ppid == getpid() && state == 'Z') ++count;
  }
  return count;
}

TEST(Launch, SpacesAndQuotesReachTheProgramAndNoZombieStays) {
  TempDir dir;
  fs::path program = dir.path / "my prog.sh";
  WriteRaw(
      program,
      "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"$(dirname \"$0\")/args-$1.txt\"\n");
  fs::permissions(program, fs::perms::owner_all);
  std::string quoted = "\"" + program.string() + "\"";
  FullRun wait("『" + quoted +
               " wait \"a b\" c\"d e\"f 'g' \"\" \"say \"\"hi\"\"\"』を、起動して終了まで待機");
  EXPECT_EQ(ReadAll(dir.path / "args-wait.txt"),
            "[wait]\n[a b]\n[cd ef]\n['g']\n[]\n[say \"hi\"]\n");
  FullRun launch("『" + quoted + " go x』を、起動");
  // (The file appears before the program has written it whole.)
  const std::string go = "[go]\n[x]\n";
  for (int i = 0; i < 500 && !(fs::exists(dir.path / "args-go.txt") &&
                               ReadAll(dir.path / "args-go.txt") == go);
       ++i)
    usleep(10000);
  EXPECT_EQ(ReadAll(dir.path / "args-go.txt"), go);
  for (int i = 0; i < 500 && Zombies() > 0; ++i) usleep(10000);
  EXPECT_EQ(Zombies(), 0);
}

// A packed program: a script, a picture and a sub-script, run from another
// folder with a planted file where the old fixed temporary name would be.
TEST(PackedProgram, RunsAnywhereWithItsFiles) {
  TempDir src, elsewhere, tmp;
  std::string picture = "\x89PNG\r\n\x1a\n" + std::string(5000, '\x07');
  fs::create_directories(src.path / "pic");
  WriteRaw(src.path / "pic/a.png", picture);
  WriteRaw(src.path / "main.srn",
           "「{コマンドライン引数}」を、表示\n"
           "『pic\\a.png』から、「" +
               (elsewhere.path / "copy1.png").string() +
               "」へ、ファイルコピー\n"
               "「sub.srn」を、起動して終了まで待機\n"
               "「packed {母艦のパス}」を、表示\n");
  WriteRaw(src.path / "sub.srn",
           "Aに「pic/a.png」を、読む\nAの、バイト数\n「sub {それ}」を、表示\n");
  ProcessRun pack = RunProcess(
      SORANE_EXE, {"--pack", "main.srn", "pic/a.png", "sub.srn", "-o", "dist/app"}, src.path);
  ASSERT_EQ(pack.status, 1) << pack.err;  // dist/ does not exist yet
  fs::create_directories(src.path / "dist");
  pack = RunProcess(SORANE_EXE, {"--pack", "main.srn", "pic/a.png", "sub.srn", "-o", "dist/app"},
                    src.path);
  ASSERT_EQ(pack.status, 0) << pack.err;
  fs::path app = elsewhere.path / "app";
  fs::rename(src.path / "dist/app", app);
  EXPECT_NE(fs::status(app).permissions() & fs::perms::owner_exec, fs::perms::none);
  WriteRaw(tmp.path / "PIC__A.PNG", "planted");

  ProcessRun run =
      RunProcess(app, {"--console", "one", "-debug"}, "/", {"TMPDIR=" + tmp.path.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            app.string() + "\none\n-debug\nsub 5008\npacked " + elsewhere.path.string() + "/\n");
  EXPECT_TRUE(ReadAll(elsewhere.path / "copy1.png") == picture);
  // Only the planted file is left: the private folders and the archive copy are gone.
  EXPECT_EQ(ReadAll(tmp.path / "PIC__A.PNG"), "planted");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path), fs::directory_iterator()), 1);

  // -run first: the packed script is not looked for.
  WriteRaw(elsewhere.path / "plain.srn", "「plain」を、表示\n");
  run = RunProcess(app, {"-run", "--console", "plain.srn"}, elsewhere.path);
  EXPECT_EQ(run.out, "plain\n") << run.err;
  // -runtime: the script packed into another executable.
  run = RunProcess(SORANE_EXE, {"--console", "-runtime", app.string(), "x"}, "/",
                   {"TMPDIR=" + tmp.path.string()});
  EXPECT_EQ(run.out.substr(0, app.string().size() + 3), app.string() + "\nx\n") << run.err;
  run = RunProcess(SORANE_EXE, {"--console", "-runtime", SORANE_EXE}, "/");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("指定されたプログラムファイルは壊れています。"), std::string::npos)
      << run.err;

  ProcessRun list = RunProcess(SORANE_EXE, {"--unpack", app.string(), "out"}, elsewhere.path);
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find(" 5008 plain     PIC\\A.PNG -> PIC__A.PNG\n"), std::string::npos)
      << list.out;
  EXPECT_TRUE(ReadAll(elsewhere.path / "out/PIC__A.PNG") == picture);
  EXPECT_EQ(ReadAll(elsewhere.path / "out/SORANE.SRN"), ReadAll(src.path / "main.srn"));
}

// Number of running processes whose program is `exe`.
int ProcessesOf(const fs::path& exe) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::error_code ec;
    fs::path target = fs::read_symlink(entry.path() / "exe", ec);
    if (!ec && target == exe) ++count;
  }
  return count;
}

// A packed program that starts a packed sub-script with 起動: the child is the
// packed program itself, told by "-run" first not to run its own packed main
// script again, so exactly one child runs the sub-script and ends.
TEST(PackedProgram, SubScriptStartedByLaunchRunsOnce) {
  TempDir src, elsewhere;
  WriteRaw(src.path / "main.srn", "「sub.srn」を、起動\n「main」を、表示\n");
  WriteRaw(src.path / "sub.srn",
           "「ran」を、「" + (elsewhere.path / "log.txt").string() + "」へ、追加保存\n");
  ProcessRun pack =
      RunProcess(SORANE_EXE, {"--pack", "main.srn", "sub.srn", "-o", "app"}, src.path);
  ASSERT_EQ(pack.status, 0) << pack.err;
  fs::path app = fs::canonical(src.path / "app");
  WriteRaw(elsewhere.path / "log.txt", "");

  ProcessRun run = RunProcess(app, {"--console"}, elsewhere.path);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "main\n");
  for (int i = 0; i < 500 && (ReadAll(elsewhere.path / "log.txt").empty() || ProcessesOf(app) > 0);
       ++i)
    usleep(10000);
  EXPECT_EQ(ReadAll(elsewhere.path / "log.txt"), "ran");
  EXPECT_EQ(ProcessesOf(app), 0);
}

TEST(PackedProgram, ResourceFilesAreKeptCopiesRemoved) {
  TempDir dir;
  WriteRaw(dir.path / "data.txt", "from the archive");
  WriteRaw(dir.path / "t.srn", "Aに「data.txt」を、読む\nAを、表示\n");
  ProcessRun r = RunProcess(
      SORANE_EXE, {"--console", "--eval", "「data.txt」を、「res.fmx」へ、ファイル合成"}, dir.path);
  ASSERT_EQ(r.status, 0) << r.err;
  fs::remove(dir.path / "data.txt");
  fs::copy_file(dir.path / "res.fmx", dir.path / "sorane-resource-1");
  r = RunProcess(SORANE_EXE, {"--console", "t.srn", "-resource", "res.fmx"}, dir.path);
  EXPECT_EQ(r.out, "from the archive\n") << r.err;
  EXPECT_TRUE(fs::exists(dir.path / "res.fmx"));
  r = RunProcess(SORANE_EXE,
                 {"--resource-copy", "--console", "t.srn", "-resource", "sorane-resource-1"},
                 dir.path);
  EXPECT_EQ(r.out, "from the archive\n") << r.err;
  EXPECT_FALSE(fs::exists(dir.path / "sorane-resource-1"));
  // --resource-copy never removes a file of another name.
  r = RunProcess(SORANE_EXE, {"--resource-copy", "--console", "t.srn", "-resource", "res.fmx"},
                 dir.path);
  EXPECT_TRUE(fs::exists(dir.path / "res.fmx"));
  r = RunProcess(SORANE_EXE, {"--console", "t.srn", "-resource", "t.srn"}, dir.path);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("リソースファイルの取り込みに失敗しました。"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace sorane
