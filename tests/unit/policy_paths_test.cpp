// Where names really lead, and the policy holding on every writing path: a
// sandbox with links (dangling, to outside files and folders, to security.ini,
// chains), names holding NUL, "..", doubled slashes, backslashes, full-width
// and non-CP932 names, and every writing, deleting, moving, renaming and
// creating command run at the middle level with every question answered いいえ.
// Nothing outside the program's folder may change, and each refusal is asked
// (or warned about) exactly once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "answering_host.h"
#include "library/library.h"
#include "platform/files.h"
#include "platform/path_resolve.h"
#include "policy/security.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"
#include "test_files.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;

// A fresh root with "prog" (the program's folder, the current folder) and
// "outside" beside it.
class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = fs::current_path();
    root_ = fs::temp_directory_path() /
            ("sorane-paths-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    prog_ = root_ / "prog";
    out_ = root_ / "outside";
    fs::create_directories(prog_);
    fs::create_directories(out_ / "deep");
    root_ = fs::canonical(root_);
    prog_ = root_ / "prog";
    out_ = root_ / "outside";
    fs::current_path(prog_);
  }
  void TearDown() override {
    SetSecurityAsker(nullptr);
    fs::current_path(old_cwd_);
    fs::remove_all(root_);
  }
  std::string Real(const std::string& name, FinalLink f = FinalLink::kFollow) {
    ResolvedPath r = ResolveOsPath(name, f);
    return r.ok ? r.real : "(not ok)";
  }
  fs::path old_cwd_, root_, prog_, out_;
};

// ---------------------------------------------------------------- the walk

using ResolvePath = Sandbox;

TEST_F(ResolvePath, FollowsLinksAsTheWriterWill) {
  fs::create_symlink("../outside/created.txt", prog_ / "dang");
  fs::create_symlink("chain2", prog_ / "chain1");
  fs::create_symlink(out_ / "chained.txt", prog_ / "chain2");
  fs::create_directory_symlink("../outside/deep", prog_ / "linkdir");
  // A dangling final link leads to the file that writing it creates.
  EXPECT_EQ(Real("dang"), (out_ / "created.txt").string());
  EXPECT_EQ(Real("chain1"), (out_ / "chained.txt").string());
  // Removing or renaming acts on the link itself.
  EXPECT_EQ(Real("dang", FinalLink::kKeep), (prog_ / "dang").string());
  // A link in a folder position is followed either way; so is one before "/".
  EXPECT_EQ(Real("linkdir/x", FinalLink::kKeep), (out_ / "deep" / "x").string());
  EXPECT_EQ(Real("linkdir/", FinalLink::kKeep), (out_ / "deep").string());
  // ".." after a link leaves from the link's target, not from the name.
  EXPECT_EQ(Real("linkdir/../y"), (out_ / "y").string());
  // Doubled slashes, "." and absolute names.
  EXPECT_EQ(Real(prog_.string() + "//./a//b.txt"), (prog_ / "a" / "b.txt").string());
}

TEST_F(ResolvePath, MissingFoldersAreWalkedAsTheyWillBeCreated) {
  fs::create_directory_symlink("../outside/deep", prog_ / "linkdir");
  // Creating nx first, then "nx/.." is prog again and the link is followed:
  // the folder is made beside outside/deep, not in prog.
  EXPECT_EQ(Real("nx/../linkdir/../made"), (out_ / "made").string());
  EXPECT_EQ(Real("nx/a/../../linkdir/f"), (out_ / "deep" / "f").string());
  EXPECT_EQ(Real("nx/ny/../made"), (prog_ / "nx" / "made").string());
}

TEST_F(ResolvePath, LoopsAndNulNamesLeadNowhere) {
  fs::create_symlink("loop2", prog_ / "loop1");
  fs::create_symlink("loop1", prog_ / "loop2");
  EXPECT_FALSE(ResolveOsPath("loop1").ok);
  EXPECT_TRUE(ResolveOsPath("loop1", FinalLink::kKeep).ok);
  EXPECT_FALSE(ResolveOsPath(std::string("security.ini\0.txt", 16)).ok);
  EXPECT_FALSE(ResolveOsPath("").ok);
}

