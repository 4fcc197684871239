#include "json/internal/string_scan.h"

#include <gtest/gtest.h>

#include <string>

#include "json/json_parse.h"
#include "json/json_text.h"

namespace brelvo::json::internal {
namespace {

bool is_stop(int byte) {
  return byte < 0x20 || byte == '"' || byte == '\\';
}

// Every byte value at every place of strings of every length up to two
// sixteen-byte chunks and more than one eight-byte tail, alone and followed
// by a second stop: the chunked scans must stop exactly where the byte-wise rule says, and
// the copying scan must have copied the run.
TEST(PlainRunLength, StopsAndCopiesUpToTheFirstStopByteWhereverItIs) {
  for (std::size_t length = 1; length < 44; ++length) {
    for (int byte = 0; byte < 256; ++byte) {
      for (std::size_t place = 0; place < length; ++place) {
        for (const bool second_stop : {false, true}) {
          std::string text(length, 'a');
          text[place] = static_cast<char>(byte);
          if (second_stop && place + 1 < length) text[place + 1] = '\\';
          std::size_t expected = is_stop(byte) ? place : length;
          if (!is_stop(byte) && second_stop && place + 1 < length) expected = place + 1;
          ASSERT_EQ(plain_run_length(text.data(), text.size()), expected)
              << "byte " << byte << " at " << place << " of " << length;
          std::string copy(text.size() + 8, '-');
          ASSERT_EQ(copy_plain_run(text.data(), text.size(), copy.data()), expected)
              << "byte " << byte << " at " << place << " of " << length;
          ASSERT_EQ(copy.substr(0, expected), text.substr(0, expected));
        }
      }
    }
  }
  std::string room(8, '-');
  EXPECT_EQ(copy_plain_run("", 0, room.data()), 0u);
}

// Bytes just above a stop value can borrow into their neighbours; the first
// mark must still be the real one.
TEST(PlainRunLength, IsNotFooledByNeighbouringBytes) {
  EXPECT_EQ(plain_run_length("\x21\x20\x23\x5d\x5b\x80\xff\x22", 8), 7u);
  EXPECT_EQ(plain_run_length("\x01\x22\x5c\x00\x1f\x21\x21\x21", 8), 0u);
  EXPECT_EQ(plain_run_length("", 0), 0u);
}

// Every byte value at every place of runs of every length up to two chunks
// and a half: the digit scan stops at the first byte outside '0'-'9'.
TEST(DigitRunLength, StopsAtTheFirstNonDigitWhereverItIs) {
  for (std::size_t length = 1; length < 20; ++length) {
    for (int byte = 0; byte < 256; ++byte) {
      for (std::size_t place = 0; place < length; ++place) {
        std::string text(length, '7');
        text[place] = static_cast<char>(byte);
        const std::size_t expected = byte >= '0' && byte <= '9' ? length : place;
        ASSERT_EQ(digit_run_length(text.data(), text.size()), expected)
            << "byte " << byte << " at " << place << " of " << length;
      }
    }
  }
  EXPECT_EQ(digit_run_length("", 0), 0u);
  EXPECT_EQ(digit_run_length("0123456789/:", 12), 10u);
}

TEST(StringRoundTrip, LongStringsWithEscapesAtEveryPlace) {
  for (std::size_t place = 0; place < 40; ++place) {
    std::string raw(40, 'x');
    raw[place] = place % 2 ? '\n' : '"';
    const std::string text = to_compact_text(JsonValue(raw));
    auto parsed = parse_json(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_EQ(std::string_view(*parsed->as_string()), raw);
  }
}

}  // namespace
}  // namespace brelvo::json::internal
