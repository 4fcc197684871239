#include "mcp/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace brelvo::mcp {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kKeptCapacity = 16 * kReadChunk;

// A descriptor opened non-blocking by whoever started us must not end the
// session just because no input has arrived yet.
void wait_readable(int fd) {
  pollfd entry{.fd = fd, .events = POLLIN, .revents = 0};
  while (poll(&entry, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::expected<std::string, ReadEnd> LineReader::next_line() {
  while (true) {
    std::size_t line_feed = buffer_.find('\n', scanned_);
    if (line_feed != std::string::npos) {
      bool has_carriage_return = line_feed > begin_ && buffer_[line_feed - 1] == '\r';
      return take_line(has_carriage_return ? line_feed - 1 : line_feed, line_feed + 1);
    }
    scanned_ = buffer_.size();
    if (at_end_) {
      if (begin_ == buffer_.size()) return std::unexpected(ReadEnd::kEndOfInput);
      return take_line(buffer_.size(), buffer_.size());
    }
    auto filled = fill();
    if (!filled) return std::unexpected(filled.error());
    at_end_ = !*filled;
  }
}

std::string LineReader::take_line(std::size_t line_end, std::size_t next_begin) {
  std::string line(buffer_, begin_, line_end - begin_);
  begin_ = next_begin;
  scanned_ = next_begin;
  return line;
}

std::expected<bool, ReadEnd> LineReader::fill() {
  // Drop the handed-out bytes first, so the buffer only ever holds one
  // partial line and the chunk being read.
  buffer_.erase(0, begin_);
  scanned_ -= begin_;
  begin_ = 0;
  // One huge line should not pin its memory for the rest of the session.
  if (buffer_.capacity() > kKeptCapacity && buffer_.size() < kReadChunk) buffer_.shrink_to_fit();

  std::size_t old_size = buffer_.size();
  buffer_.resize(old_size + kReadChunk);
  while (true) {
    ssize_t count = read(fd_, buffer_.data() + old_size, kReadChunk);
    if (count >= 0) {
      buffer_.resize(old_size + static_cast<std::size_t>(count));
      return count > 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      wait_readable(fd_);
      continue;
    }
    buffer_.resize(old_size);
    if (errno == EBADF) return false;
    return std::unexpected(ReadEnd::kReadFailed);
  }
}

}  // namespace brelvo::mcp
