#include "library/vocabulary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "library/library.h"
#include "runtime/host.h"
#include "runtime/interpreter.h"
#include "test_env.h"
#include "test_host.h"
#include "text/encoding.h"
#include "words/hash.h"

namespace sorane {
namespace {

// The screen size is fixed so the desktop variables can be checked.
class NullHost : public TestHost {
 public:
  int ScreenWidth() override { return 1920; }
  int ScreenHeight() override { return 1080; }
};

std::string Sj(const char* utf8) {
  return Utf8ToSjis(utf8);
}

// The command tables: every id is registered by one family only, all names of
// an id share its handler, and every id has one (a command is never silently
// missing its handler).
TEST(CommandTables, EachIdHandledOnce) {
  std::map<CommandId, const CommandTable*> owner;
  std::map<CommandId, CommandHandler> handler;
  std::set<std::string> names;
  size_t rows = 0;
  for (const CommandTable& table : CommandTables()) {
    for (const CommandRow& row : table) {
      ++rows;
      EXPECT_TRUE(names.insert(row.Name).second) << "name twice: " << row.Name;
      auto [it, fresh] = owner.emplace(row.Id, &table);
      EXPECT_EQ(it->second, &table) << "id in two tables: " << row.Name;
      if (!fresh) {
        EXPECT_EQ(handler[row.Id], row.Handler) << "aliases differ: " << row.Name;
      }
      handler[row.Id] = row.Handler;
      EXPECT_GE(static_cast<int>(row.Id), 0);
      EXPECT_LT(static_cast<int>(row.Id), kCommandIdCount);
      std::string_view tmpl = row.Template;
      size_t slots = tmpl.empty() ? 0 : 1 + std::count(tmpl.begin(), tmpl.end(), ',');
      EXPECT_LE(slots, Call::kMaxSlots) << row.Name;
    }
  }
  for (const auto& [id, h] : handler) EXPECT_NE(h, nullptr) << static_cast<int>(id);
  auto variables = SystemVariableEntries();
  std::set<std::string> variable_names;
  for (const SystemVariableEntry& v : variables) variable_names.insert(v.Name);
  EXPECT_EQ(variable_names.size(), variables.size());
  EXPECT_EQ(rows, names.size());
}

// Handlers belong to the interpreter that installed them: a bare interpreter
// has none, a pure one only the computing commands, and installing twice is
// harmless.
TEST(CommandTables, HandlersArePerInterpreter) {
  TestHost host;
  Interpreter bare{host}, pure{host}, full{host};
  InstallPureLibrary(pure);
  InstallLibrary(full);
  InstallLibrary(full);
  EXPECT_EQ(bare.HandlerOf(CommandId::Add), nullptr);
  EXPECT_NE(pure.HandlerOf(CommandId::Add), nullptr);
  EXPECT_EQ(pure.HandlerOf(CommandId::WriteFile), nullptr);
  EXPECT_NE(full.HandlerOf(CommandId::WriteFile), nullptr);
  static constexpr CommandRow kClash[] = {{CommandId::Add, "x", "", [](Call&) {}, kPure}};
  EXPECT_THROW(full.InstallHandlers(kClash, false), std::logic_error);
}

class VocabularyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in.S.CommandLine = {Sj("/home/u/スクリプト.srn"), "-debug", "b"};
    in.S.HostPath = Sj("/home/u/");
    in.S.RuntimePath = "/opt/sorane/";
    in.S.Words.Clear();
    BuildVocabulary(in);
  }

  THashNode* Word(const char* utf8, bool fold = true) { return in.S.Words.Find(Sj(utf8), fold); }
  std::string Value(const char* utf8) {
    THashNode* n = Word(utf8, false);
    return n ? n->Value() : "<missing>";
  }

  NullHost host;
  Interpreter in{host};
};

