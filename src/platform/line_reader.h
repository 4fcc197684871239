// LineReader: the lines of a descriptor, read through a buffer (64 KiB).
// Bytes read past the end of one line stay buffered for the next, so an
// answer that arrives together with the following one is not lost; a line
// longer than the buffer is read straight into the line, so a line of any
// length costs time linear in its size.
//
//   LineReader answers(socket, LineEnding::kKept);    // "{...}\n" -> "{...}\n"
//   LineReader input(0, LineEnding::kTrimmed);        // "a\r\n"   -> "a"
//   while (auto line = input.read_line(); line && *line) handle(**line);
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace brelvo::platform {

// What a complete line keeps of its ending.
enum class LineEnding : std::uint8_t {
  // The line feed stays at the end of the line.
  kKept,
  // The line feed goes, and with it one carriage return right before it.
  kTrimmed,
};

class LineReader {
 public:
  static constexpr std::size_t kBufferSize = 65536;

  // Reads from fd, which the caller keeps open while the reader is used. A
  // smaller buffer serves only to try the paths of long lines on short ones.
  LineReader(int fd, LineEnding ending, std::size_t buffer_size = kBufferSize)
      : fd_(fd), ending_(ending), buffer_size_(buffer_size), buffer_(buffer_size) {}

  // The next line; at the end of the input, the bytes after the last line
  // feed as they are, and then nothing. The error is the errno of the failed
  // read (a receive time-out gives EAGAIN), ETIMEDOUT when the whole line has
  // not arrived by the deadline, or ENOMEM when it cannot be held in memory;
  // the bytes of a line it cut short are dropped. Lines have no length limit.
  std::expected<std::optional<std::string>, int> read_line(const Deadline& deadline = std::nullopt);

  // Whether the last read_line had any byte of its line, also when it failed.
  bool line_started() const { return line_started_; }

 private:
  std::expected<std::optional<std::string>, int> next_line(const Deadline& deadline);
  // Moves buffered bytes into line up to and including a line feed; true
  // when the line is complete.
  bool take_buffered(std::string& line);
  // Reads into the empty buffer; 0 at the end of the input.
  std::expected<std::size_t, int> refill(const Deadline& deadline);
  // Reads straight into a long line, skipping the copy through the buffer;
  // true when the line is complete or the input has ended.
  std::expected<bool, int> read_into(std::string& line, const Deadline& deadline);
  void keep_surplus(std::string& line, std::size_t line_end);
  // The last line, or nothing when no bytes were left.
  std::optional<std::string> end_of_input(std::string& line);
  std::string finish(std::string& line) const;

  int fd_;
  LineEnding ending_;
  std::size_t buffer_size_;
  // Holds buffer_size_ bytes, or more when a long line was followed by a surplus.
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  bool line_started_ = false;
};

}  // namespace brelvo::platform
