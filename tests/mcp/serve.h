// A whole MCP session over memory files against a fake application.
#pragma once

#include <string>
#include <string_view>

#include "bridge/control_link.h"
#include "json/json_value.h"
#include "support/fake_link.h"

namespace brelvo::mcp::testing {

using test_support::Answer;
using test_support::FakeLink;

// Runs a server over the input and returns everything it wrote.
std::string serve(std::string_view input, FakeLink& link, bridge::Seconds tool_timeout = 180);

// The one-line JSON value, parsed; aborts the test run on bad test data.
json::JsonValue parse(std::string_view text);

}  // namespace brelvo::mcp::testing
