#include "main/arguments.h"

#include <gtest/gtest.h>

namespace brelvo::cli {
namespace {

TEST(TakeFlag, RemovesOnlyTheFirstExactMatch) {
  Arguments args{"a", "--add", "b", "--add"};
  EXPECT_TRUE(take_flag(args, "--add"));
  EXPECT_EQ(args, (Arguments{"a", "b", "--add"}));
  EXPECT_FALSE(take_flag(args, "--ADD"));
  EXPECT_EQ(args.size(), 3u);
}

TEST(TakeOption, TakesTheFollowingWordWhateverItIs) {
  Arguments args{"status", "--control", "--timeout", "x"};
  EXPECT_EQ(take_option(args, "--control"), "--timeout");
  EXPECT_EQ(args, (Arguments{"status", "x"}));
}

TEST(TakeOption, TrailingNameIsRemovedWithoutValue) {
  Arguments args{"status", "--control"};
  EXPECT_EQ(take_option(args, "--control"), std::nullopt);
  EXPECT_EQ(args, (Arguments{"status"}));
  EXPECT_EQ(take_option(args, "--control"), std::nullopt);
  EXPECT_EQ(args, (Arguments{"status"}));
}

TEST(TimeoutValue, AcceptsPlusAndDigitsOnly) {
  EXPECT_EQ(parse_timeout_seconds(std::nullopt), 180u);
  EXPECT_EQ(parse_timeout_seconds("+30"), 30u);
  EXPECT_EQ(parse_timeout_seconds("0"), 0u);
  EXPECT_EQ(parse_timeout_seconds("18446744073709551615"), 18446744073709551615u);
  for (const char* bad : {"", "+", "-5", "abc", "1.5", "5s", " 5", "18446744073709551616", "++1"}) {
    EXPECT_EQ(parse_timeout_seconds(std::string(bad)), 180u) << bad;
  }
}

}  // namespace
}  // namespace brelvo::cli
