#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/system_error.h"
#include "support/temp_dir.h"

namespace brelvo::platform {
namespace {

using test_support::TempDir;

TEST(PlatformFiles, WritesAndReadsEveryByte) {
  const TempDir dir;
  std::string bytes(100'000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(write_whole_file(dir.path() / "f", bytes + bytes));
  // An old, longer file is truncated.
  ASSERT_TRUE(write_whole_file(dir.path() / "f", bytes));
  EXPECT_EQ(read_whole_file(dir.path() / "f"), bytes);

  ASSERT_TRUE(write_whole_file(dir.path() / "empty", ""));
  EXPECT_EQ(read_whole_file(dir.path() / "empty"), "");
}

TEST(PlatformFiles, FailuresGiveTheErrorNumber) {
  const TempDir dir;
  EXPECT_EQ(read_whole_file(dir.path() / "missing"), std::unexpected(ENOENT));
  EXPECT_EQ(read_whole_file(dir.path()), std::unexpected(EISDIR));
  // Only a regular file has a whole: neither a FIFO nobody writes to nor an
  // endless device is waited on or read.
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(read_whole_file(dir.path() / "fifo"), std::unexpected(EINVAL));
  EXPECT_EQ(read_whole_file("/dev/zero"), std::unexpected(EINVAL));
  EXPECT_EQ(read_whole_file("/dev/null"), std::unexpected(EINVAL));
  EXPECT_EQ(write_whole_file(dir.path(), "x"), std::unexpected(EISDIR));
  EXPECT_EQ(write_whole_file("/dev/full", "x"), std::unexpected(ENOSPC));
  EXPECT_EQ(system_error_text(ENOENT), "No such file or directory (os error 2)");
}

}  // namespace
}  // namespace brelvo::platform
