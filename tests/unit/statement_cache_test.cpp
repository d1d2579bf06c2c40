// The tables of statements read once: where records are kept when positions
// share a slot.
#include "runtime/statement_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace sorane {
namespace {

// Three positions in `text` whose records are looked for in the same slot.
std::vector<const char*> SharingASlot(const std::string& text) {
  std::vector<const char*> found;
  const size_t slot = StatementCache::SlotOf(text.data());
  for (const char* p = text.data(); p < text.data() + text.size() - 8 && found.size() < 3; ++p)
    if (StatementCache::SlotOf(p) == slot) found.push_back(p);
  return found;
}

TEST(StatementCacheTest, TwoStatementsSharingASlotKeepTheirRecords) {
  // A text of the same statement over and over: each position reads "X=1".
  std::string text;
  while (text.size() < (1u << 20)) text += "X=1\n";
  std::vector<const char*> at = SharingASlot(text);
  ASSERT_EQ(at.size(), 3u);
  // Each position starts a statement of its own: the bytes up to the next
  // line break, then the line break.
  auto remember = [&](StatementCache& cache, const char* p) {
    const char* end = p;
    while (*end != '\n') ++end;
    cache.Remember(p, end, "X", std::string(p, end));
  };
  StatementCache cache;
  remember(cache, at[0]);
  remember(cache, at[1]);
  EXPECT_NE(cache.Find(at[0]), nullptr);
  EXPECT_NE(cache.Find(at[1]), nullptr);
  // Remembered again, a record replaces its own and keeps the other.
  remember(cache, at[0]);
  EXPECT_NE(cache.Find(at[0]), nullptr);
  EXPECT_NE(cache.Find(at[1]), nullptr);
  // A third position in the slot keeps the newest two: the oldest goes.
  remember(cache, at[2]);
  EXPECT_NE(cache.Find(at[2]), nullptr);
  EXPECT_NE(cache.Find(at[0]), nullptr);
  EXPECT_EQ(cache.Find(at[1]), nullptr);
}

// A record found in a text is taken there without comparing its bytes; in a
// text made later at the same address it is compared again. (Two owners of
// one buffer stand for a text freed and another made where it was.)
TEST(StatementCacheTest, ARecordFoundInATextIsComparedAgainInAnother) {
  std::string bytes = "X=1\nY=2\n";
  const auto first = std::make_shared<const int>(1);
  const auto second = std::make_shared<const int>(2);
  const std::shared_ptr<const std::string> text(first, &bytes);
  const std::shared_ptr<const std::string> later(second, &bytes);
  const char* p = bytes.data();
  StatementCache cache;
  cache.Remember(p, p + 3, "X", "1");
  const TPos in_text(p, text);
  ASSERT_NE(cache.Find(p, BoundsOf(in_text)), nullptr);  // compared, and the text noted
  EXPECT_NE(cache.Find(p, BoundsOf(in_text)), nullptr);
  // The later text reads otherwise at the same address: no record.
  bytes[2] = '7';
  const TPos in_later(p, later);
  EXPECT_EQ(cache.Find(p, BoundsOf(in_later)), nullptr);
  // Read as before, it holds there too (and is then noted there).
  bytes[2] = '1';
  EXPECT_NE(cache.Find(p, BoundsOf(in_later)), nullptr);
  bytes[2] = '7';
  EXPECT_EQ(cache.Find(p, BoundsOf(in_text)), nullptr);
}

}  // namespace
}  // namespace sorane
