#include "json/internal/node_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

// The pool's own calls, made directly. The pool is built whether
// BRELVO_JSON_POOL is on or off (off, only JSON trees stop using it), so these
// hold, and are checked, in every build.
namespace brelvo::json::internal {
namespace {

struct Block {
  unsigned char* bytes;
  std::size_t size;
  unsigned char fill;
};

bool holds_its_fill(const Block& block) {
  for (std::size_t i = 0; i < block.size; ++i) {
    if (block.bytes[i] != block.fill) return false;
  }
  return true;
}

// Blocks of every size, over many chunks, freed and taken again in random
// order: no two live blocks may share a byte.
TEST(NodePool, LiveBlocksNeverOverlap) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> size_of(1, kLargestPooled);
  std::vector<Block> live;
  for (int step = 0; step < 40'000; ++step) {
    if (!live.empty() && random() % 3 == 0) {
      const std::size_t victim = random() % live.size();
      ASSERT_TRUE(holds_its_fill(live[victim])) << "step " << step;
      pool_deallocate(live[victim].bytes, live[victim].size);
      live[victim] = live.back();
      live.pop_back();
      continue;
    }
    const std::size_t size = size_of(random);
    auto* bytes = static_cast<unsigned char*>(pool_allocate(size));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % kGranule, 0u);
    const auto fill = static_cast<unsigned char>(step);
    std::memset(bytes, fill, size);
    live.push_back({bytes, size, fill});
  }
  for (const Block& block : live) {
    EXPECT_TRUE(holds_its_fill(block));
    pool_deallocate(block.bytes, block.size);
  }
}

TEST(NodePool, AFreedBlockServesTheNextOfItsSizeClass) {
  void* first = pool_allocate(40);
  pool_deallocate(first, 40);
  void* second = pool_allocate(33);
  EXPECT_EQ(second, first);
  pool_deallocate(second, 33);
}

// A thread that ends leaves its free blocks to the others; a fresh thread
// that finds its own lists empty takes them up.
TEST(NodePool, BlocksOfAnEndedThreadAreTakenUpByAnother) {
  constexpr std::size_t kSize = kLargestPooled - kGranule;
  void* left_behind = nullptr;
  std::thread([&] {
    left_behind = pool_allocate(kSize);
    pool_deallocate(left_behind, kSize);
  }).join();
  void* taken_up = nullptr;
  std::thread([&] {
    taken_up = pool_allocate(kSize);
    pool_deallocate(taken_up, kSize);
  }).join();
  EXPECT_EQ(taken_up, left_behind);
}

}  // namespace
}  // namespace brelvo::json::internal
