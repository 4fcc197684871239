// LineReader: reads lines from a stream socket through an 8192-byte buffer.
// Bytes received past the end of one line stay buffered for the next, so an
// answer that arrives together with the following one is not lost.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <vector>

namespace brelvo::bridge {

class LineReader {
 public:
  static constexpr std::size_t kBufferSize = 8192;

  // Reads from fd, which the caller keeps open while the reader is used.
  explicit LineReader(int fd) : fd_(fd), buffer_(kBufferSize) {}

  // The next line with its line feed, or what came before the peer closed
  // (empty when nothing did). The error is the errno of the failed receive;
  // a receive time-out gives EAGAIN. Lines have no length limit.
  std::expected<std::string, int> read_line();

 private:
  // Moves buffered bytes into line up to and including a line feed; true
  // when the line is complete.
  bool take_buffered(std::string& line);
  // Receives into the empty buffer; 0 when the peer has closed.
  std::expected<std::size_t, int> refill();
  // Receives straight into a long line, skipping the copy through the
  // buffer; true when the line is complete or the peer has closed.
  std::expected<bool, int> receive_into(std::string& line);
  void keep_surplus(std::string& line, std::size_t line_end);

  int fd_;
  // Holds kBufferSize bytes, or more when a long line was followed by a surplus.
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace brelvo::bridge
