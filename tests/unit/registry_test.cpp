// The registry store: keys and typed values that persist across openings,
// names that ignore letter case, subkeys, deletion of whole subtrees, and a
// file that is not a registry store refused without being touched. The last
// group runs the registry and INI commands in scripts (at the low security
// level, so writes are not asked).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "library/library.h"
#include "platform/registry_store.h"
#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  std::string dir_;
  std::string path_;
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-reg-XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ + "/sub/registry.sqlite3";
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
};

TEST_F(RegistryTest, ValuesPersistWithTheirTypes) {
  {
    RegistryStore s;
    ASSERT_TRUE(s.Open(path_)) << s.Error();
    ASSERT_TRUE(s.CreateKey(1, "Software\\Test"));
    ASSERT_TRUE(s.SetValue(1, "Software\\Test", "Name", {RegType::kString, "abc"}));
    ASSERT_TRUE(s.SetValue(1, "Software\\Test", "Count",
                           {RegType::kDword, std::string("\xff\xff\xff\xff", 4)}));
    ASSERT_TRUE(
        s.SetValue(1, "Software\\Test", "Blob", {RegType::kBinary, std::string("a\0b", 3)}));
    // Writing a value creates its key.
    ASSERT_TRUE(s.SetValue(2, "Other\\Deep\\Key", "", {RegType::kString, "default"}));
  }
  RegistryStore s;
  ASSERT_TRUE(s.Open(path_)) << s.Error();
  auto v = s.GetValue(1, "software\\TEST", "name");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, RegType::kString);
  EXPECT_EQ(v->data, "abc");
  EXPECT_EQ(s.GetValue(1, "Software\\Test", "COUNT")->type, RegType::kDword);
  EXPECT_EQ(s.GetValue(1, "Software\\Test", "Blob")->data, std::string("a\0b", 3));
  EXPECT_EQ(s.GetValue(2, "\\Other\\\\Deep\\Key\\", "")->data, "default");
  // Roots are separate trees; missing keys and values are no values.
  EXPECT_FALSE(s.GetValue(0, "Software\\Test", "Name"));
  EXPECT_FALSE(s.GetValue(1, "Software\\Test", "Nope"));
  EXPECT_FALSE(s.KeyExists(1, "Software\\Nope"));
}

TEST_F(RegistryTest, NamesFoldLatinLettersOnly) {
  RegistryStore s;
  ASSERT_TRUE(s.Open(path_));
  ASSERT_TRUE(s.SetValue(1, Utf8ToSjis("設定ａ"), "k", {RegType::kString, "1"}));
  EXPECT_TRUE(s.KeyExists(1, Utf8ToSjis("設定Ａ")));
  // 0x83 0x61 and 0x83 0x41 are different katakana, although the trail bytes
  // are "a" and "A".
  ASSERT_TRUE(s.CreateKey(1, "\x83\x61"));
  EXPECT_FALSE(s.KeyExists(1, "\x83\x41"));
  // "\" as a trail byte does not separate keys.
  ASSERT_TRUE(s.CreateKey(1, Utf8ToSjis("表")));
  EXPECT_EQ(RegistryStore::SplitPath(Utf8ToSjis("表\\裏")).size(), 2u);
}

