#pragma once
// Large buffers in huge pages where the system grants them on request: a
// buffer that is filled once would otherwise cost a page fault per 4 KB.

#include <cstddef>

namespace qj {

// At least bytes of memory, rounded up to whole 2 MB pages, aligned to and
// advised for huge pages (only a wish: ordinary pages otherwise). Freed with
// std::free; throws std::bad_alloc when there is none.
void* AllocateHugePages(size_t bytes);

// A block of whole 2 MB pages advised for huge pages that grows or shrinks
// by moving its pages, never by copying its bytes: a block of bytes becomes
// one of newBytes with the same content up to the smaller size. A null block
// is made; newBytes 0 gives the block back and returns nullptr. Throws
// std::bad_alloc when there is no memory; the block is then as it was.
void* ResizeHugePages(void* block, size_t bytes, size_t newBytes);

constexpr size_t kHugePage = size_t{2} << 20;

// The bytes AllocateHugePages gives for a request of bytes.
constexpr size_t HugePagesRounded(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace qj
