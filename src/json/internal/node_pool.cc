#include "json/internal/node_pool.h"

#include <atomic>
#include <mutex>

namespace brelvo::json::internal {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// Every chunk stays linked from here, so that the memory of ended threads is
// still reachable rather than leaked.
struct Chunk {
  Chunk* previous;
  alignas(kGranule) char bytes[kChunkBytes];
};
std::atomic<Chunk*> all_chunks{nullptr};

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

char* new_chunk() {
  auto* chunk = new Chunk;
  chunk->previous = all_chunks.load(std::memory_order_relaxed);
  while (!all_chunks.compare_exchange_weak(chunk->previous, chunk, std::memory_order_release,
                                           std::memory_order_relaxed)) {
  }
  return chunk->bytes;
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
  char* bytes = new_chunk();
  const std::size_t block_bytes = size_class * kGranule;
  cache.carve_from = bytes + block_bytes;
  cache.carve_end = bytes + kChunkBytes;
  return bytes;
}

}  // namespace brelvo::json::internal
