// The command help table and the reference `sorane --commands` / `--variables`
// prints from it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <set>
#include <string>

#include "library/command_help.h"
#include "library/library.h"
#include "library/vocabulary.h"

namespace sorane {
namespace {

struct Output {
  std::string out;
  int status = -1;
};

Output RunReference(const std::string& args) {
  Output r;
  FILE* p = popen((std::string(SORANE_EXE) + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  return r;
}

// Every id a name is registered with has a one-line description, and the table
// holds no row for an id no name uses (it would never be shown).
TEST(CommandHelp, EveryRegisteredIdHasOneDescription) {
  std::set<CommandId> registered;
  for (CommandTable table : CommandTables())
    for (const CommandRow& row : table) {
      registered.insert(row.Id);
      const char* text = CommandDescription(row.Id);
      ASSERT_NE(text, nullptr) << row.Name;
      std::string_view t = text;
      EXPECT_FALSE(t.empty()) << row.Name;
      // The listing is one line per name with " — " before the description.
      EXPECT_EQ(t.find('\n'), std::string_view::npos) << row.Name;
      EXPECT_EQ(t.find("—"), std::string_view::npos) << row.Name;
    }
  std::set<CommandId> described;
  for (const CommandHelpRow& row : CommandHelpRows()) {
    EXPECT_TRUE(described.insert(row.Id).second) << "twice: " << static_cast<int>(row.Id);
    EXPECT_TRUE(registered.count(row.Id)) << "unused: " << static_cast<int>(row.Id);
  }
}

// The listing has one line per registered name, in registration order.
TEST(Reference, ListsEveryCommandOnce) {
  Output all = RunReference("--commands");
  ASSERT_EQ(all.status, 0);
  std::string expected;
  for (CommandTable table : CommandTables())
    for (const CommandRow& row : table) {
      expected += row.Name;
      if (*row.Template) expected += std::string(" ") + row.Template;
      expected += std::string(" — ") + CommandDescription(row.Id);
      expected += "\n";
    }
  EXPECT_EQ(all.out, expected);
}

// WORD finds names containing it, with okurigana folded and ASCII case ignored;
// nothing found is exit status 1.
TEST(Reference, WordMatchesPartsOfFoldedNames) {
  Output loop = RunReference("--commands 繰返");
  EXPECT_EQ(loop.status, 0);
  EXPECT_NE(loop.out.find("繰り返す ?を,?から,?まで — "), std::string::npos);
  EXPECT_NE(loop.out.find("繰り返し演奏 ?を — "), std::string::npos);
  Output written = RunReference("--commands 取り込む");
  EXPECT_EQ(written.out.substr(0, written.out.find(' ')), "取り込む");
  Output len = RunReference("--commands len");
  EXPECT_EQ(len.out.rfind("LEN ? — ", 0), 0u);
  EXPECT_NE(len.out.find("\nLENB ? — "), std::string::npos);
  EXPECT_EQ(RunReference("--commands 存在しない命令名").status, 1);
}

TEST(Reference, ListsEveryVariableWithDefaultAndType) {
  Output vars = RunReference("--variables");
  ASSERT_EQ(vars.status, 0);
  size_t lines = 0;
  for (char c : vars.out) lines += c == '\n';
  EXPECT_EQ(lines, SystemVariableEntries().size());
  EXPECT_NE(vars.out.find("\n回数 = 「0」 — 回、反復、命令において、繰り返した回数をカウント"
                          "している変数 (number, read-only)\n"),
            std::string::npos);
  EXPECT_NE(vars.out.find("\n赤色 = 「#FF0000」 (text)\n"), std::string::npos);
  EXPECT_NE(vars.out.find("\nコマンドライン引数 = 「」 (read-only)\n"), std::string::npos);
}

}  // namespace
}  // namespace sorane
