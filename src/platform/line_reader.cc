#include "platform/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/byte_io.h"
#include "platform/fd_io.h"

namespace brelvo::platform {

namespace {

// Largest single read straight into a line.
constexpr std::size_t kMaxDirectRead = std::size_t{4} << 20;

}  // namespace

std::expected<std::optional<std::string>, int> LineReader::read_line(const Deadline& deadline) {
  line_started_ = begin_ != end_;
  try {
    return next_line(deadline);
  } catch (const std::bad_alloc&) {
    // A line too long to be held in memory is a failed read like any other.
    return std::unexpected(ENOMEM);
  }
}

std::expected<std::optional<std::string>, int> LineReader::next_line(const Deadline& deadline) {
  std::string line;
  while (!take_buffered(line)) {
    if (at_end_) return end_of_input(line);
    if (line.size() < buffer_size_) {
      const auto count = refill(deadline);
      if (!count) return std::unexpected(count.error());
      at_end_ = *count == 0;
      continue;
    }
    const auto done = read_into(line, deadline);
    if (!done) return std::unexpected(done.error());
    if (*done) return at_end_ ? end_of_input(line) : finish(line);
  }
  return finish(line);
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

std::expected<std::size_t, int> LineReader::refill(const Deadline& deadline) {
  // A surplus once larger than the buffer is not kept for the whole session.
  if (buffer_.size() > buffer_size_) {
    buffer_.resize(buffer_size_);
    buffer_.shrink_to_fit();
  }
  begin_ = 0;
  end_ = 0;
  const auto count = read_some(fd_, buffer_.data(), buffer_.size(), deadline);
  if (!count) return count;
  end_ = *count;
  line_started_ = line_started_ || end_ > 0;
  return count;
}

std::expected<bool, int> LineReader::read_into(std::string& line, const Deadline& deadline) {
  const std::size_t searched = line.size();
  const std::size_t room = std::clamp(searched, buffer_size_, kMaxDirectRead);
  const auto count = append_from(line, room, [&](char* into, std::size_t size) {
    return read_some(fd_, into, size, deadline);
  });
  if (!count) return std::unexpected(count.error());
  if (*count == 0) {
    at_end_ = true;
    return true;
  }
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

std::optional<std::string> LineReader::end_of_input(std::string& line) {
  if (line.empty()) return std::nullopt;
  return std::move(line);
}

std::string LineReader::finish(std::string& line) const {
  if (ending_ == LineEnding::kTrimmed) {
    line.pop_back();
    if (line.ends_with('\r')) line.pop_back();
  }
  return std::move(line);
}

}  // namespace brelvo::platform
