#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "bridge/bridge.h"
#include "bridge/control_files.h"
#include "bridge/printers.h"
#include "bridge/test_server.h"
#include "json/json_parse.h"

namespace brelvo::bridge {
namespace {

using namespace std::chrono_literals;
using testing::Peer;
using testing::TestServer;
using Handler = TestServer::Handler;
using Lines = std::vector<std::string>;

constexpr const char kOk7[] = R"({"ok":true,"result":7})";

Handler answering(Lines answers) {
  return [answers = std::move(answers)](Peer& peer) {
    for (const auto& answer : answers) peer.answer(answer);
    peer.wait_for_close();
  };
}

// Reads the request and closes the connection without answering.
void hang_up(Peer& peer) {
  peer.read_line();
}

std::string ping(std::uint64_t id, std::string_view token = "tok") {
  return R"({"id":)" + std::to_string(id) + R"(,"method":"ping","params":null,"token":")" +
         std::string(token) + "\"}";
}

class BridgeRequestTest : public ::testing::Test {
 protected:
  // Starts a server and points the control file at it.
  TestServer& serve(std::vector<Handler> handlers, std::string_view token = "tok") {
    server_ = std::make_unique<TestServer>(std::move(handlers));
    testing::write_control_file(control_, server_->port(), token);
    return *server_;
  }

  std::expected<json::JsonValue, BridgeError> ping_request() {
    return bridge_.request("ping", nullptr, 0);
  }

  testing::TempDir dir_;
  std::filesystem::path control_ = dir_.path() / "control.json";
  std::unique_ptr<TestServer> server_;
  BridgeTiming timing_{.receive_grace = 2s};
  Bridge bridge_{control_, timing_};
};

TEST_F(BridgeRequestTest, WritesCompactRequestLinesWithCountingIds) {
  auto& server = serve({answering({R"({"ok":true,"result":{"ready":true}})", R"({"ok":true})"})});
  EXPECT_EQ(bridge_.request("ping", nullptr, kPingTimeout), *json::parse_json(R"({"ready":true})"));
  EXPECT_EQ(bridge_.request("commands", nullptr, kCommandsTimeout), json::JsonValue());
  EXPECT_EQ(server.finish(),
            (Lines{ping(1), R"({"id":2,"method":"commands","params":null,"token":"tok"})"}));
}

TEST_F(BridgeRequestTest, EmptyTokenIsSentAsEmptyString) {
  auto& server = serve({answering({kOk7})}, "");
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1, "")}));
}

TEST_F(BridgeRequestTest, ExecSendsArgsTimeoutInMillisecondsAndTool) {
  auto& server = serve({answering({kOk7, kOk7, kOk7})});
  json::JsonObject args;
  args.insert("k", "v");
  EXPECT_EQ(bridge_.exec_tool("find_elements", args, 180), json::JsonValue(7));
  EXPECT_EQ(bridge_.exec_tool("t", json::JsonArray{1}, 0), json::JsonValue(7));
  // The milliseconds wrap around, and the receive limit saturates.
  EXPECT_EQ(bridge_.exec_tool("t", nullptr, std::numeric_limits<Seconds>::max()),
            json::JsonValue(7));
  EXPECT_EQ(server.finish(),
            (Lines{R"({"id":1,"method":"exec","params":{"args":{"k":"v"},"timeout_ms":180000,)"
                   R"("tool":"find_elements"},"token":"tok"})",
                   R"({"id":2,"method":"exec","params":{"args":[1],"timeout_ms":0,"tool":"t"},)"
                   R"("token":"tok"})",
                   R"({"id":3,"method":"exec","params":{"args":null,)"
                   R"("timeout_ms":18446744073709550616,"tool":"t"},"token":"tok"})"}));
}

TEST_F(BridgeRequestTest, ConnectionClosedWithoutAnswerIsRetriedOnce) {
  auto& server = serve({hang_up, answering({kOk7})});
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1), ping(2)}));
}

TEST_F(BridgeRequestTest, SecondCloseIsReported) {
  auto& server = serve({hang_up, hang_up});
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::io("Brelvo closed the connection")));
  EXPECT_EQ(server.finish(), (Lines{ping(1), ping(2)}));
}

TEST_F(BridgeRequestTest, IdsContinueOnAFreshConnection) {
  // The first connection answers once and closes; the next request finds it
  // closed and is retried with a new id on a second connection.
  auto& server = serve({[](Peer& peer) { peer.answer(kOk7); }, answering({kOk7})});
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1), ping(3)}));
}

