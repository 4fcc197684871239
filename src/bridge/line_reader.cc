#include "bridge/line_reader.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include "bridge/byte_io.h"

namespace brelvo::bridge {

namespace {

// Largest single receive straight into a line.
constexpr std::size_t kMaxDirectReceive = std::size_t{4} << 20;

std::expected<std::size_t, int> receive(int fd, char* into, std::size_t size) {
  return retry_interrupted([&] { return ::recv(fd, into, size, 0); });
}

}  // namespace

std::expected<std::string, int> LineReader::read_line() {
  std::string line;
  while (!take_buffered(line)) {
    if (line.size() < kBufferSize) {
      const auto count = refill();
      if (!count) return std::unexpected(count.error());
      if (*count == 0) return line;
      continue;
    }
    const auto done = receive_into(line);
    if (!done) return std::unexpected(done.error());
    if (*done) return line;
  }
  return line;
}

bool LineReader::take_buffered(std::string& line) {
  if (begin_ == end_) return false;
  const char* start = buffer_.data() + begin_;
  const std::size_t available = end_ - begin_;
  const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
  const std::size_t taken = feed ? static_cast<std::size_t>(feed - start) + 1 : available;
  line.append(start, taken);
  begin_ += taken;
  return feed != nullptr;
}

std::expected<std::size_t, int> LineReader::refill() {
  begin_ = 0;
  end_ = 0;
  const auto count = receive(fd_, buffer_.data(), buffer_.size());
  if (count) end_ = *count;
  return count;
}

std::expected<bool, int> LineReader::receive_into(std::string& line) {
  const std::size_t searched = line.size();
  const std::size_t room = std::clamp(searched, kBufferSize, kMaxDirectReceive);
  const auto count = append_from(
      line, room, [&](char* into, std::size_t size) { return receive(fd_, into, size); });
  if (!count) return std::unexpected(count.error());
  if (*count == 0) return true;
  const auto* feed = static_cast<const char*>(std::memchr(line.data() + searched, '\n', *count));
  if (feed == nullptr) return false;
  keep_surplus(line, static_cast<std::size_t>(feed - line.data()) + 1);
  return true;
}

void LineReader::keep_surplus(std::string& line, std::size_t line_end) {
  const std::size_t surplus = line.size() - line_end;
  if (surplus > buffer_.size()) buffer_.resize(surplus);
  std::memcpy(buffer_.data(), line.data() + line_end, surplus);
  begin_ = 0;
  end_ = surplus;
  line.resize(line_end);
}

}  // namespace brelvo::bridge
