#include "bridge/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "bridge/control_files.h"

namespace brelvo::bridge {
namespace {

using testing::TempDir;
using testing::write_text;

TEST(BridgeFileIoTest, ReadsEveryByte) {
  const TempDir dir;
  std::string bytes(100'000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  write_text(dir.path() / "f", bytes);
  EXPECT_EQ(read_whole_file(dir.path() / "f"), bytes);

  write_text(dir.path() / "empty", "");
  EXPECT_EQ(read_whole_file(dir.path() / "empty"), "");
}

TEST(BridgeFileIoTest, FailuresGiveTheErrorNumber) {
  const TempDir dir;
  EXPECT_EQ(read_whole_file(dir.path() / "missing"), std::unexpected(ENOENT));
  EXPECT_EQ(read_whole_file(dir.path()), std::unexpected(EISDIR));
}

}  // namespace
}  // namespace brelvo::bridge