TEST_F(RegistryTest, SubKeysAndDeletion) {
  RegistryStore s;
  ASSERT_TRUE(s.Open(path_));
  for (const char* k : {"App\\zeta", "App\\Alpha\\Inner", "App\\beta"})
    ASSERT_TRUE(s.CreateKey(1, k));
  ASSERT_TRUE(s.SetValue(1, "App\\Alpha\\Inner", "v", {RegType::kString, "x"}));
  ASSERT_TRUE(s.SetValue(1, "App", "keep", {RegType::kString, "y"}));
  EXPECT_EQ(s.SubKeys(1, "App"), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
  EXPECT_TRUE(s.SubKeys(1, "Nope").empty());
  EXPECT_TRUE(s.DeleteValue(1, "App", "KEEP"));
  EXPECT_FALSE(s.DeleteValue(1, "App", "keep"));
  // A key goes with everything below it.
  EXPECT_TRUE(s.DeleteKey(1, "App\\alpha"));
  EXPECT_FALSE(s.KeyExists(1, "App\\Alpha\\Inner"));
  EXPECT_EQ(s.SubKeys(1, "App"), (std::vector<std::string>{"beta", "zeta"}));
  EXPECT_FALSE(s.DeleteKey(1, "App\\alpha"));
  // A root key cannot be deleted.
  EXPECT_FALSE(s.DeleteKey(1, ""));
  EXPECT_FALSE(s.DeleteKey(1, "\\"));
  EXPECT_TRUE(s.KeyExists(1, "App"));
}

TEST_F(RegistryTest, ForeignFilesAreRefusedUntouched) {
  ASSERT_EQ(std::system(("mkdir -p " + dir_ + "/sub").c_str()), 0);
  const std::string junk = "this is not a database, but somebody's notes\n";
  { std::ofstream(path_, std::ios::binary) << junk; }
  RegistryStore s;
  EXPECT_FALSE(s.Open(path_));
  EXPECT_FALSE(s.Error().empty());
  EXPECT_FALSE(s.IsOpen());
  EXPECT_FALSE(s.SetValue(1, "A", "b", {RegType::kString, "c"}));
  EXPECT_EQ(Slurp(path_), junk);
  // Another program's SQLite database is not taken over either.
  std::remove(path_.c_str());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('x');", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const std::string before = Slurp(path_);
  EXPECT_FALSE(s.Open(path_));
  EXPECT_EQ(Slurp(path_), before);
}

// ---- The commands in scripts.

class RegistryScriptTest : public RegistryTest {
 protected:
  TestHost host;
  void SetUp() override {
    RegistryTest::SetUp();
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  // Runs the script; returns the printed lines joined by "\n" (UTF-8), and the
  // error log in `error`.
  std::string Run(const char* utf8, std::string* error = nullptr) {
    host.lines.clear();
    host.dialogs.clear();
    Interpreter in(host);
    InstallLibrary(in);
    in.S.SourceName = "t.srn";
    in.S.HostPath = dir_ + "/";
    std::string text;
    for (const char* c = utf8; *c; ++c)
      text += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    in.S.ProgramText = Utf8ToSjis(text) + "\r\n";
    in.S.SecurityLevel = 0;
    in.Start();
    std::string out;
    for (const std::string& l : host.lines) out += SjisToUtf8(l) + "\n";
    if (error) *error = host.dialogs.empty() ? "" : SjisToUtf8(host.dialogs[0]);
    return out;
  }
};

TEST_F(RegistryScriptTest, ValuesKeysAndMarks) {
  EXPECT_EQ(Run("HKEY_CURRENT_USERの、「Software\\\\Demo」を、レジストリ開く\n"
                "それは「12abc」\n「数」に、レジストリ書く\n"
                "「-5」を、「D」に、レジストリにDWORDを書く\n"
                "「4294967295」を、「E」に、レジストリにDWORDを書く\n"
                "「ABCDEF」を、「B」に、3つ、レジストリにバイナリを書く\n"
                "HKEY_CURRENT_USERの、「Software\\\\Demo\\\\子」を、レジストリ開く\n"
                "HKEY_CURRENT_USERの、「Software\\\\Demo」を、レジストリ開く\n"
                "「数」を、レジストリ読む。それを、表示\n"
                "「D」を、レジストリのDWORDを読む。それを、表示\n"
                "「E」を、レジストリのDWORDを読む。それを、表示\n"
                "「B」を、0つ、レジストリのバイナリを読む。それを、表示\n"
                "「無い」を、レジストリ読む。それを、表示\n"
                "レジストリサブキー取得。それを、表示\n"
                "「子」を、レジストリキー削除\n"
                "「数」を、レジストリ値削除\n"
                "「数」を、レジストリ読む。それを、表示\n"
                "レジストリサブキー取得。それを、表示\n"
                "レジストリ閉じる\n"),
            "12abc\n-5\n-1\nABC\n\n子\n\n\n");
}

TEST_F(RegistryScriptTest, Failures) {
  std::string error;
  Run("「x」に、レジストリ書く", &error);
  EXPECT_NE(error.find("レジストリが開かれていません。"), std::string::npos) << error;
  Run("HKEY_CURRENT_USERの、「A」を、レジストリ開く\n「無い」を、レジストリのDWORDを読む", &error);
  EXPECT_NE(error.find("'無い' のデータ型が不正です"), std::string::npos) << error;
  Run("HKEY_CURRENT_USERの、「A」を、レジストリ開く\n「無い」を、レジストリ値削除", &error);
  EXPECT_NE(error.find("\"無い\"が削除できません。"), std::string::npos) << error;
  Run("「x」の、「A」を、レジストリ開く", &error);
  EXPECT_NE(error.find("命令の引数に誤りがあります。"), std::string::npos) << error;
  // A corrupted store is reported and left as it was.
  ASSERT_EQ(std::system(("mkdir -p " + dir_ + "/sorane").c_str()), 0);
  const std::string store = dir_ + "/sorane/registry.sqlite3";
  { std::ofstream(store, std::ios::binary) << "garbage"; }
  Run("HKEY_CURRENT_USERの、「A」を、レジストリ開く", &error);
  EXPECT_NE(error.find("レジストリの保存ファイル"), std::string::npos) << error;
  EXPECT_EQ(Slurp(store), "garbage");
}

TEST_F(RegistryScriptTest, IniCommands) {
  std::string ini = dir_ + "/app.ini";
  std::string script = "「" + ini +
                       "」の、INIファイル開く\n"
                       "それは「640」\n「窓」の、「幅」へ、INIファイル書く\n"
                       "「窓」の、「幅」を、INIファイル読む。それを、表示\n"
                       "「窓」の、「高さ」を、INIファイル読む。それを、表示\n"
                       "INIファイル閉じる\n";
  EXPECT_EQ(Run(script.c_str()), "640\n\n");
  EXPECT_EQ(SjisToUtf8(Slurp(ini)), "[窓]\r\n幅=640\r\n");
  std::string error;
  Run("「窓」の、「幅」を、INIファイル読む", &error);
  EXPECT_NE(error.find("予めINIファイルを開いておく必要があります。"), std::string::npos) << error;
}

}  // namespace
}  // namespace sorane
