#pragma once
// Large buffers in huge pages where the system grants them on request: a
// buffer that is filled once would otherwise cost a page fault per 4 KB.

#include <cstddef>

namespace qj {

// At least bytes of memory, rounded up to whole 2 MB pages, aligned to and
// advised for huge pages (only a wish: ordinary pages otherwise). Freed with
// std::free; throws std::bad_alloc when there is none.
void* AllocateHugePages(size_t bytes);

// Advises the whole 2 MB pages within a block from the C library for huge
// pages, where the system grants them on request (only a wish).
void AdviseHugePages(void* block, size_t bytes);

constexpr size_t kHugePage = size_t{2} << 20;

// The bytes AllocateHugePages gives for a request of bytes.
constexpr size_t HugePagesRounded(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace qj
