#include "platform/page_block.h"

#include <cstdlib>
#include <new>

namespace qj {

// The C runtime's realloc grows a large block in place where it can.
void* ResizePageBlock(void* block, size_t, size_t newBytes) {
  if (newBytes == 0) {
    std::free(block);
    return nullptr;
  }
  void* grown = std::realloc(block, newBytes);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

}  // namespace qj