// ---------------------------------------------------------------- names outside CP932

TEST(OsNames, EveryNameSurvivesTheWayThroughCp932) {
  const std::string names[] = {
      "caf\xC3\xA9",                        // é: no CP932 form
      "x\xF0\x9F\x98\x80.srn",              // an emoji
      "bad\xFF\x80name",                    // bytes that are not UTF-8
      "\xEE\x82\x80pua",                    // U+E080, the first escape character itself
      "\xE3\x80\x9C",                       // U+301C, whose CP932 form reads back as U+FF5E
      "\xE6\x97\xA5\xE6\x9C\xAC/a\\b.txt",  // 日本: ordinary names stay as they are
  };
  for (const std::string& os : names) {
    std::string cp932 = FromOsPath(os);
    EXPECT_EQ(cp932.find('?'), std::string::npos) << os;
    std::string back = ToOsPath(cp932);
    std::string expected = os;
    for (char& c : expected)
      if (c == '\\') c = '/';
    EXPECT_EQ(back, expected) << os;
  }
  EXPECT_EQ(FromOsPath("\xE6\x97\xA5\xE6\x9C\xAC"), SJ("日本"));
}

// A script in a folder whose name CP932 cannot hold runs by a relative or a
// full name, and the policy reads that folder's security.ini.
TEST_F(Sandbox, ScriptInAFolderOutsideCp932) {
  const std::string folder_name = "caf\xC3\xA9-\xF0\x9F\x98\x80";
  fs::path folder = prog_ / folder_name;
  fs::create_directories(folder);
  WriteRaw(folder / "x.srn", "A=1\n");
  WriteRaw(folder / "security.ini", "[x.srn]\nsecurity=high\n");
  for (const std::string& arg : {std::string("x.srn"), (folder / "x.srn").string()}) {
    fs::current_path(folder);
    AnsweringHost host;
    host.answer = kAnswerYes;
    SetSecurityAsker(&AskThroughHost);
    Interpreter in(host);
    StartupResult r = ReadCommandLine(in, {"sorane", arg});
    EXPECT_EQ(r.status, StartupStatus::kReady) << arg << " " << SjisToUtf8(r.message);
    EXPECT_EQ(ProgramFolderReal(in), folder.string()) << arg;
    EXPECT_EQ(ToOsPath(in.S.HostPath), folder.string() + "/") << arg;
    // security=high in that folder's security.ini: refused without a question.
    EXPECT_FALSE(SecurityCheck(in, "a.txt", "q")) << arg;
    EXPECT_TRUE(host.questions.empty()) << arg;
    fs::current_path(prog_);
  }
}

// ---------------------------------------------------------------- every writer

