// Storage for the blocks of JSON trees: arrays' elements, objects' members
// and the bytes of string values. A parsed document is thousands of small blocks made together and
// freed together, and malloc's general bookkeeping took a fifth of a parse.
// Blocks up to kLargestPooled bytes are kept instead on free lists, one per
// 16-byte size class and thread, and carved from chunks that are never given
// back: the blocks one tree frees serve the next. A thread's lists outlive it
// (see node_pool.cc).
//
// Blocks taken from free lists lie where earlier trees left them, so a tree
// built from them is spread over memory, and walking it (printing) waited on
// memory up to half again as long as walking a tree carved in order. So when
// a thread has given back every block it took, and no other thread has ever
// used the pool, its lists are dropped and carving starts again at its first
// chunk: the next tree lies in order. A process with one thread, the program,
// always comes back to that; with several, the pool stays as it was.
//
//   PoolAllocator<T> is what JsonArray, JsonObject and JsonString use;
//   pool_allocate(40) and pool_deallocate(p, 40) pair up by size, as
//   std::allocator's calls do.
//
// Built with BRELVO_JSON_POOL off (the sanitizer, fuzz and memcheck builds),
// PoolAllocator gives every block to operator new instead, so that the
// checkers see each one on its own. The pool itself is built either way.
#pragma once

#include <cstddef>
#include <memory>

namespace brelvo::json::internal {

// Set for every user of the library by src/json/CMakeLists.txt.
inline constexpr bool kPoolTreeBlocks = BRELVO_JSON_POOL;

inline constexpr std::size_t kGranule = 16;
inline constexpr std::size_t kLargestPooled = 1024;
inline constexpr std::size_t kClassCount = kLargestPooled / kGranule + 1;

struct FreeBlock {
  FreeBlock* next;
};

struct Chunk;

// Trivial, so that a thread reaches its own without an initialisation check.
struct PoolCache {
  FreeBlock* free[kClassCount];
  char* carve_from;
  char* carve_end;
  // Blocks taken less blocks given back on this thread; below zero once it
  // gave back blocks of another thread.
  std::ptrdiff_t taken;
  // The chunks this thread carved, in order, and the one it carves now.
  Chunk* first_chunk;
  Chunk* carving;
};
extern constinit thread_local PoolCache pool_cache;

void* allocate_slowly(std::size_t size_class);
// After a give-back that left the thread with no block taken, or fewer.
void after_last_give_back();

constexpr std::size_t size_class_of(std::size_t bytes) {
  return (bytes + kGranule - 1) / kGranule;
}

// For 1 to kLargestPooled bytes.
inline void* pool_allocate(std::size_t bytes) {
  const std::size_t size_class = size_class_of(bytes);
  PoolCache& cache = pool_cache;
  ++cache.taken;
  if (FreeBlock* block = cache.free[size_class]) {
    cache.free[size_class] = block->next;
    return block;
  }
  const std::size_t block_bytes = size_class * kGranule;
  if (static_cast<std::size_t>(cache.carve_end - cache.carve_from) < block_bytes) {
    return allocate_slowly(size_class);
  }
  void* block = cache.carve_from;
  cache.carve_from += block_bytes;
  return block;
}

inline void push_block(FreeBlock*& head, void* pointer) {
  auto* block = static_cast<FreeBlock*>(pointer);
  block->next = head;
  head = block;
}

inline void pool_deallocate(void* pointer, std::size_t bytes) {
  PoolCache& cache = pool_cache;
  push_block(cache.free[size_class_of(bytes)], pointer);
  if (--cache.taken <= 0) after_last_give_back();
}

// A standard allocator over the pool; all instances are interchangeable.
template <typename T>
struct PoolAllocator {
  using value_type = T;

  PoolAllocator() = default;
  template <typename U>
  PoolAllocator(const PoolAllocator<U>&) {}

  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= kGranule);
    if (!pooled(n)) return std::allocator<T>().allocate(n);
    return static_cast<T*>(pool_allocate(n * sizeof(T)));
  }
  void deallocate(T* pointer, std::size_t n) {
    if (!pooled(n)) {
      std::allocator<T>().deallocate(pointer, n);
      return;
    }
    pool_deallocate(pointer, n * sizeof(T));
  }

  friend bool operator==(const PoolAllocator&, const PoolAllocator&) { return true; }

 private:
  static bool pooled(std::size_t n) {
    return kPoolTreeBlocks && n != 0 && n <= kLargestPooled / sizeof(T);
  }
};

}  // namespace brelvo::json::internal
