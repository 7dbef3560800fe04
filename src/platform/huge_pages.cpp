#include "platform/huge_pages.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace qj {

void* AllocateHugePages(size_t bytes) {
  const size_t rounded = HugePagesRounded(bytes);
  void* block = std::aligned_alloc(kHugePage, rounded);
  if (block == nullptr) throw std::bad_alloc();
  ::madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}

// A mapping of its own, advised as a whole: advice on part of a mapping
// splits it in two, and the system then refuses to move it on growth
// (EFAULT), which made the C library's realloc copy the bytes and hold the
// old block and the new one at once.
void* ResizeHugePages(void* block, size_t bytes, size_t newBytes) {
  const size_t rounded = HugePagesRounded(bytes);
  const size_t newRounded = HugePagesRounded(newBytes);
  if (block == nullptr) {
    if (newRounded == 0) return nullptr;
    void* made = ::mmap(nullptr, newRounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (made == MAP_FAILED) throw std::bad_alloc();
    ::madvise(made, newRounded, MADV_HUGEPAGE);
    return made;
  }
  if (newRounded == 0) {
    ::munmap(block, rounded);
    return nullptr;
  }
  if (newRounded == rounded) return block;
  void* moved = ::mremap(block, rounded, newRounded, MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) throw std::bad_alloc();
  return moved;
}

}  // namespace qj
