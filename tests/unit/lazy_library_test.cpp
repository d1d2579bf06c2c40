// Libraries loaded when a command first needs them: a library that cannot be
// loaded fails the command with its own message, never the run-time.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_files.h"
#include "test_process.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

// Stand-ins found first on the library search path: real shared libraries
// (the DLL test library) without any of the functions the commands call.
TEST(LazyLibraryRun, StandInLibrariesFailTheCommandsCleanly) {
  char tmpl[] = "/tmp/sorane-lazy-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  for (const char* name :
       {"libarchive.so.13", "libcurl.so.4", "libgmime-3.0.so.0", "libsqlite3.so.0", "libffi.so.8",
        "libmine.so", "libpng16.so.16", "libjpeg.so.62", "libonig.so.5"})
    fs::copy_file(SORANE_DLL_PROBE, dir / name);
  WriteRaw(dir / "a.txt", "text\n");
  // (Pictures are told apart by their first bytes before a library is loaded.)
  WriteRaw(dir / "a.png", std::string("\x89PNG\r\n\x1a\n", 8) + "0123456789abcdef");
  WriteRaw(dir / "a.jpg",
           "\xff\xd8\xff\xe0"
           "0123456789abcdef");
  struct Case {
    const char* script;
    const char* message;
    const char* hint;
  } cases[] = {
      {"「a.txt」を、「b.zip」へ、圧縮。", "ファイル圧縮のエラー。", "libarchive.so.13 lacks"},
      {"「b.zip」を、「out」へ、解凍。", "解凍のエラー。", "libarchive.so.13 lacks"},
      {"「http://127.0.0.1:9/x」を、「y.txt」へ、HTTPダウンロード。",
       "\"http://127.0.0.1:9/x\"からのダウンロードに失敗", "libcurl.so.4 lacks"},
      {"FTPホスト=「127.0.0.1」。FTP接続。", "FTPのエラー。接続に失敗。", "libcurl.so.4 lacks"},
      {"メールホスト=「127.0.0.1」。メールID=「a」。メールパスワード=「b」。「m」へ、メール受信。",
       "メールの受信に失敗しました。", "libgmime-3.0.so.0 lacks"},
      {"HKEY_CURRENT_USERの、「Software」を、レジストリ開く。", "registry.sqlite3\"を開けません。",
       "libsqlite3.so.0 lacks"},
      {"「./libmine.so」の「int probe_words(word,word,int)」を「?,?,?」の「並べる」として、"
       "DLLを利用。並べる(1,2,3)を、表示。",
       "関数\"並べる\"の呼び出しに失敗しました。", "libffi.so.8 lacks"},
      {"「a.png」を、画像表示。", "\"a.png\"が読込めません。", "libpng16.so.16 lacks"},
      {"「a.jpg」を、画像表示。", "\"a.jpg\"が読込めません。", "libjpeg.so.62 lacks"},
      {"「abc」を、「b」で、正規表現マッチ。", "正規表現ライブラリ(libonig)を読み込めません。",
       "libonig.so.5 lacks"},
  };
  for (const Case& c : cases) {
    ProcessRun r =
        RunProcess(SORANE_EXE, {"--console", "--eval", c.script}, dir,
                   {"LD_LIBRARY_PATH=" + dir.string(), "XDG_CONFIG_HOME=" + dir.string()});
    EXPECT_EQ(r.status, 1) << c.script << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "b.zip"));
  EXPECT_FALSE(fs::exists(dir / "y.txt"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace sorane
