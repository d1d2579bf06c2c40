// The word table, folding, and the stacks.
#include <gtest/gtest.h>

#include <tuple>

#include "text/encoding.h"
#include "text/number.h"
#include "words/hash.h"
#include "words/run_control.h"
#include "words/stack.h"

namespace sorane {
namespace {

std::string U(const char* utf8) {
  return Utf8ToSjis(utf8);
}

TEST(FoldTest, DropsOkuriganaAfterKanji) {
  EXPECT_EQ(Fold(U("繰り返す")), U("繰返"));
  EXPECT_EQ(Fold(U("取り込む")), U("取込"));
  EXPECT_EQ(Fold(U("言う")), U("言"));
  EXPECT_EQ(Fold(U("おわり")), U("おわり"));
  EXPECT_EQ(Fold(U("ひらがな")), U("ひらがな"));
  EXPECT_EQ(Fold("ABC"), "ABC");
  EXPECT_EQ(Fold(U("表示して")), U("表示"));
  // Single bytes neither count as kanji nor end a skip.
  EXPECT_EQ(Fold(U("A表示する")), U("A表示"));
  EXPECT_EQ(Fold(U("加算する")), U("加算"));
}

TEST(HashTest, BucketsInsertionOrderAndReplaceInPlace) {
  THash h;
  // あい and いあ share a bucket and stay two words.
  EXPECT_EQ(THash::Bucket(U("あい")), THash::Bucket(U("いあ")));
  THashNode* a = h.AddVariable(U("あい"), "1", "e", 0);
  h.AddVariable(U("いあ"), "2", "e", 0);
  EXPECT_EQ(h.Count(), 2);
  EXPECT_EQ(h.FindExact(U("いあ"))->Value(), "2");
  // Replacing keeps the node object (fast references stay valid).
  THashNode* again = h.AddVariable(U("あい"), "3", "s", 0);
  EXPECT_EQ(a, again);
  EXPECT_EQ(a->Value(), "3");
  EXPECT_EQ(h.Count(), 2);
  EXPECT_EQ(h.NamesText(), U("あい\r\nいあ"));
}

TEST(HashTest, ReservedNamesCannotBeReplaced) {
  THash h;
  auto cmd = std::make_unique<THashNode>(U("繰返"), kWordCommand);
  cmd->Reserved = true;
  cmd->Command = CommandId::For;
  h.Add(std::move(cmd));
  auto other = std::make_unique<THashNode>(U("繰返"), kWordVariable);
  EXPECT_THROW(h.Add(std::move(other)), EWordReserved);
  EXPECT_EQ(h.FindExact(U("繰返"))->Command, CommandId::For);
  EXPECT_EQ(h.Find(U("繰り返す"), true)->Command, CommandId::For);
  EXPECT_EQ(h.Find(U("繰返す"), true)->Command, CommandId::For);
  EXPECT_EQ(h.Find(U("繰り返す"), false), nullptr);
}

TEST(HashTest, DeleteWithFold) {
  THash h;
  h.AddVariable(U("加算"), "", "", 0);
  h.AddVariable(U("加算する"), "", "", 0);
  EXPECT_EQ(h.Delete(U("加算する"), true), 0);
  EXPECT_EQ(h.Delete(U("無い"), true), -1);
}

// The node of the last lookup is given again without hashing: never once it
// was removed, its number made again for another name, or the table cleared.
TEST(HashTest, TheLastFoundWordIsNeverStale) {
  THash h;
  THashNode* a = h.FindOrAddVariable("a", 0);
  EXPECT_EQ(h.FindExact("a"), a);
  EXPECT_EQ(h.FindExact("b"), nullptr);
  EXPECT_EQ(h.FindOrAddVariable("a", 0), a);
  EXPECT_EQ(h.Delete("a", false), 0);
  EXPECT_EQ(h.FindExact("a"), nullptr);
  THashNode* b = h.FindOrAddVariable("b", 0);  // a's room, made again
  EXPECT_EQ(b->Name, "b");
  EXPECT_EQ(h.FindExact("a"), nullptr);
  EXPECT_EQ(h.FindExact("b"), b);
  THashNode* again = h.FindOrAddVariable("a", 0);
  EXPECT_NE(again, b);
  EXPECT_EQ(h.FindExact("b"), b);
  h.Clear();
  EXPECT_EQ(h.FindExact("b"), nullptr);
  EXPECT_EQ(h.FindOrAddVariable("b", 0)->Value(), "");
  EXPECT_EQ(h.Count(), 1);
}

TEST(HashTest, PairLines) {
  THash h;
  h.LoadPairLines("a=1\r\nb = x=y\r\nc", 0);
  EXPECT_EQ(h.ValueOf("a", false), "1");
  EXPECT_EQ(h.ValueOf("b", false), " x=y");
  ASSERT_NE(h.FindExact("c"), nullptr);
  EXPECT_EQ(h.ValueOf("c", false), "");
  THash g;
  g.LoadPairLines("k=1\r\nk=2", 0);
  EXPECT_EQ(g.Count(), 1);
  EXPECT_EQ(g.ValueOf("k", false), "2");
}

TEST(HashTest, CopyingAHashCopiesItsElements) {
  THashNode a(U("辞書"), kWordHash);
  a.Elements = std::make_unique<THash>();
  a.Elements->AddVariable("x", "1", "e", 0);
  THashNode b("copy", kWordVariable);
  b.CopyAttributesFrom(a);
  ASSERT_TRUE(b.Elements);
  EXPECT_NE(a.Elements.get(), b.Elements.get());
  b.Elements->FindExact("x")->ValueToWrite() = "2";
  EXPECT_EQ(a.Elements->FindExact("x")->Value(), "1");
}

TEST(HashTest, RarerFieldsAreCopiedAndReplacedWithTheWord) {
  THash h;
  auto label = std::make_unique<THashNode>("L", kWordLabel);
  label->MoreToWrite().Template = "?";
  label->MoreToWrite().Owner = "main.srn";
  THashNode* l = h.Add(std::move(label));
  THashNode copy("copy", kWordVariable);
  copy.CopyAttributesFrom(*l);
  copy.MoreToWrite().Owner = "other.srn";
  EXPECT_EQ(l->More().Owner, "main.srn");
  EXPECT_EQ(copy.More().Template, "?");
  // Replacing the word in place takes the new word's fields, an absent record
  // included.
  EXPECT_EQ(h.Add(std::make_unique<THashNode>("L", kWordVariable)), l);
  EXPECT_EQ(l->More().Template, "");
  EXPECT_EQ(l->More().Owner, "");

  // A cleared table starts over and finds what is added again.
  h.AddVariable("x", "1", "e", 0);
  h.Clear();
  EXPECT_EQ(h.Count(), 0);
  EXPECT_EQ(h.FindExact("L"), nullptr);
  for (int i = 0; i < 100; ++i) h.AddVariable("w" + std::to_string(i), std::to_string(i), "e", 0);
  EXPECT_EQ(h.ValueOf("w99", false), "99");
  EXPECT_EQ(h.Count(), 100);
}

TEST(HashTest, NumbersStoredAsNumbersAreWrittenWhenRead) {
  THash h;
  THashNode* w = h.AddVariable("n", "", "e", 0);
  // Whole numbers below 10^15 are kept as numbers; their text is the number
  // format's, written when first read.
  const std::pair<Number, const char*> kept[] = {
      {0, "0"}, {-0.0L, "0"}, {7, "7"}, {-42, "-42"}, {999999999999999, "999999999999999"}};
  for (const auto& [n, text] : kept) {
    w->SetNumber(n);
    int64_t stored = 0;
    EXPECT_TRUE(w->StoredInteger(stored)) << text;
    EXPECT_EQ(static_cast<Number>(stored), n) << text;
    EXPECT_EQ(w->Value(), text);
    EXPECT_TRUE(w->StoredInteger(stored)) << "reading the text keeps the number";
  }
  // Others the format writes with 15 digits are kept as those digits, read
  // back as their text reads; from 10^15 up they are written at once.
  const std::tuple<Number, const char*, bool> others[] = {
      {1.5L, "1.5", true},
      {0.1L, "0.1", true},
      {-2.0L / 3, "-0.666666666666667", true},
      {1.5e-7L, "1.5E-7", true},
      {123456.7890123456L, "123456.789012346", true},
      {1e15L, "1E15", false},
      {-1e15L, "-1E15", false},
      {1.5e20L, "1.5E20", false}};
  for (const auto& [n, text, as_number] : others) {
    w->SetNumber(n);
    int64_t whole = 0;
    Number stored = 0;
    EXPECT_FALSE(w->StoredInteger(whole)) << text;
    EXPECT_EQ(w->StoredNumber(stored), as_number) << text;
    EXPECT_EQ(w->Value(), text);
    if (as_number) EXPECT_EQ(stored, ParseNumber(text)) << text;
  }
  // A text changed in place is a number no more; a copy keeps the number.
  w->SetInteger(12);
  w->ValueToWrite() += "3";
  int64_t stored = 0;
  EXPECT_FALSE(w->StoredInteger(stored));
  EXPECT_EQ(w->Value(), "123");
  w->SetInteger(-5);
  THashNode* copy = h.AddVariable("c", "x", "s", 0);
  copy->CopyAttributesFrom(*w);
  EXPECT_TRUE(copy->StoredInteger(stored));
  EXPECT_EQ(stored, -5);
  EXPECT_EQ(copy->Value(), "-5");
  w->SetNumber(-0.25L);
  copy->CopyAttributesFrom(*w);
  Number decimal = 0;
  EXPECT_TRUE(copy->StoredNumber(decimal));
  EXPECT_EQ(decimal, -0.25L);
  copy->ValueToWrite() += "1";
  EXPECT_FALSE(copy->StoredNumber(decimal));
  EXPECT_EQ(copy->Value(), "-0.251");
  // A word dropped and made again starts with no number.
  h.Delete("n", false);
  THashNode* again = h.AddVariable("m", "text", "s", 0);
  EXPECT_FALSE(again->StoredInteger(stored));
  EXPECT_EQ(again->Value(), "text");
}

TEST(HashTest, TheIntegerATextIsIsForgottenWhenTheTextChanges) {
  THash h;
  THashNode* w = h.AddVariable("n", "24", "e", 0);
  int64_t n = 0;
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, 24);
  // Every way the text changes makes it read again.
  w->ValueToWrite() += "1";
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, 241);
  std::string other = "-7";
  w->SwapText(other);
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, -7);
  w->ValueToWrite() = "x";
  EXPECT_FALSE(w->IntegerValue(n));
  w->ValueToWrite() = "5";
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, 5);
  // Only the text the number format writes is an integer.
  for (const char* text : {"024", "-0", "1.0", "1E3", " 1", "", "1000000000000000"}) {
    w->ValueToWrite() = text;
    EXPECT_FALSE(w->IntegerValue(n)) << text;
  }
  // A number stored as one is read as it was stored, its text unwritten; a
  // decimal kept as its digits is no integer, and once its text is changed
  // the text is read.
  w->SetInteger(-12);
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, -12);
  w->SetNumber(2.5L);
  EXPECT_FALSE(w->IntegerValue(n));
  w->ValueToWrite().clear();
  w->ValueToWrite() += "25";
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, 25);
  // A number held aside and put back over a text is the number again.
  w->SetInteger(9);
  THashNode::HeldNumber held = w->HoldNumber();
  std::string text = "30";
  w->SwapText(text);
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, 30);
  w->PutBack(held);
  EXPECT_TRUE(w->IntegerValue(n));
  EXPECT_EQ(n, 9);
  EXPECT_EQ(w->Value(), "9");
}

