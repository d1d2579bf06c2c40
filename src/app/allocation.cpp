// The run-time's allocation of memory for C++ objects: as the library's own
// (malloc), except that a block of many megabytes is asked for large pages
// before anything is written into it, and so is the heap where it grew (see
// platform/large_pages.h). Every form without an alignment of its own is
// replaced, so a block is always released by free whichever form allocated
// it. (Builds with the sanitizers leave this file out: theirs check
// allocations.)
#include <cstdlib>
#include <new>

#include "platform/large_pages.h"

namespace {

// Allocations made on this thread: every so many, whether the heap grew is
// looked at (see AdviseLargePagesForHeapGrowth), soon enough that few of the
// new bytes were written yet.
thread_local unsigned t_allocations = 0;
constexpr unsigned kGrowthLookEvery = 64;

void* Allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) {
      if (size >= sorane::kLargeBlock)
        sorane::AdviseLargePages(block, size);
      else if (++t_allocations % kGrowthLookEvery == 0)
        sorane::AdviseLargePagesForHeapGrowth();
      return block;
    }
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}

void* operator new[](std::size_t size) {
  return Allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* block) noexcept {
  std::free(block);
}

void operator delete[](void* block) noexcept {
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