// The sandbox of links, and scripts run in it at the middle level.
class PolicySandbox : public Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    WriteRaw(prog_ / "a.txt", "a");
    WriteRaw(out_ / "existing.txt", "old");
    fs::create_symlink("../outside/created.txt", prog_ / "dang");
    fs::create_symlink("security.ini", prog_ / "cfglink");
    fs::create_symlink("chain2", prog_ / "chain1");
    fs::create_symlink("../outside/chained.txt", prog_ / "chain2");
    fs::create_directory_symlink("../outside/deep", prog_ / "linkdir");
    fs::create_directory_symlink("../outside", prog_ / "outdir");
    fs::create_symlink("../outside/existing.txt", prog_ / "outfile");
    fs::create_symlink("../outside/sc.desktop", prog_ / "sc.desktop");
    // A folder to copy onto a copy already there whose "sub" leads outside.
    fs::create_directories(prog_ / "src" / "sub");
    WriteRaw(prog_ / "src" / "sub" / "f.txt", "f");
    fs::create_directories(prog_ / "dest" / "src");
    fs::create_directory_symlink("../../../outside/deep", prog_ / "dest" / "src" / "sub");
    SetSecurityAsker(&AskThroughHost);
    before_ = Snapshot(out_);
  }

  // Everything below `top`: each name with its kind and content or target.
  static std::map<std::string, std::string> Snapshot(const fs::path& top) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
         ++it) {
      const fs::path& p = it->path();
      std::string key = fs::relative(p, top).string();
      if (fs::is_symlink(p))
        out[key] = "link:" + fs::read_symlink(p).string();
      else if (fs::is_directory(p))
        out[key] = "dir";
      else
        out[key] = "file:" + ReadAll(p);
    }
    return out;
  }

  struct Outcome {
    size_t questions = 0;
    size_t warnings = 0;  // the security.ini warning
    std::string errors;
  };

  // Runs a script (UTF-8, one statement a line) as prog/tool.srn.
  Outcome Run(const std::string& utf8) {
    AnsweringHost host;
    Interpreter in(host);
    InstallLibrary(in);
    in.S.HostPath = FromOsPath(prog_.string() + "/");
    in.S.ProgramPath = FromOsPath((prog_ / "tool.srn").string());
    in.S.SourceName = in.S.ProgramPath;
    in.S.SecurityLevel = 1;
    std::string text;
    for (char c : Utf8ToSjis(utf8)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    in.S.ProgramText = text;
    in.PrepareRun();
    in.S.ExecPos = TPos::Start(in.S.Sources[0]);
    in.Run();
    Outcome o;
    o.questions = host.questions.size();
    for (const std::string& d : host.dialogs) {
      if (d == SJ("このプログラムは、\"security.ini\"を、操作出来ません！"))
        ++o.warnings;
      else
        o.errors += SjisToUtf8(d);
    }
    o.errors += SjisToUtf8(in.ErrorLog);
    return o;
  }

  void ExpectOutsideUnchanged(const std::string& what) {
    EXPECT_EQ(Snapshot(out_), before_) << what;
  }

  std::map<std::string, std::string> before_;
};

TEST_F(PolicySandbox, WritesThroughLinksAreJudgedWhereTheyLand) {
  const char* scripts[] = {
      "「x」を、「dang」へ、保存",
      "「x」を、「chain1」へ、保存",
      "「x」を、「outfile」へ、保存",
      "「x」を、「outfile」へ、追加保存",
      "「x」を、「linkdir/new.txt」へ、保存",
      "N=「linkdir」&CHR(92)&「new.txt」\n「x」を、Nへ、保存",
      "「x」を、「outdir//deep//new.txt」へ、保存",
      "「x」を、「linkdir/../new.txt」へ、保存",
      "「H」で、「dang」の、ハンドルを開く",
      "「H」に、「chain1」を、「1」で、ハンドルを詳しく開く",
      "表示出力先は、「dang」\n「x」を、表示",
      "「dang」の、INIファイル開く",
      "「a.txt」を、「sc.desktop」へ、ショートカット作成",
      "「nx/../linkdir/../made」へ、フォルダ作成",
      "B=CHR(92)\nN=「nx」&B&「..」&B&「linkdir」&B&「..」&B&「made」\nNへ、フォルダ作成",
      "「a.txt」から、「nx/../linkdir/../made2/」へ、ファイルコピー",
      "「a.txt」から、「nx/../linkdir/../made3/」へ、ファイル移動",
      "「a.txt」から、「dang」へ、ファイルコピー",
      "「src」から、「dest」へ、ファイルコピー",
      "「src」から、「dest」へ、ファイル移動",
      "「a.txt」から、「outdir/renamed.txt」へ、ファイル名変更",
      "「outdir/existing.txt」を、「1」に、ファイル属性変更",
  };
  for (const char* s : scripts) {
    Outcome o = Run(s);
    EXPECT_EQ(o.questions, 1u) << s << "\n" << o.errors;
    EXPECT_EQ(o.warnings, 0u) << s;
    ExpectOutsideUnchanged(s);
  }
  EXPECT_TRUE(fs::exists(prog_ / "a.txt"));
  EXPECT_FALSE(fs::exists(prog_ / "nx"));
}

