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

}  // namespace qj
