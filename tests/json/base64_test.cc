#include "json/base64.h"

#include <gtest/gtest.h>

namespace brelvo::json {
namespace {

std::string outcome(std::string_view text) {
  auto bytes = decode_base64(text);
  return bytes ? "ok: " + *bytes : bytes.error().message();
}

TEST(Base64Decode, ValidTexts) {
  EXPECT_EQ(outcome(""), "ok: ");
  EXPECT_EQ(outcome("QQ=="), "ok: A");
  EXPECT_EQ(outcome("QUI="), "ok: AB");
  EXPECT_EQ(outcome("QUJD"), "ok: ABC");
  EXPECT_EQ(outcome("aGVsbG8gd29ybGQ="), "ok: hello world");
  auto all = decode_base64("AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4v+/8=");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->size(), 50u);
  EXPECT_EQ(static_cast<unsigned char>((*all)[48]), 0xFBu);
}

// Each message together with the check that must win when several apply.
TEST(Base64Decode, ErrorsInTheirOrder) {
  EXPECT_EQ(outcome("QQ"), "Invalid padding");
  EXPECT_EQ(outcome("QQ="), "Invalid padding");
  EXPECT_EQ(outcome("QR=="), "Invalid last symbol 82, offset 1.");
  EXPECT_EQ(outcome("QUJ="), "Invalid last symbol 74, offset 2.");
  EXPECT_EQ(outcome("QQ==\n"), "Invalid symbol 10, offset 4.");
  EXPECT_EQ(outcome("A"), "Invalid input length: 1");
  EXPECT_EQ(outcome("QUJDA"), "Invalid input length: 5");
  EXPECT_EQ(outcome("A==="), "Invalid symbol 61, offset 1.");
  EXPECT_EQ(outcome("QQ=A"), "Invalid symbol 61, offset 2.");
  EXPECT_EQ(outcome("QQ==QQ=="), "Invalid symbol 61, offset 2.");
  EXPECT_EQ(outcome("QU-DQQ=="), "Invalid symbol 45, offset 2.");
  EXPECT_EQ(outcome("QUJD="), "Invalid symbol 61, offset 4.");
  // A bad last byte of a 4n+1 text is reported before an earlier bad byte.
  EXPECT_EQ(outcome("Q_JD\n"), "Invalid symbol 10, offset 4.");
  EXPECT_EQ(outcome("Q_JDA"), "Invalid symbol 95, offset 1.");
  EXPECT_EQ(outcome("QQ_="), "Invalid symbol 95, offset 2.");
}

}  // namespace
}  // namespace brelvo::json
