#include "json/utf8.h"

#include <gtest/gtest.h>

namespace brelvo::json {
namespace {

TEST(Utf8Validity, AcceptsWellFormedRejectsTheRest) {
  EXPECT_TRUE(is_valid_utf8(""));
  EXPECT_TRUE(is_valid_utf8("plain ascii text, long enough for blocks"));
  EXPECT_TRUE(is_valid_utf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
  EXPECT_FALSE(is_valid_utf8("\xFF"));
  EXPECT_FALSE(is_valid_utf8("abcdefgh\xC3"));      // truncated
  EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

TEST(Utf8Lossy, ReplacesMaximalSubparts) {
  EXPECT_EQ(to_utf8_lossy("a\xFF"
                          "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(to_utf8_lossy("\xE2\x82"), "\xEF\xBF\xBD");
  EXPECT_EQ(to_utf8_lossy("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(path_text_lossy("/tmp/\xC3\xA9"), "/tmp/\xC3\xA9");
}

TEST(UnicodeSpace, TrimsEveryWhiteSpaceCharacter) {
  EXPECT_EQ(trim_unicode_space(" \t\n\v\f\r x \xC2\x85\xC2\xA0"), "x");
  EXPECT_EQ(trim_unicode_space("\xE1\x9A\x80\xE2\x80\x80\xE2\x80\x8A x\xE2\x80\xA8\xE2\x80\xA9"),
            "x");
  EXPECT_EQ(trim_unicode_space("\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80y"), "y");
  EXPECT_EQ(trim_unicode_space("\xE2\x80\x8B"
                               "z"),
            "\xE2\x80\x8B"
            "z");  // zero-width space is not white space
  EXPECT_EQ(trim_unicode_space("   "), "");
  EXPECT_EQ(trim_unicode_space_start("  {a} "), "{a} ");
}

}  // namespace
}  // namespace brelvo::json
