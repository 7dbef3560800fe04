#include "platform/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>
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

void AdviseHugePages(void* block, size_t bytes) {
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (start + kHugePage - 1) / kHugePage * kHugePage;
  const uintptr_t end = (start + bytes) / kHugePage * kHugePage;
  if (first < end) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace qj
