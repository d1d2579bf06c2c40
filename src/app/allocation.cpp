// The run-time's allocation of memory for C++ objects: as the library's own
// (malloc), except that a block of many megabytes is asked for large pages
// before anything is written into it (see platform/large_pages.h). Replacing
// these two forms is enough: the others (nothrow, sized delete) are defined
// in terms of them, and every block is still released by free.
#include <cstdlib>
#include <new>

#include "platform/large_pages.h"

namespace {

void* Allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) {
      if (size >= sorane::kLargeBlock) sorane::AdviseLargePages(block, size);
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