TEST_F(PolicySandbox, SecurityIniCannotBeMadeThroughALinkToIt) {
  const char* scripts[] = {
      "「[tool.srn]\nsecurity=low」を、「cfglink」へ、保存",
      "「H」で、「cfglink」の、ハンドルを開く",
      "表示出力先は、「cfglink」\n「[tool.srn]」を、表示",
      "「cfglink」の、INIファイル開く",
      "「a.txt」から、「cfglink」へ、ファイルコピー",
  };
  for (const char* s : scripts) {
    Outcome o = Run(s);
    EXPECT_EQ(o.warnings, 1u) << s << "\n" << o.errors;
    EXPECT_EQ(o.questions, 0u) << s;
    EXPECT_FALSE(fs::exists(prog_ / "security.ini")) << s;
  }
}

TEST_F(PolicySandbox, NamesHoldingNulAreRefusedBeforeAnyCheck) {
  const char* scripts[] = {
      "「x」を、Nへ、保存",
      "「x」を、Aへ、追加保存",
      "「H」で、Nの、ハンドルを開く",
      "表示出力先は、N\n「x」を、表示",
      "Nの、INIファイル開く",
      "Nへ、フォルダ作成",
      "「a.txt」から、Bへ、ファイルコピー",
      "「a.txt」から、Bへ、ファイル名変更",
  };
  for (const char* s : scripts) {
    Outcome o = Run(std::string("Z=CHR(0)\nN=「security.ini」&Z&「.txt」\nA=「a.txt」&Z\n"
                                "B=「b」&Z&「.txt」\n") +
                    s);
    EXPECT_EQ(o.questions, 0u) << s;
    EXPECT_EQ(o.warnings, 0u) << s;
    // The command's own message, with the NUL shown where it was.
    EXPECT_TRUE(o.errors.find("失敗しました") != std::string::npos ||
                o.errors.find("開けません") != std::string::npos)
        << s << "\n"
        << o.errors;
    EXPECT_NE(o.errors.find("\\0"), std::string::npos) << s << "\n" << o.errors;
    EXPECT_FALSE(fs::exists(prog_ / "security.ini")) << s;
    EXPECT_FALSE(fs::exists(prog_ / "nul")) << s;
    EXPECT_FALSE(fs::exists(prog_ / "b")) << s;
  }
  EXPECT_TRUE(fs::exists(prog_ / "a.txt"));
  ExpectOutsideUnchanged("NUL names");
}

TEST_F(PolicySandbox, RemovingALinkInsideIsSilentAndLeavesItsTarget) {
  const char* scripts[] = {
      "「outfile」を、ファイル完全削除",
      "「outdir」の、フォルダ削除",
      "「dang」を、ファイル削除",
      "「chain1」から、「moved-link」へ、ファイル名変更",
  };
  for (const char* s : scripts) {
    Outcome o = Run(s);
    EXPECT_EQ(o.questions, 0u) << s << "\n" << o.errors;
    ExpectOutsideUnchanged(s);
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(prog_ / "outfile")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(prog_ / "outdir")));
  EXPECT_TRUE(fs::is_symlink(prog_ / "moved-link"));
}

TEST_F(PolicySandbox, InsideNamesOfEveryFormStaySilent) {
  const char* scripts[] = {
      "「x」を、「b.txt」へ、保存",
      "「x」を、「outdir/../prog/c.txt」へ、保存",
      "「x」を、「ｆｕｌｌ／..／d.txt」へ、保存",
      "N=「sub//deeper」&CHR(92)\nNへ、フォルダ作成",
      "N=「sub」&CHR(92)\n「a.txt」から、Nへ、ファイルコピー",
      "「src」から、「copy」へ、ファイルコピー",
  };
  for (const char* s : scripts) {
    Outcome o = Run(s);
    EXPECT_EQ(o.questions, 0u) << s << "\n" << o.errors;
    EXPECT_EQ(o.errors, "") << s;
  }
  EXPECT_TRUE(fs::exists(prog_ / "c.txt"));
  EXPECT_TRUE(fs::exists(prog_ / "sub" / "deeper"));
  EXPECT_TRUE(fs::exists(prog_ / "sub" / "a.txt"));
  EXPECT_TRUE(fs::exists(prog_ / "copy" / "sub" / "f.txt"));
  ExpectOutsideUnchanged("inside names");
}

}  // namespace
}  // namespace sorane