TEST_F(BridgeRequestTest, UnparsableAnswerIsRetriedThenReported) {
  auto& server = serve({answering({"nonsense"}), answering({kOk7})});
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1), ping(2)}));

  bridge_.drop_connection();
  serve({answering({"{\"ok\":true"}), answering({"[1,]"})});
  EXPECT_EQ(ping_request(),
            std::unexpected(BridgeError::io("bad response: trailing comma at line 1 column 4")));
}

// Answers that arrive but cannot be used, each followed by a close. The
// application has taken the request: an "exec" has run its tool and is not
// sent again, while a "ping" is retried on a fresh connection.
struct BrokenAnswer {
  std::string name;
  std::string bytes;
  std::string message;
};

void PrintTo(const BrokenAnswer& c, std::ostream* os) {
  *os << c.name;
}

class BrokenAnswerTest : public BridgeRequestTest,
                         public ::testing::WithParamInterface<BrokenAnswer> {
 protected:
  TestServer& serve_broken_then_good() {
    return serve({[](Peer& peer) {
                    peer.read_line();
                    peer.send(GetParam().bytes);
                  },
                  answering({kOk7})});
  }
};

TEST_P(BrokenAnswerTest, ExecIsSentOncePingTwice) {
  auto& exec_server = serve_broken_then_good();
  EXPECT_EQ(bridge_.exec_tool("delete_element", nullptr, 0),
            std::unexpected(BridgeError::io(GetParam().message)));
  EXPECT_EQ(exec_server.finish().size(), 1u);

  bridge_.drop_connection();
  auto& ping_server = serve_broken_then_good();
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(ping_server.finish(), (Lines{ping(2), ping(3)}));
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, BrokenAnswerTest,
    ::testing::Values(
        BrokenAnswer{"NotJson", "nonsense\n", "bad response: expected ident at line 1 column 2"},
        BrokenAnswer{"NotUtf8", "{\"ok\":true,\"result\":\"\xc3\x28\"}\n",
                     "stream did not contain valid UTF-8"},
        BrokenAnswer{"CutOffByClose", "{\"ok\":true,\"res",
                     "bad response: EOF while parsing a string at line 1 column 15"},
        BrokenAnswer{"LoneSurrogate", "{\"ok\":true,\"result\":\"\\ud800\"}\n",
                     "bad response: unexpected end of hex escape at line 1 column 28"},
        BrokenAnswer{"NumberOutOfRange", "{\"ok\":true,\"result\":1e999}\n",
                     "bad response: number out of range at line 1 column 25"},
        BrokenAnswer{"TooDeep", std::string(200, '[') + "\n",
                     "bad response: recursion limit exceeded at line 1 column 128"}),
    [](const auto& test) { return test.param.name; });

TEST_F(BridgeRequestTest, ClosedPortIsNotRunningAndUsesNoId) {
  testing::write_control_file(control_, testing::closed_port(), "tok");
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::not_running(
                                "Brelvo is not running (its control port is closed)")));
  auto& server = serve({answering({kOk7})});
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1)}));
}

TEST_F(BridgeRequestTest, ControlFileProblemsComeBackUnchanged) {
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::not_running("Brelvo is not running (no " +
                                                                     control_.string() + ")")));
  testing::write_text(control_, R"({"protocol":2})");
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::io(
                                "Brelvo speaks control protocol 2, this brelvo-cli speaks 1: "
                                "update one of them")));
}

TEST_F(BridgeRequestTest, UnauthorizedDropsTheConnectionAndRereadsTheToken) {
  auto& server = serve({answering({R"({"ok":false,"error":{"code":"unauthorized",)"
                                   R"("message":"bad token"}})"}),
                        answering({kOk7})},
                       "old");
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::coded("unauthorized", "bad token")));
  testing::write_control_file(control_, server.port(), "new");
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1, "old"), ping(2, "new")}));
}

TEST_F(BridgeRequestTest, OtherErrorAnswersKeepTheConnection) {
  auto& server = serve({answering({
      R"({"ok":false,"error":{"code":"not_ready","message":"loading"}})",
      R"({"ok":"true","result":1})",
      R"({"ok":1,"result":1})",
      R"({"ok":false})",
      R"({"ok":false,"error":"boom"})",
      R"({"ok":false,"error":{"code":5,"message":null}})",
      R"([true])",
      R"({"ok":true,"result":7})",
  })});
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::coded("not_ready", "loading")));
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(ping_request(), std::unexpected(BridgeError::coded("error", "request failed")));
  }
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish().size(), 8u);
}

