// How answers reach the client when its end of the output misbehaves.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <thread>

#include "mcp/mcp_server.h"
#include "serve.h"
#include "support/fd_io.h"

namespace brelvo::mcp {
namespace {

using testing::FakeLink;

TEST(McpOutput, ServerKeepsServingAfterTheClientClosedItsEnd) {
  signal(SIGPIPE, SIG_IGN);  // as the program does at start
  test_support::Pipe output = test_support::make_pipe();
  output.read_end.reset();
  test_support::UniqueFd input =
      test_support::memory_file(R"({"id":1,"method":"tools/call","params":{"name":"a"}})"
                                "\n"
                                R"({"id":2,"method":"tools/call","params":{"name":"b"}})"
                                "\n");
  FakeLink link;
  run_mcp_server(link, 180, input.get(), output.write_end.get());
  EXPECT_EQ(link.calls, (std::vector<std::string>{"exec a {} 180", "exec b {} 180"}));
}

TEST(McpOutput, WholeMessagesReachANonBlockingPipeThatIsOftenFull) {
  std::string big(1024 * 1024, 'q');
  test_support::Pipe output = test_support::make_pipe();
  test_support::set_non_blocking(output.write_end.get());
  std::string received;
  std::thread client([&] { received = test_support::read_until_closed(output.read_end.get()); });

  test_support::UniqueFd input =
      test_support::memory_file(R"({"id":1,"method":"tools/call","params":{"name":"big"}})"
                                "\n"
                                R"({"id":2,"method":"ping"})"
                                "\n");
  FakeLink link;
  link.exec = [&](std::string_view, const json::JsonValue&) -> testing::Answer { return big; };
  run_mcp_server(link, 180, input.get(), output.write_end.get());
  output.write_end.reset();
  client.join();

  EXPECT_TRUE(received == R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":"\")" + big +
                              R"(\"","type":"text"}],"isError":false}})"
                              "\n"
                              R"({"id":2,"jsonrpc":"2.0","result":{}})"
                              "\n");
}

}  // namespace
}  // namespace brelvo::mcp
