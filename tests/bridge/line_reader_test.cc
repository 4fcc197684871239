#include "bridge/line_reader.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <thread>

#include "bridge/unique_fd.h"

namespace brelvo::bridge {
namespace {

class BridgeLineReaderTest : public ::testing::Test {
 protected:
  BridgeLineReaderTest() {
    std::array<int, 2> ends{};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()), 0);
    reading_ = UniqueFd(ends[0]);
    writing_ = UniqueFd(ends[1]);
  }

  // Sends the bytes from another thread, then closes the writing end, and
  // gives every line read until the close.
  std::vector<std::string> read_all(const std::string& stream) {
    std::thread writer([&] {
      std::string_view rest = stream;
      while (!rest.empty()) {
        const ssize_t sent = ::send(writing_.get(), rest.data(), rest.size(), MSG_NOSIGNAL);
        if (sent <= 0) break;
        rest.remove_prefix(static_cast<std::size_t>(sent));
      }
      writing_ = UniqueFd();
    });
    std::vector<std::string> lines;
    LineReader reader(reading_.get());
    for (auto line = reader.read_line(); line && !line->empty(); line = reader.read_line()) {
      lines.push_back(std::move(*line));
    }
    writer.join();
    return lines;
  }

  UniqueFd reading_;
  UniqueFd writing_;
};

TEST_F(BridgeLineReaderTest, KeepsBytesPastOneLineForTheNext) {
  EXPECT_EQ(read_all("{\"a\":1}\n{\"b\":2}\n\nlast"),
            (std::vector<std::string>{"{\"a\":1}\n", "{\"b\":2}\n", "\n", "last"}));
}

TEST_F(BridgeLineReaderTest, LinesAroundAndFarBeyondTheBufferSize) {
  std::string stream;
  std::vector<std::string> expected;
  for (std::size_t size : {std::size_t{8191}, std::size_t{8192}, std::size_t{8193},
                           std::size_t{100'000}, std::size_t{3} << 20, std::size_t{5}}) {
    std::string line(size - 1, static_cast<char>('a' + size % 26));
    line += '\n';
    stream += line;
    expected.push_back(std::move(line));
  }
  EXPECT_EQ(read_all(stream), expected);
}

TEST_F(BridgeLineReaderTest, ReceiveTimeoutGivesWouldBlock) {
  const timeval limit{.tv_sec = 0, .tv_usec = 50'000};
  ASSERT_EQ(::setsockopt(reading_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit), 0);
  LineReader reader(reading_.get());
  ASSERT_EQ(::send(writing_.get(), "par", 3, 0), 3);
  EXPECT_EQ(reader.read_line(), std::unexpected(EAGAIN));
}

}  // namespace
}  // namespace brelvo::bridge