TEST_F(BridgeRequestTest, SurplusAnswerAnswersTheNextRequest) {
  auto& server = serve({[](Peer& peer) {
    peer.read_line();
    peer.send("{\"ok\":true,\"result\":1}\n{\"ok\":true,\"result\":2}\n");
    peer.read_line();
    peer.answer(kOk7);
    peer.wait_for_close();
  }});
  EXPECT_EQ(ping_request(), json::JsonValue(1));
  EXPECT_EQ(ping_request(), json::JsonValue(2));
  EXPECT_EQ(ping_request(), json::JsonValue(7));
  EXPECT_EQ(server.finish(), (Lines{ping(1), ping(2), ping(3)}));
}

TEST_F(BridgeRequestTest, AnswerEndingAtCloseWithoutLineFeedCounts) {
  serve({[](Peer& peer) {
    peer.read_line();
    peer.send(kOk7);
  }});
  EXPECT_EQ(ping_request(), json::JsonValue(7));
}

TEST_F(BridgeRequestTest, InvalidUtf8AnswerIsRetriedThenReported) {
  const std::string invalid = "{\"ok\":true,\"result\":\"\xc3\x28\"}";
  auto& server = serve({answering({invalid}), answering({invalid})});
  EXPECT_EQ(ping_request(), std::unexpected(BridgeError::io("stream did not contain valid UTF-8")));
  EXPECT_EQ(server.finish().size(), 2u);
}

TEST_F(BridgeRequestTest, LargeAnswerArrivesWhole) {
  const std::string text(std::size_t{16} << 20, 'x');
  serve({[&text](Peer& peer) {
    peer.read_line();
    peer.send(R"({"ok":true,"result":")" + text + "\"}\n" + kOk7 + "\n");
    peer.wait_for_close();
  }});
  EXPECT_EQ(ping_request(), json::JsonValue(text));
  EXPECT_EQ(ping_request(), json::JsonValue(7));
}

TEST_F(BridgeRequestTest, SilenceTimesOutNamingTheRequestTimeoutWithoutRetry) {
  Bridge quick(control_, BridgeTiming{.receive_grace = 150ms});
  auto& server = serve({[](Peer& peer) {
    peer.read_line();
    peer.wait_for_close();
  }});
  EXPECT_EQ(quick.request("ping", nullptr, 0),
            std::unexpected(BridgeError::timeout("no answer from Brelvo within 0 s")));
  EXPECT_EQ(server.finish(), (Lines{ping(1)}));
}

// The limit holds for the whole answer, not for each receive: a peer that
// sends a byte at a time gets no longer than a silent one.
TEST_F(BridgeRequestTest, TricklingPeerTimesOutLikeASilentOne) {
  Bridge quick(control_, BridgeTiming{.receive_grace = 150ms});
  auto& server = serve({[](Peer& peer) {
    peer.read_line();
    for (const char byte : std::string(kOk7) + "\n") {
      peer.send(std::string_view(&byte, 1));
      std::this_thread::sleep_for(20ms);
    }
  }});
  EXPECT_EQ(quick.request("ping", nullptr, 0),
            std::unexpected(BridgeError::timeout("no answer from Brelvo within 0 s")));
  EXPECT_EQ(server.finish(), (Lines{ping(1)}));
}

// The receive limit is set once per change, not per request: a shorter
// time-out after a longer one on the same connection must still apply.
TEST_F(BridgeRequestTest, ShorterTimeoutAfterLongerOneOnTheSameConnectionApplies) {
  Bridge quick(control_, BridgeTiming{.receive_grace = 150ms});
  auto& server = serve({[](Peer& peer) {
    peer.read_line();
    peer.send(std::string(kOk7) + "\n");
    peer.read_line();
    std::this_thread::sleep_for(600ms);
    peer.send(std::string(kOk7) + "\n");
    peer.wait_for_close();
  }});
  EXPECT_EQ(quick.request("ping", nullptr, 5), json::JsonValue(7));
  EXPECT_EQ(quick.request("ping", nullptr, 0),
            std::unexpected(BridgeError::timeout("no answer from Brelvo within 0 s")));
  EXPECT_EQ(server.finish(), (Lines{ping(1), ping(2)}));
}

TEST_F(BridgeRequestTest, IsReadyOnlyForReadyTrue) {
  EXPECT_FALSE(bridge_.is_ready());
  serve({answering({
      R"({"ok":false,"error":{"code":"busy","message":"m"}})",
      R"({"ok":true,"result":{}})",
      R"({"ok":true,"result":{"ready":false}})",
      R"({"ok":true,"result":{"ready":"true"}})",
      R"({"ok":true,"result":{"ready":true}})",
  })});
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(bridge_.is_ready()) << i;
  EXPECT_TRUE(bridge_.is_ready());
}

}  // namespace
}  // namespace brelvo::bridge
