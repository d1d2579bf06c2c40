#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "test_env.h"

namespace sorane {
namespace {

TEST(UserDirs, HomeRelativeAbsoluteAndInvalidValues) {
  const char* text =
      "# written by the desktop\n"
      "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
      "  XDG_DOCUMENTS_DIR=\"/data/docs\"\r\n"
      "XDG_MUSIC_DIR=\"$HOME/\"\n"
      "XDG_VIDEOS_DIR=\"relative/videos\"\n"
      "XDG_PICTURES_DIR=\"$HOMEX/pics\"\n"
      "XDG_TEMPLATES_DIR=\"$HOME/a \\\"b\\\"\"\n"
      "#XDG_PUBLICSHARE_DIR=\"/commented\"\n";
  EXPECT_EQ(ParseUserDirs(text, "DESKTOP", "/home/u/"), "/home/u/Schreibtisch");
  EXPECT_EQ(ParseUserDirs(text, "DOCUMENTS", "/home/u"), "/data/docs");
  EXPECT_EQ(ParseUserDirs(text, "MUSIC", "/home/u"), "/home/u/");
  EXPECT_EQ(ParseUserDirs(text, "VIDEOS", "/home/u"), "");
  EXPECT_EQ(ParseUserDirs(text, "PICTURES", "/home/u"), "");
  EXPECT_EQ(ParseUserDirs(text, "TEMPLATES", "/home/u"), "/home/u/a \"b\"");
  EXPECT_EQ(ParseUserDirs(text, "PUBLICSHARE", "/home/u"), "");
  EXPECT_EQ(ParseUserDirs(text, "DOWNLOAD", "/home/u"), "");
  // A later assignment overrides an earlier one.
  EXPECT_EQ(ParseUserDirs("XDG_DESKTOP_DIR=\"/a\"\nXDG_DESKTOP_DIR=\"/b\"\n", "DESKTOP", "/h"),
            "/b");
}

TEST(OsRelease, PrettyNameQuoting) {
  EXPECT_EQ(ParsePrettyName("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(ParsePrettyName("PRETTY_NAME='Plain Linux'\n"), "Plain Linux");
  EXPECT_EQ(ParsePrettyName("PRETTY_NAME=Bare\n"), "Bare");
  EXPECT_EQ(ParsePrettyName("PRETTY_NAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
  EXPECT_EQ(ParsePrettyName("NAME=\"Only name\"\n"), "");
  EXPECT_FALSE(OsName().empty());
}

class SpecialFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("sorane_folders_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(dir_ / "config");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(SpecialFoldersTest, XdgLocationsAndUserDirs) {
  std::ofstream(dir_ / "config" / "user-dirs.dirs")
      << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
  std::string config = (dir_ / "config").string();
  ScopedEnv home("HOME", "/home/u");
  ScopedEnv cfg("XDG_CONFIG_HOME", config.c_str());
  ScopedEnv data("XDG_DATA_HOME", "/var/data/");
  ScopedEnv tmp("TMPDIR", "/scratch");

  SpecialFolders f = GetSpecialFolders();
  EXPECT_EQ(f.Desktop, "/home/u/Bureau/");
  EXPECT_EQ(f.Documents, "/srv/docs/");
  EXPECT_EQ(f.Trash, "/var/data/Trash/");
  EXPECT_EQ(f.StartMenu, "/var/data/applications/");
  EXPECT_EQ(f.Startup, config + "/autostart/");
  EXPECT_EQ(f.RuntimeData, "/var/data/sorane/");
  EXPECT_EQ(f.SendTo, "/var/data/sorane/SendTo/");
  EXPECT_EQ(f.Favorites, "/var/data/sorane/Favorites/");
  EXPECT_EQ(f.System, "/usr/lib/");
  EXPECT_EQ(f.Temp, "/scratch/");
}

TEST_F(SpecialFoldersTest, FallbacksWithoutXdgSettings) {
  ScopedEnv home("HOME", "/home/v/");
  ScopedEnv cfg("XDG_CONFIG_HOME", (dir_ / "missing").c_str());  // no user-dirs file there
  ScopedEnv data("XDG_DATA_HOME", "relative/data");              // not absolute: ignored
  ScopedEnv tmp("TMPDIR", nullptr);

  SpecialFolders f = GetSpecialFolders();
  EXPECT_EQ(f.Desktop, "/home/v/Desktop/");
  EXPECT_EQ(f.Documents, "/home/v/Documents/");
  EXPECT_EQ(f.Trash, "/home/v/.local/share/Trash/");
  EXPECT_EQ(f.RuntimeData, "/home/v/.local/share/sorane/");
  EXPECT_EQ(f.Temp, "/tmp/");

  ScopedEnv no_config("XDG_CONFIG_HOME", "");
  EXPECT_EQ(ConfigHome(), "/home/v/.config/");
}

}  // namespace
}  // namespace sorane
