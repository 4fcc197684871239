// Byte I/O helpers shared by the file reader and the socket line reader.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <expected>
#include <string>

namespace brelvo::bridge {

// Runs a read-like call until it is not interrupted by a signal: the byte
// count (0 at end of input) or the errno of the failure.
template <typename Call>
std::expected<std::size_t, int> retry_interrupted(Call call) {
  for (;;) {
    const ssize_t count = call();
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) return std::unexpected(errno);
  }
}

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

}  // namespace brelvo::bridge
