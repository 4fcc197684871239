#include "support/fake_link.h"

#include "json/json_text.h"

namespace brelvo::test_support {

Answer FakeLink::request(std::string_view method, json::JsonValue params, bridge::Seconds timeout) {
  calls.push_back("request " + std::string(method) + " " + json::to_compact_text(params) + " " +
                  std::to_string(timeout));
  if (method == "commands") return commands;
  if (method == "ping") return ping;
  return std::unexpected(bridge::BridgeError::coded("unknown_method", std::string(method)));
}

Answer FakeLink::exec_tool(std::string_view tool, json::JsonValue args, bridge::Seconds timeout) {
  calls.push_back("exec " + std::string(tool) + " " + json::to_compact_text(args) + " " +
                  std::to_string(timeout));
  return exec(tool, args);
}

std::expected<void, bridge::BridgeError> FakeLink::launch() {
  calls.push_back("launch");
  return launched;
}

ExecAnswer answers_in_turn(std::vector<Answer> answers) {
  return [answers = std::move(answers), next = std::size_t{0}](std::string_view,
                                                               const json::JsonValue&) mutable {
    if (next == answers.size()) return Answer(json::JsonObject{});
    return std::move(answers[next++]);
  };
}

}  // namespace brelvo::test_support
