// Nesting costs memory in proportion to the text, not to depth × text: the
// groups nested in an expression read one copy of the outermost group, and the
// blocks nested in a block run in one copy of the outermost block. Each run
// happens in a child process whose address space is capped far below what a
// copy per level would take, so a copy per level fails with the memory error.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "library/library.h"
#include "runtime/interpreter.h"
#include "sanitizer_build.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

// Address space the child may add to what it has when the cap is set.
constexpr rlim_t kHeadroom = 768u << 20;

// Caps this process's address space at its present size plus kHeadroom. The
// sanitizer's shadow memory needs its own huge reservations, so a sanitizer
// build runs uncapped.
void CapAddressSpace() {
#ifndef SORANE_ASAN
  std::ifstream statm("/proc/self/statm");
  unsigned long long pages = 0;
  statm >> pages;
  rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
  struct rlimit rl = {now + kHeadroom, now + kHeadroom};
  setrlimit(RLIMIT_AS, &rl);
#endif
}

// Runs the program (UTF-8, "\n" line ends) with the whole library; returns the
// printed lines and any error report.
std::string RunProgram(const std::string& utf8) {
  TestHost host;
  Interpreter in(host);
  InstallLibrary(in);
  in.S.SourceName = "t.srn";
  std::string text;
  for (char c : utf8) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  in.S.ProgramText = Utf8ToSjis(text);
  in.Start();
  std::string out;
  for (const std::string& l : host.lines) out += SjisToUtf8(l) + "\n";
  for (const std::string& d : host.dialogs) out += SjisToUtf8(d);
  return out;
}

// Runs the program in a capped child process; true when it printed
// `expected`.
bool PrintsWhenCapped(const std::string& program, const std::string& expected) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    CapAddressSpace();
    std::string out = RunProgram(program);
    if (out != expected) std::fprintf(stderr, "printed: %.300s\n", out.c_str());
    std::fflush(nullptr);
    _exit(out == expected ? 0 : 1);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(NestingTest, GroupsNestedInAnExpressionShareOneCopy) {
  // 1,000 levels around a 2 MB literal: 2 GB as a copy per level.
  std::string program = "Aは、" + std::string(1000, '(') + "「" + std::string(2u << 20, 'x') +
                        "」" + std::string(1000, ')') + "\nAの、文字数を、表示\n";
  EXPECT_TRUE(PrintsWhenCapped(program, "2097152\n"));
}

TEST(NestingTest, BlocksNestedInABlockShareOneCopy) {
  // 3,000 blocks, branches and loops in turn, around a 1 MB literal: 3 GB as a
  // copy per block.
  std::string program;
  for (int i = 0; i < 3000; ++i) program += i % 2 ? "1回(\n" : "もし、1=1ならば(\n";
  program += "Aは、「" + std::string(1u << 20, 'x') + "」\nAの、文字数を、表示\n";
  for (int i = 0; i < 3000; ++i) program += ")\n";
  program += "「終」と、表示\n";
  EXPECT_TRUE(PrintsWhenCapped(program, "1048576\n終\n"));
}

}  // namespace
}  // namespace sorane
