#include "json/internal/member_order.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "json/internal/string_scan.h"

namespace brelvo::json::internal {
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

// Objects of every size either side of each way of sorting, with keys that
// share eight-byte prefixes, differ past them, repeat, or are empty: the
// members kept are those of a map fed the keys in order, last one winning.
TEST(OrderMembers, KeepsTheLastOfEachKeyInByteOrderAtEverySize) {
  const std::vector<std::string> stems{
      "", "a", "prop_", "property_", "property_name_", std::string("\x00\xff", 2)};
  std::mt19937 random(11);
  for (std::size_t size = 1; size <= kCountingSortMax + 8; ++size) {
    for (int round = 0; round < 20; ++round) {
      std::vector<std::string> keys;
      for (std::size_t i = 0; i < size; ++i) {
        keys.push_back(stems[random() % stems.size()] + std::to_string(random() % (2 * size)));
      }
      std::map<std::string, std::uint32_t> expected;
      std::vector<MemberSortKey> order;
      for (std::uint32_t i = 0; i < size; ++i) {
        expected[keys[i]] = i;
        order.push_back({key_prefix(keys[i]), i});
      }
      const std::size_t kept = order_members(
          std::span(order), [&keys](std::uint32_t i) -> std::string_view { return keys[i]; });
      ASSERT_EQ(kept, expected.size()) << size;
      std::size_t k = 0;
      for (const auto& [key, position] : expected) {
        ASSERT_EQ(order[k++].position, position) << "size " << size << ", key " << key;
      }
    }
  }
}

}  // namespace
}  // namespace brelvo::json::internal
