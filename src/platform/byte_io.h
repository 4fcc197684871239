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
// faulted in, by the copy. Past 1 MiB a string grows by 256 MiB at once, so
// that a line of 64 MiB is copied once, at 1 MiB, where doubling copied and
// faulted in 64 MiB on the way; capacity not yet written is address space
// only. Below, and when so much cannot be had, it doubles.
inline void make_room(std::string& out, std::size_t needed) {
  constexpr std::size_t kLarge = std::size_t{1} << 20;
  constexpr std::size_t kLargeStep = std::size_t{256} << 20;
  const std::size_t capacity = out.capacity();
  if (needed <= capacity) return;
  const std::size_t doubled = std::max(needed, capacity * 2);
  if (needed <= kLarge) {
    out.reserve(doubled);
    return;
  }
  try {
    out.reserve(std::max(needed, capacity + kLargeStep));
  } catch (const std::bad_alloc&) {
    out.reserve(doubled);
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
