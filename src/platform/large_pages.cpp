#include "platform/large_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace sorane {

namespace {
constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
// Where the heap's advised stretch ends; 0 until the heap was prepared.
std::atomic<uintptr_t> g_heap_advised_end{0};
}  // namespace

void AdviseLargePages(void* block, size_t size) {
  if (!block || size < kLargeBlock) return;
  const auto begin = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t last = (begin + size) & ~(kLargePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

bool AdviseLargePagesForHeap(size_t size) {
  // The free block at the heap's end (what the next small blocks are cut
  // from) ends at the program break.
  const struct mallinfo2 info = mallinfo2();
  const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
  if (end == UINTPTR_MAX || info.keepcost == 0 || info.keepcost > end) return false;
  const uintptr_t free_start = end - info.keepcost;
  // (At least a page before the first large page: the block set aside below
  // is never empty.)
  const uintptr_t first = (free_start + 4096 + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t last = (first + size) & ~(kLargePage - 1);
  // One block up to the end of the advised range grows the heap without
  // writing inside it (the library marks the free rest after the block).
  void* growth = std::malloc(last - free_start);
  const auto at = reinterpret_cast<uintptr_t>(growth);
  if (!growth || at < free_start || at > free_start + 64 ||
      reinterpret_cast<uintptr_t>(sbrk(0)) < last) {
    std::free(growth);
    return false;
  }
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  std::free(growth);
  // The bytes before the first large page stay allocated and untouched.
  void* before = std::malloc(first - at);
  if (reinterpret_cast<uintptr_t>(before) != at) std::free(before);
  g_heap_advised_end.store(last, std::memory_order_relaxed);
  return true;
}

void AdviseLargePagesForHeapGrowth() {
  const uintptr_t advised = g_heap_advised_end.load(std::memory_order_relaxed);
  const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(kLargePage - 1);
  if (advised == 0 || end <= advised || end == (UINTPTR_MAX & ~(kLargePage - 1))) return;
  g_heap_advised_end.store(end, std::memory_order_relaxed);
  madvise(reinterpret_cast<void*>(advised), end - advised, MADV_HUGEPAGE);
}

}  // namespace sorane
