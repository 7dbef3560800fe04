#include "platform/huge_pages.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace qj {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

size_t HugePagesRounded(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

void* AllocateHugePages(size_t bytes) {
  const size_t rounded = HugePagesRounded(bytes);
  void* block = std::aligned_alloc(kHugePage, rounded);
  if (block == nullptr) throw std::bad_alloc();
  ::madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}

}  // namespace qj
