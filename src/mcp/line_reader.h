// LineReader: the lines of a file descriptor, read through its own buffer so
// that a line of any length costs time linear in its size.
//
//   LineReader reader(0);
//   while (auto line = reader.next_line()) handle(*line);   // "a\r\n" -> "a"
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>

namespace brelvo::mcp {

enum class ReadEnd : std::uint8_t {
  // No more bytes; a closed or invalid descriptor counts as this too.
  kEndOfInput,
  kReadFailed,
};

class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // The next line without its line feed and the one carriage return before
  // it. A last line without a line feed is returned as it is. Bytes of a
  // line cut short by a read failure are dropped.
  std::expected<std::string, ReadEnd> next_line();

 private:
  std::string take_line(std::size_t line_end, std::size_t next_begin);
  // Appends one read's worth of bytes; false once the input has ended.
  std::expected<bool, ReadEnd> fill();

  int fd_;
  std::string buffer_;
  // Start of the bytes not yet handed out.
  std::size_t begin_ = 0;
  // Bytes before this offset are known to hold no line feed.
  std::size_t scanned_ = 0;
  bool at_end_ = false;
};

}  // namespace brelvo::mcp