// Names made from equal texts are one name, however the text was given; a
// name outlives the texts it was made from, and a record reset names nothing.
TEST(SourceNameTest, EqualTextsAreOneNameThatOutlivesThem) {
  SourceNameRef empty;
  EXPECT_EQ(empty, "");
  EXPECT_TRUE(empty.empty());
  SourceNameRef a;
  {
    std::string text = U("ラベル.srn");
    a = text;
    text.assign(64, 'x');  // (the name is its own copy)
  }
  const SourceNameRef b(std::string_view(U("ラベル.srn")));
  EXPECT_EQ(a, b);
  EXPECT_EQ(&a.Text(), &b.Text());
  EXPECT_EQ(a, U("ラベル.srn"));
  EXPECT_FALSE(a == SourceNameRef("other.srn"));
  EXPECT_EQ(SourceNameRef(std::string()), empty);
  TRunControl r;
  r.SavedSource = a;
  r.Reset();
  EXPECT_EQ(r.SavedSource, empty);
}

TEST(StackTest, PopsOfAnEmptyStackGiveEmptyText) {
  TStack s;
  EXPECT_EQ(s.PopLast(), "");
  EXPECT_EQ(s.PopFirst(), "");
  s.Push("a");
  s.Push("b");
  s.PushFront("z");
  EXPECT_EQ(s.Text(), "z\r\na\r\nb\r\n");
  EXPECT_EQ(s.Peek(5), "");
  EXPECT_EQ(s.PopFirst(), "z");
  EXPECT_EQ(s.PopLast(), "b");
}

