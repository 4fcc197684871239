// The command handlers against a fake control link: what each asks of the
// application, in which order and with which time-out, and what it returns.
#include "main/handlers.h"

#include <gtest/gtest.h>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "support/fake_link.h"

namespace brelvo::cli {
namespace {

using test_support::FakeLink;

std::string outcome(const CommandResult& result) {
  return result ? json::to_compact_text(*result)
                : result.error().code() + ": " + result.error().message();
}

TEST(Handlers, RequestsAndResults) {
  struct Case {
    Handler handler;
    Arguments args;
    std::vector<std::string> calls;
    std::string result;
    bool launch_fails = false;
  };
  const Case cases[] = {
      {status_command,
       {"ignored"},
       {"request ping null 5"},
       R"({"app":{"ready":true},"control":"/fake/Brelvo/control.json","running":true})"},
      {commands_command, {"--names"}, {"request commands null 10"}, R"(["a","b"])"},
      {exec_command, {"echo", "k=v"}, {R"(exec echo {"k":"v"} 30)"}, "{}"},
      {open_command,
       {"/nonexistent/a.ifc", "--add"},
       {"launch", R"(exec open_file {"add":true,"paths":["/nonexistent/a.ifc"]} 30)"},
       "{}"},
      {launch_command, {}, {"launch", "request ping null 5"}, R"({"ready":true})"},
      {open_command, {"a.ifc"}, {"launch"}, "not_running: not found", true},
      {launch_command, {}, {"launch"}, "not_running: not found", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.calls.back() + (c.launch_fails ? " (launch fails)" : ""));
    FakeLink link;
    link.ping = *json::parse_json(R"({"ready":true})");
    link.commands = *json::parse_json(R"([{"name":"a"},{"x":1},{"name":"b"}])");
    if (c.launch_fails)
      link.launched = std::unexpected(bridge::BridgeError::not_running("not found"));
    Arguments args = c.args;
    EXPECT_EQ(outcome(c.handler(link, 30, args)), c.result);
    EXPECT_EQ(link.calls, c.calls);
  }
}

}  // namespace
}  // namespace brelvo::cli
