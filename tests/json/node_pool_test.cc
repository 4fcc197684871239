#include "json/internal/node_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Once a thread has given back every block it took, the next blocks are
// carved in order from its first chunk again, whatever order they were given
// back in: a tree built then lies in order however earlier trees were freed.
// Before the thread test below: a second thread keeps the lists for good.
TEST(NodePool, AllBlocksGivenBackCarvesInOrderAgain) {
  std::mt19937 random(11);
  std::uniform_int_distribution<std::size_t> size_of(1, kLargestPooled / 2);
  const auto take = [&](std::vector<Block>& blocks) {
    // Fewer bytes than a chunk holds: the blocks fit in the first.
    for (int i = 0; i < 100; ++i) {
      const std::size_t size = size_of(random);
      blocks.push_back({static_cast<unsigned char*>(pool_allocate(size)), size, 0});
    }
  };
  std::vector<Block> blocks;
  take(blocks);
  std::shuffle(blocks.begin(), blocks.end(), random);
  for (const Block& block : blocks) pool_deallocate(block.bytes, block.size);
  blocks.clear();
  take(blocks);
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    const std::size_t carved = size_class_of(blocks[i - 1].size) * kGranule;
    EXPECT_EQ(blocks[i].bytes, blocks[i - 1].bytes + carved) << "block " << i;
  }
  for (const Block& block : blocks) pool_deallocate(block.bytes, block.size);
}

// A thread that ends leaves its free blocks to the others; a fresh thread
// that finds its own lists empty takes them up.
TEST(NodePool, BlocksOfAnEndedThreadAreTakenUpByAnother) {
  constexpr std::size_t kSize = kLargestPooled - kGranule;
  void* left_behind = nullptr;
  void* still_taken = nullptr;
  std::thread([&] {
    // One block stays taken: a thread that gave back every block would
    // carve its chunk from the start again.
    still_taken = pool_allocate(kSize);
    left_behind = pool_allocate(kSize);
    pool_deallocate(left_behind, kSize);
  }).join();
  void* taken_up = nullptr;
  std::thread([&] {
    taken_up = pool_allocate(kSize);
    pool_deallocate(taken_up, kSize);
    pool_deallocate(still_taken, kSize);
  }).join();
  EXPECT_EQ(taken_up, left_behind);
}

}  // namespace
}  // namespace brelvo::json::internal
