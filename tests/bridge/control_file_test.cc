#include "bridge/control_file.h"

#include <gtest/gtest.h>

#include "bridge/control_files.h"
#include "bridge/printers.h"

namespace brelvo::bridge {
namespace {

class BridgeControlFileTest : public ::testing::Test {
 protected:
  std::expected<ControlFile, BridgeError> read(std::string_view contents) {
    testing::write_text(path_, contents);
    return read_control_file(path_);
  }

  static BridgeError protocol_mismatch(std::string_view found) {
    return BridgeError::io("Brelvo speaks control protocol " + std::string(found) +
                           ", this brelvo-cli speaks 1: update one of them");
  }

  testing::TempDir dir_;
  std::filesystem::path path_ = dir_.path() / "control.json";
};

TEST_F(BridgeControlFileTest, ReadsPortTokenAndExe) {
  EXPECT_EQ(read(R"({"protocol":1,"port":8080,"token":"t"})"),
            (ControlFile{.token = "t", .exe = std::nullopt, .port = 8080}));
  EXPECT_EQ(read(" {\"exe\": \"/opt/b\", \"extra\": [1],\n \"token\": \"\", \"protocol\": 1} "),
            (ControlFile{.token = "", .exe = "/opt/b", .port = 0}));
}

TEST_F(BridgeControlFileTest, OddMembersFallBackWithoutError) {
  EXPECT_EQ(read(R"({"protocol":1,"port":65616})")->port, 80);
  EXPECT_EQ(read(R"({"protocol":1,"port":-1})")->port, 0);
  EXPECT_EQ(read(R"({"protocol":1,"port":"80"})")->port, 0);
  EXPECT_EQ(read(R"({"protocol":1,"port":80.0})")->port, 0);
  EXPECT_EQ(read(R"({"protocol":1,"token":5})")->token, "");
  EXPECT_EQ(read(R"({"protocol":1,"exe":null})")->exe, std::nullopt);
}

TEST_F(BridgeControlFileTest, OnlyProtocolOnePasses) {
  EXPECT_EQ(read(R"({"protocol":2,"port":1})"), std::unexpected(protocol_mismatch("2")));
  EXPECT_EQ(read(R"({"port":1})"), std::unexpected(protocol_mismatch("0")));
  EXPECT_EQ(read(R"({"protocol":1.0})"), std::unexpected(protocol_mismatch("0")));
  EXPECT_EQ(read(R"({"protocol":"1"})"), std::unexpected(protocol_mismatch("0")));
  EXPECT_EQ(read(R"({"protocol":-1})"), std::unexpected(protocol_mismatch("0")));
  EXPECT_EQ(read(R"([{"protocol":1}])"), std::unexpected(protocol_mismatch("0")));
  EXPECT_EQ(read("1"), std::unexpected(protocol_mismatch("0")));
}

TEST_F(BridgeControlFileTest, UnparsableTextIsBadControlFile) {
  EXPECT_EQ(read(""), std::unexpected(BridgeError::io(
                          "bad control file: EOF while parsing a value at line 1 column 0")));
  EXPECT_EQ(
      read("{\"protocol\":1,}"),
      std::unexpected(BridgeError::io("bad control file: trailing comma at line 1 column 15")));
}

TEST_F(BridgeControlFileTest, UnreadableFileMeansNotRunning) {
  const auto not_running = [](const std::filesystem::path& path) {
    return std::unexpected(
        BridgeError::not_running("Brelvo is not running (no " + path.string() + ")"));
  };
  EXPECT_EQ(read_control_file(dir_.path() / "missing.json"),
            not_running(dir_.path() / "missing.json"));
  EXPECT_EQ(read_control_file(dir_.path()), not_running(dir_.path()));
  EXPECT_EQ(read("{\"protocol\":1,\"token\":\"\xff\"}"), not_running(path_));
}

TEST_F(BridgeControlFileTest, PathWithInvalidUtf8IsShownLossily) {
  const auto error = read_control_file(dir_.path() /
                                       "a\xff"
                                       "b");
  ASSERT_FALSE(error);
  EXPECT_EQ(error.error().message(),
            "Brelvo is not running (no " + dir_.path().string() + "/a\uFFFDb)");
}

}  // namespace
}  // namespace brelvo::bridge
