#include "platform/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/fd_io.h"
#include "support/fd_io.h"

namespace brelvo::platform {
namespace {

using Lines = std::vector<std::string>;
using test_support::make_pipe;
using test_support::memory_file;
constexpr std::size_t kBuffer = LineReader::kBufferSize;

struct Read {
  Lines lines;
  // The errno that ended reading, 0 at the end of the input.
  int error = 0;
};

Read read_all(int fd, LineEnding ending) {
  LineReader reader(fd, ending);
  Read read;
  for (;;) {
    auto line = reader.read_line();
    if (!line) {
      read.error = line.error();
      return read;
    }
    if (!*line) return read;
    read.lines.push_back(std::move(**line));
  }
}

// Lines of the given lengths (line ending included) ending in LF and, for
// every other line, CRLF; their bytes cycle so that a misplaced byte shows.
struct Stream {
  std::string input;
  Lines kept;
  Lines trimmed;
};
Stream lines_of_lengths(std::initializer_list<std::size_t> lengths) {
  Stream stream;
  for (std::size_t length : lengths) {
    const std::string ending = stream.kept.size() % 2 ? "\r\n" : "\n";
    std::string text(length - ending.size(), static_cast<char>('a' + length % 26));
    stream.input += text + ending;
    stream.kept.push_back(text + ending);
    stream.trimmed.push_back(std::move(text));
  }
  return stream;
}

struct Case {
  std::string name;
  LineEnding ending;
  std::string input;
  Lines expected;
};

std::vector<Case> cases() {
  std::vector<Case> table = {
      {"kept: bytes past a line wait for the next", LineEnding::kKept,
       "{\"a\":1}\n{\"b\":2}\r\n\nlast", Lines{"{\"a\":1}\n", "{\"b\":2}\r\n", "\n", "last"}},
      {"trimmed: LF and one CR before it go", LineEnding::kTrimmed, "a\nb\r\nc\r\r\n\n\r\na\rb\n",
       Lines{"a", "b", "c\r", "", "", "a\rb"}},
      {"trimmed: a last line without LF stays as it is", LineEnding::kTrimmed, "a\nlast\r",
       Lines{"a", "last\r"}},
      {"empty input", LineEnding::kTrimmed, "", Lines{}},
      {"one empty line", LineEnding::kTrimmed, "\n", Lines{""}},
  };
  // Around the buffer (the CR of a CRLF as its last byte), far beyond it,
  // and beyond the largest single read straight into a line.
  const Stream around = lines_of_lengths({kBuffer - 1, kBuffer + 1, kBuffer, kBuffer + 2, 100'000,
                                          std::size_t{3} << 20, std::size_t{50} << 20, 5});
  table.push_back({"kept: long lines", LineEnding::kKept, around.input, around.kept});
  table.push_back({"trimmed: long lines", LineEnding::kTrimmed, around.input, around.trimmed});
  Stream many;
  for (int i = 0; i < 20000; ++i) {
    const std::string text = "line " + std::to_string(i);
    many.input += text + (i % 2 ? "\r\n" : "\n");
    many.trimmed.push_back(text);
  }
  table.push_back(
      {"trimmed: short lines across reads", LineEnding::kTrimmed, many.input, many.trimmed});
  return table;
}

TEST(PlatformLineReader, GivesEachLineUnderItsEnding) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const Read read = read_all(memory_file(c.input).get(), c.ending);
    EXPECT_EQ(read.error, 0);
    ASSERT_EQ(read.lines.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_TRUE(read.lines[i] == c.expected[i]) << "line " << i;
    }
  }
}

TEST(PlatformLineReader, FailuresGiveTheErrorNumber) {
  std::array<int, 2> ends{};
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()), 0);
  const UniqueFd reading(ends[0]);
  const UniqueFd writing(ends[1]);
  const timeval limit{.tv_sec = 0, .tv_usec = 50'000};
  ASSERT_EQ(::setsockopt(reading.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit), 0);
  ASSERT_EQ(::send(writing.get(), "par", 3, 0), 3);
  // A receive time-out on a blocking socket is EAGAIN, never a wait.
  EXPECT_EQ(read_all(reading.get(), LineEnding::kKept).error, EAGAIN);

  const UniqueFd directory(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  EXPECT_EQ(read_all(directory.get(), LineEnding::kTrimmed).error, EISDIR);
  EXPECT_EQ(read_all(-1, LineEnding::kTrimmed).error, EBADF);
}

// At the deadline the line fails, and the reader tells whether any of its
// bytes had come.
TEST(PlatformLineReader, LineNotWholeByTheDeadlineTimesOut) {
  const auto soon = [] { return std::chrono::steady_clock::now() + std::chrono::milliseconds(20); };
  test_support::Pipe pipe = make_pipe();
  LineReader reader(pipe.read_end.get(), LineEnding::kKept);
  EXPECT_EQ(reader.read_line(soon()), std::unexpected(ETIMEDOUT));
  EXPECT_FALSE(reader.line_started());
  ASSERT_TRUE(write_all(pipe.write_end.get(), "par"));
  EXPECT_EQ(reader.read_line(soon()), std::unexpected(ETIMEDOUT));
  EXPECT_TRUE(reader.line_started());
}

void ignore_signal(int) {}

// A blocking read and the wait on a non-blocking pipe, both interrupted by
// signals before the line arrives.
TEST(PlatformLineReader, WaitsOutSignalsOnBlockingAndNonBlockingPipes) {
  struct sigaction action {};
  action.sa_handler = ignore_signal;  // no SA_RESTART: read() and poll() fail with EINTR
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
  for (const bool non_blocking : {false, true}) {
    SCOPED_TRACE(non_blocking ? "non-blocking" : "blocking");
    test_support::Pipe pipe = make_pipe();
    if (non_blocking) test_support::set_non_blocking(pipe.read_end.get());
    Read read;
    std::thread reader([&] { read = read_all(pipe.read_end.get(), LineEnding::kTrimmed); });
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ::pthread_kill(reader.native_handle(), SIGUSR1);
    }
    ASSERT_TRUE(write_all(pipe.write_end.get(), "late\r\n"));
    pipe.write_end.reset();
    reader.join();
    EXPECT_EQ(read.lines, Lines{"late"});
    EXPECT_EQ(read.error, 0);
  }
  ::sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace
}  // namespace brelvo::platform
