// Appending a read straight into a string, shared by the file reader and the
// line reader; internal to the platform library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <expected>
#include <new>
#include <string>

namespace brelvo::platform {

// Capacity in out for at least needed bytes. Each growth copies what out
// holds into new memory, whose pages are all touched, and on a first touch
// faulted in, by the copy: growing sixteenfold, by at most 256 MiB a step,
// copies about 17 MiB on the way to a line of 64 MiB where doubling copied
// 64. Capacity not yet written is address space only. When so much cannot be
// had, doubling.
inline void make_room(std::string& out, std::size_t needed) {
  constexpr std::size_t kLargestStep = std::size_t{256} << 20;
  const std::size_t capacity = out.capacity();
  if (needed <= capacity) return;
  try {
    out.reserve(std::max(needed, capacity + std::min(capacity * 15, kLargestStep)));
  } catch (const std::bad_alloc&) {
    out.reserve(std::max(needed, capacity * 2));
  }
}

// Appends what fill(char* into, std::size_t room) produces, at most room
// bytes, straight into out without zero-filling the room first; gives fill's
// outcome. Growth of out stays geometric, so appending in a loop is linear.
template <typename Fill>
std::expected<std::size_t, int> append_from(std::string& out, std::size_t room, Fill fill) {
  const std::size_t old_size = out.size();
  make_room(out, old_size + room);
  std::expected<std::size_t, int> outcome = 0;
  out.resize_and_overwrite(old_size + room, [&](char* data, std::size_t) {
    outcome = fill(data + old_size, room);
    return old_size + outcome.value_or(0);
  });
  return outcome;
}

}  // namespace brelvo::platform
