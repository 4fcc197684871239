#include "json/json_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string_view>

#include "json/json_text.h"

namespace brelvo::json {
namespace {

TEST(JsonNumberKinds, SignedZeroAndPositiveAreUnsigned) {
  EXPECT_EQ(JsonNumber::from_signed(0).kind(), JsonNumber::Kind::kUnsigned);
  EXPECT_EQ(JsonNumber::from_signed(7).kind(), JsonNumber::Kind::kUnsigned);
  EXPECT_EQ(JsonNumber::from_signed(-1).kind(), JsonNumber::Kind::kNegative);
  EXPECT_EQ(JsonNumber::from_double(1.0).kind(), JsonNumber::Kind::kFloat);
  EXPECT_NE(JsonValue(1), JsonValue(1.0));
  EXPECT_NE(JsonValue(0.0), JsonValue(-0.0));
}

TEST(JsonNumberKinds, NonFiniteDoubleGivesNull) {
  EXPECT_TRUE(JsonValue(std::nan("")).is_null());
  EXPECT_TRUE(JsonValue(HUGE_VAL).is_null());
  EXPECT_TRUE(JsonValue(-HUGE_VAL).is_null());
}

// A value of each kind, alone and as an object's member: typed access gives
// its value only for its own kind. A missing member, and a member of a value
// that is no object, give nothing.
TEST(JsonValueTypedAccess, GivesTheValueOnlyForItsOwnKind) {
  struct Case {
    JsonValue value;
    std::optional<std::string_view> string;
    std::optional<std::uint64_t> unsigned_number;
  };
  const Case cases[] = {
      {5, std::nullopt, 5u},
      {-5, std::nullopt, std::nullopt},
      {5.0, std::nullopt, std::nullopt},
      {"5", "5", std::nullopt},
      {"", "", std::nullopt},
      {std::string_view("a\0b", 3), std::string_view("a\0b", 3), std::nullopt},
      {nullptr, std::nullopt, std::nullopt},
      {true, std::nullopt, std::nullopt},
      {JsonArray{"5"}, std::nullopt, std::nullopt},
      {JsonObject{}, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(to_compact_text(c.value));
    EXPECT_EQ(c.value.as_string(), c.string);
    EXPECT_EQ(c.value.as_unsigned(), c.unsigned_number);
    JsonValue holder = JsonObject{};
    holder.insert("k", c.value);
    EXPECT_EQ(holder.get_string("k"), c.string);
    EXPECT_EQ(holder.get_unsigned("k"), c.unsigned_number);
    EXPECT_EQ(holder.get_string("missing"), std::nullopt);
    EXPECT_EQ(holder.get_unsigned("missing"), std::nullopt);
    EXPECT_EQ(c.value.get_string("k"), std::nullopt);
    EXPECT_EQ(c.value.get_unsigned("k"), std::nullopt);
  }
}

TEST(JsonObjectMembers, KeysInByteOrderAndLastInsertWins) {
  JsonObject object;
  EXPECT_EQ(object.insert("\xC3\xA9", 1), std::nullopt);
  object.insert("aa", 2);
  object.insert("a", 3);
  object.insert("B", 4);
  EXPECT_EQ(object.insert("a", 5), JsonValue(3));
  std::vector<std::string> keys;
  for (const auto& member : object) keys.push_back(member.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"B", "a", "aa", "\xC3\xA9"}));
  EXPECT_EQ(*object.get("a"), JsonValue(5));
}

TEST(JsonObjectMembers, RemoveAndGet) {
  JsonValue value = JsonObject{};
  value.insert("x", true);
  EXPECT_EQ(value.remove("missing"), std::nullopt);
  EXPECT_EQ(value.remove("x"), JsonValue(true));
  EXPECT_EQ(value.get("x"), nullptr);
  JsonValue not_object = 3;
  EXPECT_EQ(not_object.get("x"), nullptr);
  EXPECT_EQ(not_object.insert("x", 1), std::nullopt);
  EXPECT_TRUE(not_object.is_number());
}

// Keys that share their first eight bytes, or differ only past them or in
// length, are ordered by their whole bytes.
TEST(JsonObjectMembers, FromMembersOrdersKeysBeyondTheirFirstEightBytes) {
  std::vector<JsonMember> members = {{"prefix__b", 1}, {std::string("a\0", 2), 2},
                                     {"prefix__a", 3}, {"a", 4},
                                     {"prefix__", 5},  {"prefix__b", 6}};
  JsonObject object = JsonObject::from_members(members);
  std::vector<std::string> keys;
  for (const JsonMember& member : object) keys.push_back(member.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"a", std::string("a\0", 2), "prefix__", "prefix__a",
                                            "prefix__b"}));
  EXPECT_EQ(*object.get("prefix__b"), JsonValue(6));
}

