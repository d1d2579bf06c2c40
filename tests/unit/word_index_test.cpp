// The word table's index: lookups stay right and listings keep their order
// through many additions, removals and replacements.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "words/hash.h"

namespace sorane {
namespace {

TEST(WordIndexTest, ManyWordsKeepOrderThroughRemovalsAndReplacements) {
  THash h;
  constexpr int kWords = 60000;
  std::vector<THashNode*> nodes;
  for (int i = 0; i < kWords; ++i)
    nodes.push_back(h.AddVariable("v" + std::to_string(i), std::to_string(i), "e", 0));
  // Every other word goes; the rest keep their nodes and are still found.
  for (int i = 0; i < kWords; i += 2) ASSERT_GE(h.Delete("v" + std::to_string(i), false), 0);
  EXPECT_EQ(h.Count(), kWords / 2);
  for (int i = 0; i < kWords; ++i) {
    THashNode* n = h.FindExact("v" + std::to_string(i));
    if (i % 2)
      ASSERT_EQ(n, nodes[i]);
    else
      ASSERT_EQ(n, nullptr);
  }
  // Removed names come back at the end of their bucket; a replaced word keeps
  // its node and its place.
  for (int i = 0; i < kWords; i += 2) h.AddVariable("v" + std::to_string(i), "again", "s", 0);
  EXPECT_EQ(h.AddVariable("v1", "replaced", "s", 0), nodes[1]);
  EXPECT_EQ(h.Count(), kWords);

  // The listing: buckets in order, each in the order its words were added.
  std::map<unsigned, std::vector<std::string>> expected;
  for (int i = 1; i < kWords; i += 2) {
    std::string name = "v" + std::to_string(i);
    expected[THash::Bucket(name)].push_back(name);
  }
  for (int i = 0; i < kWords; i += 2) {
    std::string name = "v" + std::to_string(i);
    expected[THash::Bucket(name)].push_back(name);
  }
  std::vector<std::string> listed;
  for (THashNode* n : h.AllNodes()) listed.push_back(n->Name);
  std::vector<std::string> want;
  for (auto& [bucket, names] : expected) want.insert(want.end(), names.begin(), names.end());
  EXPECT_EQ(listed, want);
  EXPECT_EQ(h.FindExact("v1")->Value(), "replaced");
  EXPECT_EQ(h.FindExact("v4")->Value(), "again");
}

TEST(WordIndexTest, GenerationChangesWithTheWordsNotWithValues) {
  THash h;
  uint64_t g0 = h.Generation();
  THashNode* a = h.AddVariable("a", "1", "e", 0);
  uint64_t g1 = h.Generation();
  EXPECT_NE(g0, g1);
  a->ValueToWrite() = "2";
  EXPECT_EQ(h.Generation(), g1);
  h.AddVariable("a", "3", "e", 0);  // replaced in place
  uint64_t g2 = h.Generation();
  EXPECT_NE(g1, g2);
  h.Delete("a", false);
  EXPECT_NE(h.Generation(), g2);
  THash other;
  EXPECT_NE(other.Generation(), h.Generation());
  h.Clear();
  EXPECT_EQ(h.FindExact("a"), nullptr);
}

}  // namespace
}  // namespace sorane
