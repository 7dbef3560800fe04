#include "platform/huge_pages.h"

#include <cstdlib>
#include <new>

namespace qj {

// Large pages need a user right that batch accounts rarely hold, and the
// buffer must go back through std::free, so this is plain memory.
void* AllocateHugePages(size_t bytes) {
  void* block = std::malloc(HugePagesRounded(bytes));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* ResizeHugePages(void* block, size_t, size_t newBytes) {
  if (newBytes == 0) {
    std::free(block);
    return nullptr;
  }
  void* grown = std::realloc(block, newBytes);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

}  // namespace qj
