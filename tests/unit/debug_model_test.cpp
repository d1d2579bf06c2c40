// The debug dialog's model (grid filter, find rule, control-structure names,
// the records of ログる) and the debugging commands run in scripts: DEBUG,
// line stop after every line, the abort flag and the log of a new run.
#include "debug/debug_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_host.h"
#include "text/encoding.h"
#include "words/hash.h"
#include "words/run_control.h"

namespace sorane {
namespace {

std::string U(const char* utf8) {
  return Utf8ToSjis(utf8);
}

std::vector<std::string> Names(const std::vector<DebugRow>& rows) {
  std::vector<std::string> names;
  for (const DebugRow& r : rows) names.push_back(SjisToUtf8(r.name));
  return names;
}

// A word table with every kind the grid has to sort out.
class DebugGridTest : public ::testing::Test {
 protected:
  THash words;
  void SetUp() override {
    words.AddVariable(U("それ"), "1", "e", -1);
    words.AddVariable(U("エラーメッセージ"), "", U("エラー内容s"), -1);
    words.AddVariable("A", "10", "e", 0);
    words.AddVariable("AB", "x", "s", 2);
    words.AddVariable("Deep", "d", "s", -2);
    auto hash = std::make_unique<THashNode>("H", kWordHash);
    hash->Level = 1;
    hash->TypeMark = "hs";
    hash->Elements = std::make_unique<THash>();
    hash->Elements->AddVariable("k", "v", "s", 1);
    hash->Elements->AddVariable("m", "w", "s", 1);
    words.Add(std::move(hash));
    auto object = std::make_unique<THashNode>(U("母艦"), kWordObject);
    object->TypeMark = U("メインフォーム");
    words.Add(std::move(object));
    auto command = std::make_unique<THashNode>(U("表示"), kWordCommand);
    command->Command = CommandId::Print;
    words.Add(std::move(command));
    auto label = std::make_unique<THashNode>(U("ラベル"), kWordLabel);
    words.Add(std::move(label));
  }
  std::vector<std::string> Rows(const char* level, bool objects = false) {
    DebugFilter f;
    f.level_text = level;
    f.show_objects = objects;
    std::vector<std::string> names = Names(VariableRows(words, f));
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(DebugGridTest, LevelBoxFiltersAndSoreIsAlwaysShown) {
  using V = std::vector<std::string>;
  // The default "0" hides system variables (level -1) but never それ.
  EXPECT_EQ(Rows("0"), (V{"A", "AB", "H", "それ"}));
  EXPECT_EQ(Rows("2"), (V{"AB", "それ"}));
  EXPECT_EQ(Rows("99"), (V{"それ"}));
  // An empty box lists every variable, hash and (asked for) object.
  EXPECT_EQ(Rows(""), (V{"A", "AB", "Deep", "H", "それ", "エラーメッセージ"}));
  EXPECT_EQ(Rows("", true), (V{"A", "AB", "Deep", "H", "それ", "エラーメッセージ", "母艦"}));
  // Text that is not a number counts as -1: system variables show, -2 does not.
  EXPECT_EQ(Rows("abc"), (V{"A", "AB", "H", "それ", "エラーメッセージ"}));
  EXPECT_EQ(Rows(" 1 "), (V{"AB", "H", "それ"}));
  // A group lists its members as its value.
  DebugFilter f;
  f.level_text = "1";
  EXPECT_EQ(VariableRows(words, f)[RowNamed(VariableRows(words, f), "H")].value, "k=v\r\nm=w");
}

TEST(DebugFind, FirstRowWhoseNameBeginsWithTheTrimmedText) {
  std::vector<DebugRow> rows{{"B", "", "", ""}, {"AB", "", "", ""}, {"A", "", "", ""}};
  EXPECT_EQ(FindRow(rows, ""), 0);  // an empty box selects the first data row
  EXPECT_EQ(FindRow(rows, "A"), 1);
  EXPECT_EQ(FindRow(rows, "  A \t"), 1);
  EXPECT_EQ(FindRow(rows, "AB"), 1);
  EXPECT_EQ(FindRow(rows, "ABC"), -1);
  EXPECT_EQ(FindRow({}, ""), -1);
  EXPECT_EQ(RowNamed(rows, "A"), 2);
  EXPECT_EQ(RowNamed(rows, "C"), -1);
}

TEST(DebugControls, DropDownNamesRecordsFromTheBottom) {
  TRunControlStack stack;
  for (int kind : {2, 0, 9, 7, 8}) {
    TRunControl r;
    r.Kind = static_cast<RunKind>(kind);
    stack.Push(r);
  }
  std::vector<std::string> items;
  for (const std::string& s : ControlItems(stack)) items.push_back(SjisToUtf8(s));
  EXPECT_EQ(items, (std::vector<std::string>{"1:繰り返す", "2:もし、ならば", "3:その他", "4:不明",
                                             "5:条件分岐"}));
  EXPECT_EQ(SjisToUtf8(ControlKindText(1)), "もし、違えば");
}

TEST(DebugLogRecords, AlternatingNamesKeepSeparateLogsAndLines) {
  DebugLog log;
  EXPECT_FALSE(log.Add("A", 2, "a1").show);
  EXPECT_FALSE(log.Add("B", 2, "b1\r\nb1").show);  // a two-line value
  DebugLog::Entry a = log.Add("A", 2, "a2");
  EXPECT_FALSE(log.Add("B", 3, "b2").show);  // B's limit is now 3
  ASSERT_TRUE(a.show);
  EXPECT_EQ(a.text, "\r\n(1)=a1\r\n(2)=a2");
  ASSERT_EQ(log.Records().size(), 2u);
  EXPECT_EQ(DebugLog::Line(log.Records()[0]), "A;0;2;");
  EXPECT_EQ(SjisToUtf8(DebugLog::Line(log.Records()[1])), "B;2;3;~改行_(1)=b1~改行_b1~改行_(2)=b2");
  DebugLog::Entry b = log.Add("B", 3, "b3");
  ASSERT_TRUE(b.show);
  EXPECT_EQ(b.text, "\r\n(1)=b1\r\nb1\r\n(2)=b2\r\n(3)=b3");
}

// ---------------------------------------------------------------- scripts

// Answers the debug dialog from a queue (empty queue: 連続実行) and records
// what each opening showed.
class DebugHost : public TestHost {
 public:
  Interpreter* in = nullptr;
  std::deque<DebugChoice> choices;
  std::vector<DebugSnapshot> openings;

  bool DebugDialog(const std::string& word) override {
    openings.push_back(TakeDebugSnapshot(*in, DebugFilter{}, word));
    DebugChoice c = DebugChoice::kContinue;
    if (!choices.empty()) {
      c = choices.front();
      choices.pop_front();
    }
    return ApplyDebugChoice(*in, c);
  }
};

class DebugScriptTest : public ::testing::Test {
 protected:
  DebugHost host;
  // Every run's interpreter lives at the same address, as a reused one would.
  std::optional<Interpreter> in;

  // Runs the script (UTF-8, "\n" line ends); returns the printed lines.
  std::string Run(const char* utf8, bool line_stop = false) {
    in.reset();
    in.emplace(host);
    host.in = &*in;
    InstallLibrary(*in);
    in->S.SourceName = "t.srn";
    in->S.LineStopOption = line_stop;
    std::string text;
    for (const char* c = utf8; *c; ++c)
      text += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    in->S.ProgramText = Utf8ToSjis(text);
    in->Start();
    std::string out;
    for (const std::string& l : host.lines) out += SjisToUtf8(l) + "\n";
    return out;
  }
  std::vector<int> OpenedLines() {
    std::vector<int> lines;
    for (const DebugSnapshot& o : host.openings) lines.push_back(o.line);
    return lines;
  }
};

TEST_F(DebugScriptTest, DebugShowsStateAndAbortEndsTheRun) {
  host.choices = {DebugChoice::kContinue, DebugChoice::kAbort};
  EXPECT_EQ(Run("Aは、5\n3回(もし、回数=2ならば、DEBUG)\n「前」と、表示\nDEBUG\n「後」と、表示\n"),
            "前\n");
  ASSERT_EQ(host.openings.size(), 2u);
  const DebugSnapshot& inner = host.openings[0];
  EXPECT_EQ(inner.line, 2);
  EXPECT_EQ(SjisToUtf8(inner.line_label), "現在の実行行:2");
  ASSERT_EQ(inner.controls.size(), 2u);
  EXPECT_EQ(SjisToUtf8(inner.controls[0]), "1:回");
  EXPECT_EQ(SjisToUtf8(inner.controls[1]), "2:もし、ならば");
  std::vector<std::string> names = Names(inner.rows);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "それ"}));  // 回数 is a system variable
  // The program text view starts at the current line.
  EXPECT_EQ(inner.program.compare(inner.line_offset, 2, "1:"), 0);
  EXPECT_EQ(host.openings[1].line, 4);
  EXPECT_TRUE(in->S.StopRequested);
}

TEST_F(DebugScriptTest, LineStopOpensTheDialogAfterEveryLine) {
  // 一行毎に実行 keeps stopping, 連続実行 ends line stop; a "," continuation is
  // not a line end, and a line ending in 。 still stops.
  host.choices = {DebugChoice::kLineByLine, DebugChoice::kLineByLine, DebugChoice::kContinue};
  EXPECT_EQ(Run("「1」と、\n表示。\nAは、2\n「3」と、表示\n「4」と、表示\n", true), "1\n3\n4\n");
  EXPECT_EQ(OpenedLines(), (std::vector<int>{2, 3, 4}));
  EXPECT_FALSE(in->S.LineStopOption);
}

TEST_F(DebugScriptTest, LogOfANewRunStartsEmpty) {
  // A log left from the first run would reach its limit in the second; the
  // test host's log window then counts as emptied and opens the dialog.
  Run("Aは、1\nAを、2で、ログる\n");
  Run("Aは、1\nAを、2で、ログる\n");
  EXPECT_TRUE(host.openings.empty());
  Run("Aは、1\nAを、1で、ログる\n");
  EXPECT_EQ(host.openings.size(), 1u);
}

}  // namespace
}  // namespace sorane