TEST(JsonObjectMembers, FromMembersSortsAndKeepsTheLastOfEachKey) {
  std::vector<JsonMember> members;
  for (int i = 999; i >= 0; --i) members.push_back({std::to_string(i % 100), i});
  JsonObject object = JsonObject::from_members(members);
  EXPECT_EQ(object.size(), 100u);
  // Of the ten members named "7", the last given held 7.
  EXPECT_EQ(*object.get("7"), JsonValue(7));
  EXPECT_EQ(object.begin()->key, "0");
}

TEST(JsonValueCopies, AreDeep) {
  JsonValue original = JsonObject{};
  original.insert("list", JsonArray{1, 2});
  JsonValue copy = original;
  copy.get("list")->as_array()->push_back(3);
  EXPECT_EQ(to_compact_text(original), R"({"list":[1,2]})");
  EXPECT_EQ(to_compact_text(copy), R"({"list":[1,2,3]})");
}

// One value of each kind, with a string too long to live inside its object.
std::vector<JsonValue> one_of_each_kind() {
  JsonValue object = JsonObject{};
  object.insert("k", "a string long enough to live on the heap");
  return {nullptr, true, 7, -7, 2.5, "text", JsonArray{1, "two"}, std::move(object)};
}

TEST(JsonValueCopies, CopiesAndMovesKeepEveryKindAndItsValue) {
  for (const JsonValue& original : one_of_each_kind()) {
    const std::string text = to_compact_text(original);
    JsonValue copy = original;
    EXPECT_EQ(copy, original);
    JsonValue moved = std::move(copy);
    EXPECT_EQ(to_compact_text(moved), text);
    for (const JsonValue& other : one_of_each_kind()) {
      JsonValue assigned = other;
      assigned = original;
      EXPECT_EQ(to_compact_text(assigned), text);
      assigned = other;
      assigned = std::move(moved);
      EXPECT_EQ(to_compact_text(assigned), text);
      moved = assigned;
      EXPECT_EQ(assigned == other, to_compact_text(other) == text);
    }
  }
}

TEST(JsonValueCopies, AValueCanBeReplacedByAPartOfItself) {
  JsonValue value = JsonArray{JsonArray{"inner", "a string long enough to live on the heap"}};
  value = std::move(value.as_array()->front());
  EXPECT_EQ(to_compact_text(value), R"(["inner","a string long enough to live on the heap"])");
  value = value.as_array()->back();
  EXPECT_EQ(to_compact_text(value), R"("a string long enough to live on the heap")");
  JsonValue object = JsonObject{};
  object.insert("k", JsonObject{});
  object.get("k")->insert("n", 1);
  object = std::move(*object.get("k"));
  EXPECT_EQ(to_compact_text(object), R"({"n":1})");
}

TEST(JsonValueConstructors, StringsAndPaths) {
  EXPECT_EQ(to_compact_text(JsonValue::from_strings({"a", "b"})), R"(["a","b"])");
  EXPECT_EQ(json_from_path("/tmp/x").value(), JsonValue("/tmp/x"));
  auto bad = json_from_path(std::filesystem::path("/tmp/\xFF"));
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message(), "path contains invalid UTF-8 characters");
}

}  // namespace
}  // namespace brelvo::json
