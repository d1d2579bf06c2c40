#include "platform/large_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace sorane {

void AdviseLargePages(void* block, size_t size) {
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  if (!block || size < kLargeBlock) return;
  const auto begin = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t last = (begin + size) & ~(kLargePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace sorane