// Every row must survive registration: a folding collision or a variable that
// shadows a command would drop or replace a word.
TEST_F(VocabularyTest, EveryEntryIsRegisteredUnderItsOwnName) {
  EXPECT_EQ(in.S.Words.Count(), 449 + 117 + 1);
  for (const CommandTable& table : CommandTables()) {
    for (const CommandRow& c : table) {
      THashNode* n = Word(c.Name);
      ASSERT_NE(n, nullptr) << c.Name;
      EXPECT_EQ(n->Kind, kWordCommand) << c.Name;
      EXPECT_EQ(n->Command, c.Id) << c.Name;
      EXPECT_EQ(n->More().Template, Sj(c.Template)) << c.Name;
      EXPECT_TRUE(n->Reserved) << c.Name;
    }
  }
  for (const SystemVariableEntry& v : SystemVariableEntries()) {
    THashNode* n = Word(v.Name, false);
    ASSERT_NE(n, nullptr) << v.Name;
    EXPECT_EQ(n->Kind, kWordVariable) << v.Name;
    EXPECT_EQ(n->Level, -1) << v.Name;
    EXPECT_EQ(n->TypeMark, Sj(v.Description)) << v.Name;
    EXPECT_EQ(n->Reserved, v.ReadOnly) << v.Name;
  }
}

TEST_F(VocabularyTest, CommandNamesAreStoredFolded) {
  THashNode* loop = Word("繰り返す");
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Command, CommandId::For);
  EXPECT_EQ(loop->Name, Sj("繰返"));
  EXPECT_EQ(Word("繰返す"), loop);
  EXPECT_EQ(Word("繰返"), loop);
  EXPECT_EQ(Word("繰り返す", false), nullptr);
  EXPECT_EQ(loop->More().Template, Sj("?を,?から,?まで"));
}

TEST_F(VocabularyTest, AliasesAreSeparateWordsWithTheirOwnTemplates) {
  THashNode* a = Word("おわり");
  THashNode* b = Word("終わり");
  THashNode* c = Word("おわる");
  ASSERT_TRUE(a && b && c);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
  EXPECT_EQ(a->Command, CommandId::End);
  EXPECT_EQ(b->Command, CommandId::End);
  EXPECT_EQ(c->Command, CommandId::End);

  THashNode* len = Word("LEN");
  THashNode* count = Word("文字数");
  ASSERT_TRUE(len && count);
  EXPECT_EQ(len->Command, CommandId::CharCount);
  EXPECT_EQ(count->Command, CommandId::CharCount);
  EXPECT_EQ(len->More().Template, "?");
  EXPECT_EQ(count->More().Template, Sj("?の"));

  // One id, one name with a template and one without.
  EXPECT_EQ(Word("作業フォルダ")->More().Template, Sj("?へ"));
  EXPECT_EQ(Word("作業ディレクトリ")->More().Template, "");
  // Templates without "?" and with a blank are kept as written.
  EXPECT_EQ(Word("フォームの位置記録")->More().Template, Sj("へ"));
  EXPECT_EQ(Word("フォームの位置復元")->More().Template, Sj("から"));
  EXPECT_EQ(Word("ファイル合成")->More().Template, Sj("?を, ?へ"));
}

TEST_F(VocabularyTest, ReadOnlyVariablesAndCommandsCannotBeReplaced) {
  THash& words = in.S.Words;
  EXPECT_THROW(words.AddVariable(Sj("回数"), "5", "e", 0), EWordReserved);
  EXPECT_EQ(Value("回数"), "0");
  EXPECT_THROW(words.AddVariable("HKEY_LOCAL_MACHINE", "9", "e", 0), EWordReserved);
  EXPECT_THROW(words.AddVariable(Sj("繰返"), "", "s", 0), EWordReserved);
  EXPECT_THROW(words.AddVariable(Sj("母艦"), "", "s", 0), EWordReserved);

  THashNode* colour = Word("文字色", false);
  words.AddVariable(Sj("文字色"), Sj("赤"), "s", 0);
  EXPECT_EQ(Word("文字色", false), colour);
  EXPECT_EQ(colour->Value(), Sj("赤"));
  words.AddVariable(Sj("メールホスト"), "mail.example", "s", 0);
  EXPECT_EQ(Value("メールホスト"), "mail.example");
}

TEST_F(VocabularyTest, DefaultsAndDescriptions) {
  EXPECT_EQ(Value("回数"), "0");
  EXPECT_EQ(Value("マッチ数"), "");
  EXPECT_EQ(Value("タブ文字の個数"), "8");
  EXPECT_EQ(Value("文字書体"), Sj("ＭＳ ゴシック"));
  EXPECT_EQ(Value("禁則処理の行頭禁止文字"),
            Sj("、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ"));
  EXPECT_EQ(Value("縦"), Sj("縦"));
  EXPECT_EQ(Value("ウィンドウ色"), "$8000000F");
  EXPECT_EQ(Value("そらねバージョン"), "1.62");
  EXPECT_EQ(Word("オン", false)->TypeMark, "e");
  EXPECT_EQ(Word("赤色", false)->TypeMark, "s");
  // Descriptions are kept byte for byte as scripts have always seen them.
  EXPECT_EQ(Word("自己解凍書庫オプション", false)->TypeMark,
            Sj("自己解凍書子作成命令の解凍オプションの指定s"));
}

