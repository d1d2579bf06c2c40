// The command line, the security question typed on a terminal, and standard
// output when a signal ends the run.
#include <gtest/gtest.h>

#include <optional>

#include "policy/security.h"
#include "runtime/interpreter.h"
#include "runtime/startup.h"
#include "test_host.h"
#include "test_process.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(CommandLine, OwnOptionsBeforeTheScriptLanguageOptionsAnywhere) {
  CommandLine cl = ParseCommandLine(
      {"sorane", "--console", "--screenshot=a.png", "-x", "s.srn", "--verbose", "-debug", "b"});
  EXPECT_TRUE(cl.error.empty()) << cl.error;
  EXPECT_TRUE(cl.console);
  EXPECT_EQ(cl.screenshot, "a.png");
  EXPECT_EQ(cl.source, ScriptSource::kFile);
  EXPECT_EQ(cl.script, "s.srn");
  EXPECT_FALSE(cl.verbose);  // after the script it is the script's
  EXPECT_TRUE(cl.debug);     // acts, and stays one of the script's arguments
  EXPECT_EQ(cl.arguments, (Args{"--verbose", "-debug", "b"}));

  // "--" ends every option: a script named like an option, -debug its argument.
  cl = ParseCommandLine({"sorane", "--", "-odd.srn", "-debug"});
  EXPECT_EQ(cl.source, ScriptSource::kFile);
  EXPECT_EQ(cl.script, "-odd.srn");
  EXPECT_EQ(cl.arguments, (Args{"-debug"}));
  EXPECT_FALSE(cl.debug);

  cl = ParseCommandLine({"sorane", "-security", "HIGH", "-", "a"});
  EXPECT_EQ(cl.source, ScriptSource::kStandardInput);
  EXPECT_EQ(cl.security, 2);
  EXPECT_EQ(cl.arguments, (Args{"a"}));
  // The word after -security is consumed even when it names no level.
  cl = ParseCommandLine({"sorane", "-security", "max", "--eval", "X", "--help"});
  EXPECT_EQ(cl.security, -1);
  EXPECT_EQ(cl.source, ScriptSource::kText);
  EXPECT_EQ(cl.script, "X");
  EXPECT_FALSE(cl.help);
  EXPECT_EQ(cl.arguments, (Args{"--help"}));
}

TEST(CommandLine, ValuesAndUsageErrors) {
  EXPECT_TRUE(ParseCommandLine({"sorane", "--commands"}).commands);
  EXPECT_EQ(ParseCommandLine({"sorane", "--commands", "表示"}).commands_word, "表示");
  EXPECT_EQ(ParseCommandLine({"sorane", "--commands", "-debug"}).commands_word, "");
  EXPECT_EQ(ParseCommandLine({"sorane", "--text-encoding", "utf-8"}).text_encoding, "utf-8");
  EXPECT_EQ(ParseCommandLine({"sorane", "--bogus", "s.srn"}).error, "unknown option --bogus");
  EXPECT_FALSE(ParseCommandLine({"sorane", "--screenshot"}).error.empty());  // needs its value
  EXPECT_FALSE(ParseCommandLine({"sorane", "--console=yes"}).error.empty());
  EXPECT_TRUE(ParseCommandLine({"sorane", "-runtime", "x", "s.srn"}).runtime_before_script);
  EXPECT_FALSE(ParseCommandLine({"sorane", "s.srn", "-runtime", "x"}).runtime_before_script);
  // No script: the language's options and other single-dash words are the
  // arguments of the script found beside the executable; ours are not.
  EXPECT_EQ(ParseCommandLine({"sorane", "--console", "-linestop", "-q"}).arguments,
            (Args{"-linestop", "-q"}));
}

// A host on which the question is answered by typed lines; nullopt is the end
// of input.
class TypingHost : public TestHost {
 public:
  std::vector<std::optional<std::string>> typed;
  std::vector<std::string> prompts;
  std::optional<std::string> AskText(const std::string& prompt, const std::string&) override {
    prompts.push_back(SjisToUtf8(prompt));
    if (prompts.size() > typed.size()) return std::nullopt;
    return typed[prompts.size() - 1];
  }
};

TEST(SecurityQuestion, TypedAnswersAskedAgainUntilUnderstood) {
  struct Case {
    std::vector<std::optional<std::string>> typed;
    int answer;
  };
  const Case cases[] = {
      {{"y"}, kAnswerYes},
      {{" YES "}, kAnswerYes},
      {{"No"}, kAnswerNo},
      {{SJ("はい")}, kAnswerYes},
      {{SJ("いいえ")}, kAnswerNo},
      {{SJ("全てはい")}, kAnswerYesToAll},
      {{"maybe", "", "1", "n"}, kAnswerNo},  // asked again, also for a bare number
      {{"?", std::nullopt}, -1},             // the end of input refuses
  };
  for (const Case& c : cases) {
    TypingHost host;
    host.typed = c.typed;
    Interpreter in(host);
    EXPECT_EQ(AskByTyping(in, SJ("\"/x/a.txt\"へ書き込みます。")), c.answer);
    ASSERT_EQ(host.prompts.size(), c.typed.size());
    // The question says what it asks and which answers it takes.
    EXPECT_NE(host.prompts[0].find("許可しますか"), std::string::npos) << host.prompts[0];
    EXPECT_NE(host.prompts[0].find("\"/x/a.txt\"へ書き込みます。"), std::string::npos);
    EXPECT_NE(host.prompts[0].find("y (はい) / n (いいえ)"), std::string::npos);
  }
}

// What the script printed reaches a file even when SIGTERM or SIGINT ends the
// run (the buffer of standard output is written first), and the process still
// ends by that signal.
TEST(StandardOutput, FlushedWhenASignalEndsTheRun) {
  char tmpl[] = "/tmp/sorane-signal-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  WriteRaw(dir / "t.srn",
           "「届く行」と、表示。\n「x」を、「printed.txt」へ、保存。\n30秒、待つ。\n");
  for (int sig : {SIGTERM, SIGINT}) {
    fs::remove(dir / "printed.txt");
    ProcessRun r = RunProcess(SORANE_EXE, {"--console", "t.srn"}, dir, {}, 20, [&](pid_t pid) {
      for (int i = 0; i < 2000 && !fs::exists(dir / "printed.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      kill(pid, sig);
    });
    EXPECT_EQ(r.signal, sig);
    EXPECT_EQ(r.out, "届く行\n") << "signal " << sig;
    EXPECT_LT(r.seconds, 10);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace sorane
