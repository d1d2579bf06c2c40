// INI files: the profile reading rules (sections, keys, quotes, comments and
// garbage lines), writing that keeps every other byte of the file, values that
// read back as written, refused names, and the file on disk replaced safely.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ini_file.h"
#include "text/encoding.h"

namespace sorane {
namespace {

const char kSample[] =
    "; settings\r\n"
    "orphan=before any section\r\n"
    "[Window]\r\n"
    "  Width = 640 \r\n"
    "title=\" quoted \"\r\n"
    "single='x'\r\n"
    "this line is garbage\r\n"
    ";width=1\r\n"
    "[window]\r\n"
    "height=99\r\n"
    "[Other]\r\n"
    "width=1\r\n";

TEST(IniRead, ProfileRules) {
  IniText ini(kSample);
  EXPECT_EQ(ini.Read("Window", "Width"), "640");
  // Names ignore the case of letters; surrounding blanks are trimmed.
  EXPECT_EQ(ini.Read(" WINDOW ", "width"), "640");
  // A pair of quotes around the value is removed, keeping what is inside.
  EXPECT_EQ(ini.Read("Window", "title"), " quoted ");
  EXPECT_EQ(ini.Read("Window", "single"), "x");
  // Only the first section of a name counts; keys outside sections, comments
  // and lines of no kind are never found.
  EXPECT_EQ(ini.Read("window", "height"), std::nullopt);
  EXPECT_EQ(ini.Read("", "orphan"), std::nullopt);
  EXPECT_EQ(ini.Read("Window", ";width"), std::nullopt);
  EXPECT_EQ(ini.Read("Other", "width"), "1");
  EXPECT_EQ(ini.Read("Missing", "width"), std::nullopt);
  // Full-width letters fold too; other double-byte characters compare exactly.
  IniText jp(Utf8ToSjis("[設定Ａ]\nキー=値\n"));
  EXPECT_EQ(jp.Read(Utf8ToSjis("設定ａ"), Utf8ToSjis("キー")), Utf8ToSjis("値"));
  EXPECT_EQ(jp.Read(Utf8ToSjis("設定ａ"), Utf8ToSjis("キ")), std::nullopt);
}

TEST(IniWrite, ChangesOneLineAndKeepsTheRest) {
  IniText ini(kSample);
  ASSERT_TRUE(ini.Write("WINDOW", "width", "800"));
  std::string expected = kSample;
  expected.replace(expected.find("  Width = 640 "), 14, "width=800");
  EXPECT_EQ(ini.Text(), expected);
  // A new key goes after the last line of its section.
  ASSERT_TRUE(ini.Write("Other", "depth", "3"));
  EXPECT_NE(ini.Text().find("width=1\r\ndepth=3\r\n"), std::string::npos);
  ASSERT_TRUE(ini.Write("Window", "new", "n"));
  EXPECT_NE(ini.Text().find(";width=1\r\nnew=n\r\n[window]"), std::string::npos);
  // A new section is appended.
  ASSERT_TRUE(ini.Write("Added", "k", "v"));
  EXPECT_EQ(ini.Text().substr(ini.Text().size() - 14), "[Added]\r\nk=v\r\n");
  EXPECT_EQ(ini.Read("Other", "width"), "1");
}

TEST(IniWrite, LineBreakStyleAndMissingFinalBreak) {
  IniText lf("[a]\nx=1");
  ASSERT_TRUE(lf.Write("a", "y", "2"));
  EXPECT_EQ(lf.Text(), "[a]\nx=1\ny=2");
  ASSERT_TRUE(lf.Write("b", "z", "3"));
  EXPECT_EQ(lf.Text(), "[a]\nx=1\ny=2\n[b]\nz=3\n");
  IniText empty;
  ASSERT_TRUE(empty.Write("s", "k", "v"));
  EXPECT_EQ(empty.Text(), "[s]\r\nk=v\r\n");
}

TEST(IniWrite, ValuesReadBackAsWritten) {
  IniText ini;
  for (const char* v : {" padded ", "\"quoted\"", "'single'", "", "a=b", "\"half", "tab\tin"}) {
    ASSERT_TRUE(ini.Write("s", "k", v));
    EXPECT_EQ(ini.Read("s", "k"), v) << v;
  }
}

TEST(IniWrite, RefusesWhatWouldBreakTheFile) {
  IniText ini("[s]\r\nk=v\r\n");
  EXPECT_FALSE(ini.Write("s", "k", "two\r\nlines"));
  EXPECT_FALSE(ini.Write("s", "k", "x\n[evil]"));
  EXPECT_FALSE(ini.Write("a]b", "k", "v"));
  EXPECT_FALSE(ini.Write("s", "a=b", "v"));
  EXPECT_FALSE(ini.Write("s", "", "v"));
  EXPECT_FALSE(ini.Write("s", "[x", "v"));
  EXPECT_FALSE(ini.Write("s", ";x", "v"));
  EXPECT_EQ(ini.Text(), "[s]\r\nk=v\r\n");
  // "]" as the trail byte of a double-byte character is no bracket.
  std::string name = "\x83\x5D";  // a katakana whose second byte is 0x5D
  EXPECT_TRUE(ini.Write(name, "k", "v"));
  EXPECT_EQ(ini.Read(name, "k"), "v");
}

class IniFileTest : public ::testing::Test {
 protected:
  std::string dir_;
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-ini-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
};

TEST_F(IniFileTest, ReadsAndWritesOnDisk) {
  std::string path = dir_ + "/app.ini";
  bool ok = false;
  EXPECT_EQ(IniFileRead(path, "s", "k", &ok), std::nullopt);
  EXPECT_TRUE(ok);  // a missing file is no failure
  ASSERT_TRUE(IniFileWrite(path, "s", "k", "1"));
  ASSERT_TRUE(IniFileWrite(path, "s", "j", "2"));
  EXPECT_EQ(Slurp(path), "[s]\r\nk=1\r\nj=2\r\n");
  EXPECT_EQ(IniFileRead(path, "S", "J", &ok), "2");
  // Garbage lines survive a write.
  {
    std::ofstream f(path, std::ios::binary);
    f << "\x01\x02 binary junk\r\n[s]\r\n===\r\nk=old\r\n";
  }
  ASSERT_TRUE(IniFileWrite(path, "s", "k", "new"));
  EXPECT_EQ(Slurp(path), "\x01\x02 binary junk\r\n[s]\r\n===\r\nk=new\r\n");
}

TEST_F(IniFileTest, FailedWritesLeaveTheOldFile) {
  std::string path = dir_ + "/keep.ini";
  ASSERT_TRUE(IniFileWrite(path, "s", "k", "kept"));
  EXPECT_FALSE(IniFileWrite(path, "s", "k", "bad\nvalue"));
  EXPECT_EQ(Slurp(path), "[s]\r\nk=kept\r\n");
  // A folder cannot be written as a file; a missing folder neither.
  EXPECT_FALSE(IniFileWrite(dir_, "s", "k", "v"));
  EXPECT_FALSE(IniFileWrite(dir_ + "/no/such.ini", "s", "k", "v"));
}

}  // namespace
}  // namespace sorane
