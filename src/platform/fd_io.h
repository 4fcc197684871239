// Reading from and writing to a descriptor, whatever it is: a file, a pipe
// (blocking or not), a terminal or a socket. Every writer of the program
// writes through write_all or send_all, so that no byte is ever lost to a
// full pipe or an interrupted call.
//
//   write_all(1, "{\n  \"ok\": true\n}\n")      -> {} or the errno (EPIPE, ENOSPC, ...)
//   send_all(socket, "{\"id\":1,...}\n")       -> the same, without SIGPIPE
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "platform/clock.h"

namespace brelvo::platform {

// At most `size` bytes: their count (0 at end of input) or the errno.
// Interrupted reads are retried. A non-blocking descriptor is waited on until
// bytes arrive; on a blocking one, EAGAIN is its receive time-out and is
// given back. With a deadline no wait outlasts it: ETIMEDOUT then.
std::expected<std::size_t, int> read_some(int fd, char* into, std::size_t size,
                                          const Deadline& deadline = std::nullopt);

// Writes every byte: interrupted and partial writes are continued, and a
// non-blocking descriptor that is full is waited on with poll. The errno of
// the first write that failed otherwise.
std::expected<void, int> write_all(int fd, std::string_view bytes);

// write_all for a socket, sending with MSG_NOSIGNAL: a peer that has gone
// gives EPIPE instead of the signal.
std::expected<void, int> send_all(int socket, std::string_view bytes);

}  // namespace brelvo::platform