TEST(RunControlStackTest, SaveRestoreAndClearAll) {
  TRunControlStack st;
  TRunControl r;
  r.Kind = kRunTimes;
  st.Push(r);
  st.Save();
  EXPECT_EQ(st.Count(), 0);
  r.Kind = kRunCall;
  st.Push(r);
  st.Push(r);
  st.Restore();
  ASSERT_EQ(st.Count(), 1);
  TRunControl out;
  ASSERT_TRUE(st.Get(0, out));
  EXPECT_EQ(out.Kind, kRunTimes);
  st.Restore();  // nothing saved: no change
  EXPECT_EQ(st.Count(), 1);
  st.Save();
  st.Push(r);
  st.Save();
  st.Push(r);
  st.ClearAll();
  EXPECT_EQ(st.Count(), 0);
  EXPECT_EQ(st.SavedCount(), 0u);
  EXPECT_FALSE(st.Pop(out));
}

TEST(RunControlStackTest, DeepNestedRunsGetTheirStacksBackTwice) {
  // Levels past those that keep their storage, set aside and taken back
  // twice: each level finds its own record again.
  TRunControlStack st;
  for (int round = 0; round < 2; ++round) {
    for (int level = 0; level < 80; ++level) {
      TRunControl r;
      r.Counter = level;
      st.Push(std::move(r));
      st.Save();
      EXPECT_EQ(st.Count(), 0);
    }
    for (int level = 79; level >= 0; --level) {
      st.Restore();
      ASSERT_EQ(st.Count(), 1);
      EXPECT_EQ(st.At(0)->Counter, level);
      st.DropTop();
    }
    EXPECT_EQ(st.SavedCount(), 0u);
  }
}

TEST(RunControlStackTest, BodiesOutliveTheirRecords) {
  TRunControlStack st;
  TRunControl r;
  r.Body = std::make_shared<const std::string>("body");
  TPos inside = TPos::Start(r.Body);
  st.Push(std::move(r));
  st.Clear();
  EXPECT_STREQ(inside.p, "body");  // the position keeps its text alive
}

}  // namespace
}  // namespace sorane
