#include "main/tool_args.h"

#include <gtest/gtest.h>

#include "json/json_text.h"

namespace brelvo::cli {
namespace {

std::string outcome(const std::vector<std::string>& words) {
  auto value = parse_tool_args(words);
  return value ? json::to_compact_text(*value)
               : value.error().code() + ": " + value.error().message();
}

TEST(ToolArgs, PairsTakeJsonValuesOrStrings) {
  EXPECT_EQ(outcome({"count=3", "flag=true", "name=wall", "ids=[1,2]", "nothing=null"}),
            R"({"count":3,"flag":true,"ids":[1,2],"name":"wall","nothing":null})");
  EXPECT_EQ(outcome({"k="}), R"({"k":""})");
  EXPECT_EQ(outcome({"k=01"}), R"({"k":"01"})");
  EXPECT_EQ(outcome({"k= 1"}), R"({"k":1})");
  EXPECT_EQ(outcome({"a=b=c"}), R"({"a":"b=c"})");
  EXPECT_EQ(outcome({"=v"}), R"({"":"v"})");
  EXPECT_EQ(outcome({"x=1", "x=2"}), R"({"x":2})");
  EXPECT_EQ(outcome({}), "{}");
}

TEST(ToolArgs, SingleObjectWord) {
  EXPECT_EQ(outcome({R"({"a": [1]})"}), R"({"a":[1]})");
  EXPECT_EQ(outcome({"\xE3\x80\x80 {\"a\":1}"}),
            "usage: bad JSON arguments: expected value at line 1 column 1");
  EXPECT_EQ(outcome({"  {\"a\":1}"}), R"({"a":1})");
  EXPECT_EQ(outcome({"{oops"}),
            "usage: bad JSON arguments: key must be a string at line 1 column 2");
  // With two words every word is a pair.
  EXPECT_EQ(outcome({R"({"a":1})", "b=2"}), R"(usage: expected key=value, got {"a":1})");
}

TEST(ToolArgs, OtherJsonIsNotTakenAsTheObjectForm) {
  EXPECT_EQ(outcome({"[1,2]"}), "usage: expected key=value, got [1,2]");
  EXPECT_EQ(outcome({"a=1", "wall"}), "usage: expected key=value, got wall");
}

}  // namespace
}  // namespace brelvo::cli
