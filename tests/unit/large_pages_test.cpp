// Large pages change how memory is mapped, never what it holds: the heap
// prepared for them still gives every block its own bytes, and an advised
// block keeps its contents.
#include "platform/large_pages.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sanitizer_build.h"
#include "test_process.h"

namespace sorane {
namespace {

// Fills a block with bytes that tell it from its neighbours.
void Fill(std::vector<uint8_t>& block, size_t seed) {
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(seed * 31 + i);
}

bool Holds(const std::vector<uint8_t>& block, size_t seed) {
  for (size_t i = 0; i < block.size(); ++i)
    if (block[i] != static_cast<uint8_t>(seed * 31 + i)) return false;
  return true;
}

TEST(LargePages, HeapPreparedTwiceStillKeepsEveryBlockApart) {
  // The heap is prepared as the executable prepares it at its start: in a
  // process of its own (this test program run again for this test alone),
  // since the tests before leave free blocks anywhere in this one's heap.
  constexpr const char* kFresh = "SORANE_TEST_FRESH_HEAP";
  if (!std::getenv(kFresh)) {
    ProcessRun run = RunProcess(
        "/proc/self/exe", {"--gtest_filter=LargePages.HeapPreparedTwiceStillKeepsEveryBlockApart"},
        std::filesystem::current_path(), {std::string(kFresh) + "=1"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return;
  }
  // As the executable tunes the library: blocks of some megabytes come from
  // the heap. (Twice: the second finds the heap already grown and advised.)
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  [[maybe_unused]] const bool prepared = AdviseLargePagesForHeap(size_t{4} << 20);
#if !defined(SORANE_ASAN)
  EXPECT_TRUE(prepared);  // (the sanitizers' heap is their own)
#endif
  AdviseLargePagesForHeap(size_t{4} << 20);
  std::vector<std::vector<uint8_t>> blocks(20000);
  for (size_t k = 0; k < blocks.size(); ++k) {
    blocks[k].resize(16 + (k * 37) % 2000);
    Fill(blocks[k], k);
  }
  // Every other block freed and made again with another size, the heap's
  // growth advised on the way (as the executable's allocation does).
  for (size_t k = 0; k < blocks.size(); k += 2) {
    blocks[k] = std::vector<uint8_t>(8 + (k * 53) % 3000);
    Fill(blocks[k], k);
    if (k % 1000 == 0) AdviseLargePagesForHeapGrowth();
  }
  size_t intact = 0;
  for (size_t k = 0; k < blocks.size(); ++k) intact += Holds(blocks[k], k);
  EXPECT_EQ(intact, blocks.size());
}

TEST(LargePages, AdvisedBlockKeepsItsContents) {
  const size_t size = kLargeBlock + 12345;
  std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
  std::vector<uint8_t> before(size);
  Fill(before, 7);
  std::memcpy(block.get(), before.data(), size);
  AdviseLargePages(block.get(), size);
  AdviseLargePages(block.get() + 1, size - 1);  // not aligned to anything
  EXPECT_EQ(std::memcmp(block.get(), before.data(), size), 0);
}

}  // namespace
}  // namespace sorane
