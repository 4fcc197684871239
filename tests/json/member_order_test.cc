#include "json/member_order.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "json/string_scan.h"

namespace brelvo::json {
namespace {

// Keys over bytes at the edges of signedness and of the scan's stops:
// the prefix must never order two keys against their bytes.
TEST(KeyPrefix, NeverOrdersKeysAgainstTheirBytes) {
  const std::string alphabet(
      "\x00\x01\x7f\x80\xff"
      "a",
      6);
  // Every length from empty to past one prefix, each byte at each place.
  std::vector<std::string> keys{""};
  for (std::size_t length = 1; length < 10; ++length) {
    for (std::size_t place = 0; place < length; ++place) {
      for (char c : alphabet) {
        std::string key(length, 'a');
        key[place] = c;
        keys.push_back(key);
      }
    }
  }
  for (const std::string& a : keys) {
    for (const std::string& b : keys) {
      const std::string_view va(a);
      const std::string_view vb(b);
      if (key_prefix(va) < key_prefix(vb)) {
        ASSERT_LT(va.compare(vb), 0)
            << testing::PrintToString(a) << " " << testing::PrintToString(b);
      }
      if (va.compare(vb) < 0) {
        ASSERT_LE(key_prefix(va), key_prefix(vb))
            << testing::PrintToString(a) << " " << testing::PrintToString(b);
      }
    }
  }
}

// Keys and strings under eight bytes are read from storage of exactly their
// size, where a sanitizer build reports any byte read past them.
TEST(KeyPrefix, ReadsOnlyTheKeysOwnBytes) {
  for (std::size_t size = 0; size < 8; ++size) {
    const auto bytes = std::make_unique<char[]>(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i);
    const std::string_view key(bytes.get(), size);
    const std::uint64_t expected = key_prefix(std::string(key) + std::string(8, '\0'));
    EXPECT_EQ(key_prefix(key), expected) << size;
    char copy[16];
    EXPECT_EQ(copy_plain_run(bytes.get(), size, copy), size);
    EXPECT_EQ(std::string_view(copy, size), key);
  }
}

}  // namespace
}  // namespace brelvo::json
