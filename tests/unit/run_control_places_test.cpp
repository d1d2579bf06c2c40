// The run-control stack keeps the places of dropped records for the next ones:
// a record made there must be as new, and a dropped record must let go of the
// texts it held, at once.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "words/run_control.h"

namespace sorane {
namespace {

// A record holding a text in every field that can hold one.
void Fill(TRunControl& r, const std::shared_ptr<const std::string>& text,
          const std::string& source) {
  r.Kind = kRunElse;
  r.Counter = 3;
  r.Limit = 9;
  r.ReturnPos = TPos::Start(text);
  r.ExitPos = TPos::Start(text);
  r.Body = text;
  r.BodyBegin = text->data();
  r.BodyEnd = text->data() + 1;
  r.SavedSource = source;
  r.Condition = "A<B";
  r.ConditionCompiled = std::make_shared<int>(1);
  r.Seal = std::make_shared<int>(2);
  r.CounterWord = reinterpret_cast<THashNode*>(&r);
  r.CounterGeneration = 7;
  r.Elements = std::make_shared<std::vector<std::string>>(1, "x");
}

void ExpectNew(const TRunControl& r) {
  EXPECT_EQ(r.Kind, kRunThen);
  EXPECT_EQ(r.Counter, 0);
  EXPECT_EQ(r.Limit, 0);
  EXPECT_TRUE(r.ReturnPos.None());
  EXPECT_TRUE(r.ExitPos.None());
  EXPECT_EQ(r.Body, nullptr);
  EXPECT_EQ(r.BodyBegin, nullptr);
  EXPECT_EQ(r.BodyEnd, nullptr);
  EXPECT_EQ(static_cast<const std::string&>(r.SavedSource), "");
  EXPECT_EQ(r.Condition, "");
  EXPECT_EQ(r.ConditionCompiled, nullptr);
  EXPECT_EQ(r.Seal, nullptr);
  EXPECT_EQ(r.CounterWord, nullptr);
  EXPECT_EQ(r.CounterGeneration, 0u);
  EXPECT_EQ(r.Elements, nullptr);
}

TEST(RunControlPlacesTest, ARecordMadeWhereOneWasDroppedIsNewAndTheTextIsLetGo) {
  auto text = std::make_shared<const std::string>("block");
  TRunControlStack st;
  Fill(st.Emplace(), text, "a.srn");
  EXPECT_GT(text.use_count(), 1);
  st.DropTop();
  EXPECT_EQ(text.use_count(), 1);
  EXPECT_EQ(st.Count(), 0);
  EXPECT_EQ(st.Top(), nullptr);
  EXPECT_EQ(st.At(0), nullptr);
  TRunControl& again = st.Emplace();
  ExpectNew(again);
  // The same name, and another, read as given.
  again.SavedSource = std::string("a.srn");
  EXPECT_EQ(static_cast<const std::string&>(again.SavedSource), "a.srn");
  again.SavedSource = std::string("b.srn");
  EXPECT_EQ(static_cast<const std::string&>(again.SavedSource), "b.srn");
  st.DropTop();
  // A record pushed into the place, then popped past the places above it.
  TRunControl pushed;
  Fill(pushed, text, "c.srn");
  st.Push(pushed);
  Fill(st.Emplace(), text, "d.srn");
  st.DropTop();
  TRunControl out;
  ASSERT_TRUE(st.Pop(out));
  EXPECT_EQ(out.Kind, kRunElse);
  EXPECT_EQ(static_cast<const std::string&>(out.SavedSource), "c.srn");
  EXPECT_EQ(st.Count(), 0);
  EXPECT_FALSE(st.Pop(out));
}

TEST(RunControlPlacesTest, ADroppedBranchLeavesItsPlaceNewForALoop) {
  // A branch holds its block (a copy with its notes and seal), where it leaves
  // and returns, and the source name; dropped, all of it goes, and a loop's
  // record made in its place starts as new.
  auto text = std::make_shared<const std::string>("block");
  TRunControlStack st;
  for (RunKind kind : {kRunThen, kRunElse}) {
    TRunControl& branch = st.Emplace();
    branch.Kind = kind;
    branch.ReturnPos = TPos::Start(text);
    branch.ExitPos = TPos::Start(text);
    branch.Body = text;
    branch.BodyBegin = text->data();
    branch.BodyEnd = text->data() + 1;
    branch.Seal = std::make_shared<int>(2);
    branch.SavedSource = std::string("a.srn");
    st.DropBranch();
    EXPECT_EQ(text.use_count(), 1);
    EXPECT_EQ(st.Count(), 0);
    TRunControl& loop = st.Emplace();
    ExpectNew(loop);
    Fill(loop, text, "b.srn");
    st.DropTop();
  }
}

TEST(RunControlPlacesTest, ANestedRunsRecordsLetGoOfTheirTextsWhenItsStackIsTakenBack) {
  auto text = std::make_shared<const std::string>("block");
  TRunControlStack st;
  TRunControl outer;
  outer.Kind = kRunTimes;
  st.Push(outer);
  for (int run = 0; run < 2; ++run) {
    st.Save();
    if (run == 1) ExpectNew(st.Emplace());  // the place the first run left
    if (run == 1) st.DropTop();
    Fill(st.Emplace(), text, "a.srn");
    Fill(st.Emplace(), text, "a.srn");
    st.DropTop();  // one dropped, one left when the run ends
    st.Restore();
    EXPECT_EQ(text.use_count(), 1) << run;
    ASSERT_EQ(st.Count(), 1);
    EXPECT_EQ(st.Top()->Kind, kRunTimes);
  }
}

}  // namespace
}  // namespace sorane
