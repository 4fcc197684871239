#include "json/internal/node_pool.h"

#include <atomic>
#include <mutex>

namespace brelvo::json::internal {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

}  // namespace

// Every chunk stays linked from all_chunks, so that the memory of ended
// threads is still reachable rather than leaked; next_own links a thread's
// own chunks in the order it carved them.
struct Chunk {
  Chunk* previous;
  Chunk* next_own;
  alignas(kGranule) char bytes[kChunkBytes];
};

namespace {

std::atomic<Chunk*> all_chunks{nullptr};

// Threads that ever took a block, and whether a thread ever gave back a
// block another one took: either way past one thread, the lists stay.
std::atomic<int> threads_taking{0};
std::atomic<bool> given_back_across_threads{false};

// Blocks left by threads that ended, taken up again by the others.
std::mutex orphans_mutex;
FreeBlock* orphans[kClassCount];

// The uncarved rest of a chunk, as blocks of the largest class and one last
// block of what remains.
void free_region(FreeBlock* (&lists)[kClassCount], char* from, char* end) {
  for (; static_cast<std::size_t>(end - from) >= kLargestPooled; from += kLargestPooled) {
    push_block(lists[kClassCount - 1], from);
  }
  if (const auto rest = static_cast<std::size_t>(end - from); rest >= kGranule) {
    push_block(lists[rest / kGranule], from);
  }
}

void append(FreeBlock*& onto, FreeBlock* list) {
  if (list == nullptr) return;
  FreeBlock* last = list;
  while (last->next != nullptr) last = last->next;
  last->next = onto;
  onto = list;
}

// Hands the thread's free blocks to the orphans when the thread ends.
struct GiveBackAtExit {
  GiveBackAtExit() = default;
  GiveBackAtExit(const GiveBackAtExit&) = delete;
  GiveBackAtExit& operator=(const GiveBackAtExit&) = delete;
  ~GiveBackAtExit() {
    PoolCache& cache = pool_cache;
    free_region(cache.free, cache.carve_from, cache.carve_end);
    cache.carve_from = cache.carve_end = nullptr;
    // Chunks past the one being carved are wholly free since the last start
    // again.
    for (Chunk* rest = cache.carving != nullptr ? cache.carving->next_own : nullptr;
         rest != nullptr; rest = rest->next_own) {
      free_region(cache.free, rest->bytes, rest->bytes + kChunkBytes);
    }
    const std::scoped_lock lock(orphans_mutex);
    for (std::size_t size_class = 1; size_class < kClassCount; ++size_class) {
      append(orphans[size_class], cache.free[size_class]);
      cache.free[size_class] = nullptr;
    }
  }
};
thread_local GiveBackAtExit give_back_at_exit;

FreeBlock* adopt_orphans(std::size_t size_class) {
  const std::scoped_lock lock(orphans_mutex);
  FreeBlock* list = orphans[size_class];
  orphans[size_class] = nullptr;
  return list;
}

Chunk* new_chunk() {
  auto* chunk = new Chunk;
  chunk->next_own = nullptr;
  chunk->previous = all_chunks.load(std::memory_order_relaxed);
  while (!all_chunks.compare_exchange_weak(chunk->previous, chunk, std::memory_order_release,
                                           std::memory_order_relaxed)) {
  }
  return chunk;
}

// The thread's next chunk to carve: one it carved before the last reset, or
// a new one.
Chunk* next_chunk(PoolCache& cache) {
  if (cache.carving == nullptr) {
    // A thread's first chunk: from here on it is one of the threads taking.
    threads_taking.fetch_add(1);
    cache.first_chunk = cache.carving = new_chunk();
  } else if (cache.carving->next_own != nullptr) {
    cache.carving = cache.carving->next_own;
  } else {
    cache.carving = cache.carving->next_own = new_chunk();
  }
  return cache.carving;
}

void carve(PoolCache& cache, Chunk* chunk) {
  cache.carve_from = chunk->bytes;
  cache.carve_end = chunk->bytes + kChunkBytes;
}

}  // namespace

constinit thread_local PoolCache pool_cache{};

void* allocate_slowly(std::size_t size_class) {
  // The first use of the hook in a thread arms it.
  static_cast<void>(&give_back_at_exit);
  PoolCache& cache = pool_cache;
  if (FreeBlock* adopted = adopt_orphans(size_class)) {
    cache.free[size_class] = adopted->next;
    return adopted;
  }
  free_region(cache.free, cache.carve_from, cache.carve_end);
  carve(cache, next_chunk(cache));
  void* block = cache.carve_from;
  cache.carve_from += size_class * kGranule;
  return block;
}

void after_last_give_back() {
  PoolCache& cache = pool_cache;
  if (cache.taken < 0) {
    given_back_across_threads.store(true);
    return;
  }
  if (cache.first_chunk == nullptr || threads_taking.load() > 1 ||
      given_back_across_threads.load()) {
    return;
  }
  // Every block this thread carved is free, and no other thread holds one.
  for (FreeBlock*& list : cache.free) list = nullptr;
  cache.carving = cache.first_chunk;
  carve(cache, cache.carving);
}

}  // namespace brelvo::json::internal
