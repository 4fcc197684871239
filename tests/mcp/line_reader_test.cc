#include "mcp/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "fd_io.h"
#include "mcp/fd_writer.h"

namespace brelvo::mcp {
namespace {

using testing::make_pipe;
using testing::memory_file;
using testing::UniqueFd;

// Every line of the input, and how the input ended.
std::pair<std::vector<std::string>, ReadEnd> read_all_lines(int fd) {
  LineReader reader(fd);
  std::vector<std::string> lines;
  while (true) {
    auto line = reader.next_line();
    if (!line) return {lines, line.error()};
    lines.push_back(std::move(*line));
  }
}

std::vector<std::string> lines_of(std::string_view input) {
  UniqueFd fd = memory_file(input);
  auto [lines, end] = read_all_lines(fd.get());
  EXPECT_EQ(end, ReadEnd::kEndOfInput);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(McpLineReader, SplitsOnLineFeedAndDropsOneCarriageReturnBeforeIt) {
  EXPECT_EQ(lines_of("a\nb\r\nc\r\r\n\n\r\n"), (Lines{"a", "b", "c\r", "", ""}));
  EXPECT_EQ(lines_of("a\rb\n"), (Lines{"a\rb"}));
}

TEST(McpLineReader, KeepsALastLineWithoutLineFeedAsItIs) {
  EXPECT_EQ(lines_of("a\nlast"), (Lines{"a", "last"}));
  EXPECT_EQ(lines_of("a\nlast\r"), (Lines{"a", "last\r"}));
  EXPECT_EQ(lines_of(""), Lines{});
  EXPECT_EQ(lines_of("\n"), (Lines{""}));
}

TEST(McpLineReader, ReadsAFiftyMegabyteLineWhole) {
  constexpr std::size_t kSize = 50 * 1024 * 1024;
  std::string input(kSize, 'x');
  input.front() = 'a';
  input.back() = 'z';
  input += "\r\nshort";
  UniqueFd fd = memory_file(input);
  LineReader reader(fd.get());
  auto big = reader.next_line();
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->size(), kSize);
  EXPECT_TRUE(std::string_view(input).starts_with(*big));
  EXPECT_EQ(reader.next_line(), "short");
  EXPECT_EQ(reader.next_line(), std::unexpected(ReadEnd::kEndOfInput));
}

TEST(McpLineReader, ManyShortLinesSpanningReadChunks) {
  std::string input;
  Lines expected;
  for (int i = 0; i < 20000; ++i) {
    expected.push_back("line " + std::to_string(i));
    input += expected.back() + (i % 2 ? "\r\n" : "\n");
  }
  EXPECT_EQ(lines_of(input), expected);
}

TEST(McpLineReader, ClosedOrInvalidDescriptorIsEndOfInput) {
  EXPECT_EQ(read_all_lines(-1).second, ReadEnd::kEndOfInput);
  int closed = dup(0);
  ASSERT_GE(closed, 0);
  close(closed);
  EXPECT_EQ(read_all_lines(closed).second, ReadEnd::kEndOfInput);
}

TEST(McpLineReader, OtherReadErrorsEndReadingAsFailure) {
  UniqueFd directory(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_GE(directory.get(), 0);
  auto [lines, end] = read_all_lines(directory.get());
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(end, ReadEnd::kReadFailed);
}

void ignore_signal(int) {}

TEST(McpLineReader, RetriesReadsInterruptedBySignals) {
  struct sigaction action {};
  action.sa_handler = ignore_signal;  // no SA_RESTART: read() fails with EINTR
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  testing::Pipe pipe = make_pipe();
  std::pair<Lines, ReadEnd> result;
  std::thread reader([&] { result = read_all_lines(pipe.read_end.get()); });
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pthread_kill(reader.native_handle(), SIGUSR1);
  }
  write_all(pipe.write_end.get(), "after signals\n");
  pipe.write_end.reset();
  reader.join();
  sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_EQ(result.first, (Lines{"after signals"}));
  EXPECT_EQ(result.second, ReadEnd::kEndOfInput);
}

TEST(McpLineReader, WaitsOnANonBlockingDescriptor) {
  testing::Pipe pipe = make_pipe();
  testing::set_non_blocking(pipe.read_end.get());
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    write_all(pipe.write_end.get(), "late\n");
    pipe.write_end.reset();
  });
  auto [lines, end] = read_all_lines(pipe.read_end.get());
  writer.join();
  EXPECT_EQ(lines, (Lines{"late"}));
  EXPECT_EQ(end, ReadEnd::kEndOfInput);
}

}  // namespace
}  // namespace brelvo::mcp
