// Large pages for large blocks of memory. A page of memory is mapped the first
// time it is written, one 4 KB page at a time; on virtual machines each such
// step costs far more than writing the page, so a text of many megabytes (a
// file read whole, a text built by repetition, a copy of either) spent most
// of its time being mapped. Blocks this large are asked to be mapped in 2 MB
// pages instead, where the system allows it, and so is the first stretch of
// the heap the many small blocks come from.
#pragma once

#include <cstddef>

namespace sorane {

// Blocks of at least this many bytes are worth large pages.
constexpr size_t kLargeBlock = size_t{4} << 20;

// Asks for the 2 MB pages lying wholly inside [block, block + size) to be
// mapped as large pages. Does nothing for smaller blocks or where the system
// refuses; never changes the block's contents.
void AdviseLargePages(void* block, size_t size);

// Lets the heap's next `size` bytes be mapped in large pages: the heap is
// grown by that much at once and the 2 MB pages inside the growth are
// advised; the bytes before the first of them are set aside unused (never
// written, so they take no memory), so the next small blocks begin on a large
// page. The many small blocks a run starts with (its word table) then cost
// one mapping step instead of one per 4 KB. Blocks of that size must come
// from the heap (below the library's mmap threshold). Does nothing, and gives
// false, where the heap is not the library's own contiguous one (it is
// checked at every step).
bool AdviseLargePagesForHeap(size_t size);

// Once the heap was prepared so, the stretch it has grown by since is
// advised as well (the library grows it by many megabytes at a time): the
// large pages it holds that nothing was written to yet are then mapped whole.
// Cheap when the heap has not grown.
void AdviseLargePagesForHeapGrowth();

}  // namespace sorane
