#pragma once
// Large buffers that grow without being copied.

#include <cstddef>

namespace qj {

// A block of whole pages in a mapping of its own that grows or shrinks by
// moving its pages, never by copying its bytes, so growing never holds an
// old and a new block at once: a block of bytes becomes one of newBytes
// with the same content up to the smaller size. A null block is made;
// newBytes 0 gives the block back and returns nullptr. Throws
// std::bad_alloc when there is no memory; the block is then as it was.
void* ResizePageBlock(void* block, size_t bytes, size_t newBytes);

}  // namespace qj
