// A ControlLink that records every call and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "bridge/control_link.h"
#include "json/json_text.h"

namespace brelvo::cli::testing {

class FakeLink : public bridge::ControlLink {
 public:
  using Answer = std::expected<json::JsonValue, bridge::BridgeError>;

  // Compact texts of the calls, e.g. exec echo {"a":1} 180.
  std::vector<std::string> calls;
  std::deque<Answer> answers;

  Answer request(std::string_view method, json::JsonValue params,
                 bridge::Seconds timeout) override {
    calls.push_back(std::string(method) + " " + json::to_compact_text(params) + " " +
                    std::to_string(timeout));
    return next();
  }
  Answer exec_tool(std::string_view tool, json::JsonValue args, bridge::Seconds timeout) override {
    calls.push_back("exec " + std::string(tool) + " " + json::to_compact_text(args) + " " +
                    std::to_string(timeout));
    return next();
  }
  std::expected<void, bridge::BridgeError> launch() override {
    calls.push_back("launch");
    return {};
  }

 private:
  Answer next() {
    if (answers.empty()) return json::JsonObject{};
    Answer answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }
};

}  // namespace brelvo::cli::testing
