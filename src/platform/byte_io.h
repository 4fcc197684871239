// Appending a read straight into a string, shared by the file reader and the
// line reader; internal to the platform library.
#pragma once

#include <cstddef>
#include <expected>
#include <string>

namespace brelvo::platform {

// Appends what fill(char* into, std::size_t room) produces, at most room
// bytes, straight into out without zero-filling the room first; gives fill's
// outcome. Growth of out stays geometric, so appending in a loop is linear.
template <typename Fill>
std::expected<std::size_t, int> append_from(std::string& out, std::size_t room, Fill fill) {
  const std::size_t old_size = out.size();
  std::expected<std::size_t, int> outcome = 0;
  out.resize_and_overwrite(old_size + room, [&](char* data, std::size_t) {
    outcome = fill(data + old_size, room);
    return old_size + outcome.value_or(0);
  });
  return outcome;
}

}  // namespace brelvo::platform