TEST_F(VocabularyTest, HostObjectAndFastWords) {
  THashNode* host_word = Word("母艦", false);
  ASSERT_NE(host_word, nullptr);
  EXPECT_EQ(host_word->Kind, kWordObject);
  EXPECT_EQ(host_word->ObjectIndex, 0);
  EXPECT_EQ(host_word->TypeMark, Sj("メインフォーム"));
  EXPECT_TRUE(host_word->Reserved);

  const TFastWords& f = in.S.Fast;
  for (THashNode* p : {f.Sore, f.So, f.Count, f.ErrorMessage, f.CannotClose, f.Soshite, f.Naraba,
                       f.Nara, f.Chigaeba, f.Denakereba, f.Moshi, f.TabCount, f.PrintTarget})
    ASSERT_NE(p, nullptr);
  EXPECT_EQ(f.Sore, Word("それ", false));
  EXPECT_EQ(f.So, Word("そ", false));
  EXPECT_EQ(f.So->Level, -1);
  EXPECT_EQ(f.Count, Word("回数", false));
  EXPECT_EQ(f.ErrorMessage, Word("エラーメッセージ", false));
  EXPECT_EQ(f.CannotClose, Word("終了不可能", false));
  EXPECT_EQ(f.Soshite, Word("そして", false));
  EXPECT_EQ(f.TabCount, Word("タブ文字の個数", false));
  EXPECT_EQ(f.PrintTarget, Word("表示出力先", false));
  EXPECT_EQ(f.Naraba->Command, CommandId::Then);
  EXPECT_EQ(f.Nara->Command, CommandId::ThenShort);
  EXPECT_EQ(f.Moshi->Command, CommandId::If);
  EXPECT_EQ(f.Chigaeba->Command, CommandId::Else);
  EXPECT_EQ(f.Denakereba->Command, CommandId::Else);
  EXPECT_NE(f.Chigaeba, f.Denakereba);
}

TEST_F(VocabularyTest, ValuesComputedAtStart) {
  EXPECT_EQ(Value("コマンドライン引数"), Sj("/home/u/スクリプト.srn\r\n-debug\r\nb"));
  EXPECT_EQ(Value("母艦のパス"), Sj("/home/u/"));
  EXPECT_EQ(Value("ランタイムのパス"), "/opt/sorane/");
  EXPECT_EQ(Value("SYSTEMのパス"), "/usr/lib/");
  EXPECT_FALSE(Value("OS").empty());
  for (const char* name : {"デスクトップのパス", "ゴミ箱のパス", "マイドキュメントのパス",
                           "スタートメニューのパス", "スタートアップのパス", "SENDTOのパス",
                           "WINDOWSのパス", "TEMPのパス", "お気に入りのパス"}) {
    std::string v = Value(name);
    ASSERT_FALSE(v.empty()) << name;
    EXPECT_EQ(v.back(), '/') << name;
    EXPECT_TRUE(Word(name, false)->Reserved) << name;
  }
  // The screen size is decimal text and stays assignable.
  EXPECT_EQ(Value("デスクトップの幅"), "1920");
  EXPECT_EQ(Value("デスクトップの高さ"), "1080");
  EXPECT_FALSE(Word("デスクトップの幅", false)->Reserved);
}

TEST_F(VocabularyTest, PathsAreConvertedToCp932) {
  ScopedEnv tmp("TMPDIR", "/tmp/作業");
  in.S.Words.Clear();
  BuildVocabulary(in);
  EXPECT_EQ(Value("TEMPのパス"), Sj("/tmp/作業/"));
}

TEST_F(VocabularyTest, SecondBuildIntoAFilledTableRaises) {
  EXPECT_THROW(BuildVocabulary(in), EWordReserved);
  in.S.Words.Clear();
  BuildVocabulary(in);
  EXPECT_EQ(in.S.Words.Count(), 449 + 117 + 1);
}

}  // namespace
}  // namespace sorane
