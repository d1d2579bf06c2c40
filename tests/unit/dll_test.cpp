// DLL declarations: what the declaration texts say, and what only a whole run
// of the executable shows — a library found beside the script, unloaded once,
// and a fault inside a called function ending the program with a report.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "interop/dll/dll_declaration.h"
#include "test_files.h"
#include "test_process.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

TEST(DllDeclaration, TypedDeclarations) {
  DllTypedDeclaration d = ParseTypedDeclaration("dword GetTickCount(void)");
  EXPECT_EQ(d.function, "GetTickCount");
  EXPECT_EQ(d.result, 'd');
  EXPECT_EQ(d.params, "v");
  EXPECT_EQ(DllArgumentCount(d.params), 0u);
  EXPECT_TRUE(d.known);

  // No result type is void; names ignore case and blanks.
  d = ParseTypedDeclaration("Beep( DWORD , Dword )");
  EXPECT_EQ(d.function, "Beep");
  EXPECT_EQ(d.result, 'v');
  EXPECT_EQ(d.params, "dd");

  // A "*" belongs to the type wherever the blanks are.
  for (const char* text : {"Char * GetStr(char *)", "char *GetStr(char*)", "char*GetStr(Char*)"}) {
    d = ParseTypedDeclaration(text);
    EXPECT_EQ(d.function, "GetStr") << text;
    EXPECT_EQ(d.result, 'p') << text;
    EXPECT_EQ(d.params, "p") << text;
  }

  // The list ends at its first empty item; every letter has its name.
  EXPECT_EQ(ParseTypedDeclaration("int f(int,,word)").params, "i");
  EXPECT_EQ(ParseTypedDeclaration("f(void,char*,word,dword,bool,int,double)").params, "vpwdbif");
  EXPECT_EQ(ParseTypedDeclaration("f").function, "f");

  // A name that is not a type is never dropped silently.
  EXPECT_FALSE(ParseTypedDeclaration("int f(integer)").known);
  EXPECT_FALSE(ParseTypedDeclaration("long f(int)").known);
}

TEST(DllDeclaration, UntypedDeclarationsAndTemplates) {
  DllUntypedDeclaration d = ParseUntypedDeclaration("MessageBoxA (?と,?で)");
  EXPECT_EQ(d.function, "MessageBoxA");
  EXPECT_EQ(d.templ, "?と,?で");
  d = ParseUntypedDeclaration("GetTickCount");
  EXPECT_EQ(d.function, "GetTickCount");
  EXPECT_EQ(d.templ, "");
  EXPECT_EQ(QuestionMarks("?と?で"), 2u);
  EXPECT_EQ(TemplateSlotCount("?と?で"), 1u);
  EXPECT_EQ(TemplateSlotCount(""), 0u);
}

TEST(DllDeclaration, LibraryNames) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(DllLibraryNames("libc.so.6", "/s/"), Names{"libc.so.6"});
  EXPECT_EQ(DllLibraryNames("Mine.DLL", "/s/"),
            (Names{"Mine.DLL", "/s/libMine.so", "/s/Mine.so", "libMine.so", "Mine.so"}));
  EXPECT_EQ(DllLibraryNames("lib/x.dll", "/s/"), (Names{"lib/x.dll", "lib/libx.so", "lib/x.so"}));
  EXPECT_EQ(DllLibraryNames(".dll", "/s/"), Names{".dll"});
}

// A script in a fresh folder with the test library beside it as libmine.so,
// run by the executable with no library search path of its own.
class DllRun : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    char tmpl[] = "/tmp/sorane-dll-XXXXXX";
    dir = mkdtemp(tmpl);
    fs::copy_file(SORANE_DLL_PROBE, dir / "libmine.so");
  }
  void TearDown() override { fs::remove_all(dir); }
  ProcessRun Run(const char* script_utf8) {
    WriteRaw(dir / "main.srn", script_utf8);
    return RunProcess(SORANE_EXE, {"--console", "main.srn"}, dir,
                      {"LD_LIBRARY_PATH", "SORANE_PROBE_LOG=" + (dir / "log").string()});
  }
};

TEST_F(DllRun, FoundBesideTheScriptAndUnloadedOnce) {
  ProcessRun r = Run(
      "「mine.dll」の「probe_wide」を「広い値」で、DLL宣言。\n"
      "「mine.dll」の「int probe_words(word,word,int)」を「?,?,?」の「並べる」として、DLLを利用。\n"
      "広い値。それを、表示。\n"
      "並べる(1,2,3)を、表示。\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "4886718345\n10203\n");
  // Declared twice, loaded twice: the library's destructor still runs once.
  EXPECT_EQ(ReadAll(dir / "log"), "unloaded\n");
}

TEST_F(DllRun, AFaultEndsTheProgramNamingTheWordAndTheLibrary) {
  ProcessRun r =
      Run("「./libmine.so」の「probe_crash()」を「」の「落ちる」として、DLLを利用。\n"
          "「前」を、表示。\n"
          "落ちる。\n"
          "「後」を、表示。\n");
  EXPECT_NE(r.status, 0);
  // Without the sanitizers the process ends with the fault's own signal.
  if (r.status == -1) EXPECT_EQ(r.signal, SIGSEGV);
  EXPECT_EQ(r.out, "前\n");
  EXPECT_NE(
      r.err.find("[エラー] main.srn(3行目): 外部DLLからの関数\"落ちる\"の呼び出しに失敗しました。\n"
                 "DLL\"./libmine.so\"の関数\"probe_crash\"の中で異常が起きたため、終了します。\n"),
      std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace sorane
