// Blocks that grow by moving their pages: the content must survive every
// growth and shrink, and a growth must never hold the old block and a copy
// of it at once, which the peak memory of a process shows.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/page_block.h"

namespace {

using qj::ResizePageBlock;

// A byte that depends on its position, so that moved or lost pages show.
uint8_t Pattern(size_t at) { return static_cast<uint8_t>(at * 2654435761u >> 24); }

void Fill(void* block, size_t from, size_t to) {
  uint8_t* bytes = static_cast<uint8_t*>(block);
  for (size_t at = from; at < to; ++at) bytes[at] = Pattern(at);
}

size_t FirstDifference(const void* block, size_t bytes) {
  const uint8_t* data = static_cast<const uint8_t*>(block);
  for (size_t at = 0; at < bytes; ++at) {
    if (data[at] != Pattern(at)) return at;
  }
  return bytes;
}

TEST(PageBlock, ContentSurvivesGrowingAndShrinking) {
  size_t bytes = 0;
  void* block = ResizePageBlock(nullptr, 0, 0);
  EXPECT_EQ(block, nullptr);
  // Within one 2 MB page, across pages, by doubling and by odd sizes.
  for (const size_t next : {size_t{100}, size_t{5000}, size_t{3} << 20, size_t{7} << 20, (size_t{13} << 20) + 17}) {
    block = ResizePageBlock(block, bytes, next);
    ASSERT_NE(block, nullptr);
    Fill(block, bytes, next);
    bytes = next;
    ASSERT_EQ(FirstDifference(block, bytes), bytes) << bytes;
  }
  block = ResizePageBlock(block, bytes, size_t{5} << 20);
  bytes = size_t{5} << 20;
  EXPECT_EQ(FirstDifference(block, bytes), bytes);
  EXPECT_EQ(ResizePageBlock(block, bytes, 0), nullptr);
}

#ifndef _WIN32
// VmHWM or VmRSS of this process in KB.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field) + 1));
  }
  return -1;
}

TEST(PageBlock, GrowingNeverHoldsTheOldBlockBesideTheNew) {
  constexpr size_t kBytes = size_t{48} << 20;
  void* block = ResizePageBlock(nullptr, 0, kBytes);
  Fill(block, 0, kBytes);
  {
    // Resets the peak to what is resident now (Linux 4.0 on).
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5" << std::flush;
    if (!clear) {
      ResizePageBlock(block, kBytes, 0);
      GTEST_SKIP() << "the peak memory of a process cannot be reset here";
    }
  }
  const long before = StatusKb("VmRSS:");
  block = ResizePageBlock(block, kBytes, 2 * kBytes);
  const long peak = StatusKb("VmHWM:");
  EXPECT_EQ(FirstDifference(block, kBytes), kBytes);
  ResizePageBlock(block, 2 * kBytes, 0);
  // A copy would add the 48 MB; moving pages adds nothing.
  EXPECT_LT(peak - before, 8 * 1024) << "KB more at the peak than before the growth";
}
#endif

}  // namespace
