#include "bridge/bridge_error.h"

#include <gtest/gtest.h>

#include "json/json_text.h"

namespace brelvo::bridge {
namespace {

TEST(BridgeErrorTest, KindsGiveTheirCodesAndExitCodes) {
  const auto not_running = BridgeError::not_running("m");
  EXPECT_EQ(not_running.kind(), BridgeError::Kind::kNotRunning);
  EXPECT_EQ(not_running.code(), "not_running");
  EXPECT_EQ(not_running.exit_code(), 3);

  const auto timeout = BridgeError::timeout("m");
  EXPECT_EQ(timeout.kind(), BridgeError::Kind::kTimeout);
  EXPECT_EQ(timeout.code(), "timeout");
  EXPECT_EQ(timeout.exit_code(), 124);

  const auto io = BridgeError::io("m");
  EXPECT_EQ(io.kind(), BridgeError::Kind::kIo);
  EXPECT_EQ(io.code(), "io");
  EXPECT_EQ(io.exit_code(), 2);
}

TEST(BridgeErrorTest, CodedExitCodeComparesTheCodeExactly) {
  EXPECT_EQ(BridgeError::coded("timeout", "m").exit_code(), 124);
  EXPECT_EQ(BridgeError::coded("not_ready", "m").exit_code(), 3);
  EXPECT_EQ(BridgeError::coded("Timeout", "m").exit_code(), 2);
  EXPECT_EQ(BridgeError::coded("NOT_READY", "m").exit_code(), 2);
  EXPECT_EQ(BridgeError::coded("unauthorized", "m").exit_code(), 2);
  EXPECT_EQ(BridgeError::coded("usage", "m").exit_code(), 2);
  EXPECT_EQ(BridgeError::coded("tool_failed", "m").exit_code(), 2);
  EXPECT_EQ(BridgeError::coded("busy", "m").kind(), BridgeError::Kind::kCoded);
}

TEST(BridgeErrorTest, JsonFormHasCodeAndMessageOnly) {
  EXPECT_EQ(json::to_compact_text(BridgeError::not_running("gone").to_json()),
            R"({"code":"not_running","message":"gone"})");
  EXPECT_EQ(json::to_compact_text(BridgeError::coded("busy", "try later").to_json()),
            R"({"code":"busy","message":"try later"})");
  EXPECT_EQ(json::to_compact_text(BridgeError::io("").to_json()), R"({"code":"io","message":""})");
}

TEST(BridgeErrorTest, SystemErrorsAreIoWithTheSystemsText) {
  EXPECT_EQ(BridgeError::from_errno(13), BridgeError::io("Permission denied (os error 13)"));
  EXPECT_EQ(BridgeError::from_errno(2, "a.png"),
            BridgeError::io("a.png: No such file or directory (os error 2)"));
}

}  // namespace
}  // namespace brelvo::bridge
