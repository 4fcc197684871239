// The order objects keep their members in: ascending key bytes, one member
// per key, the last given of a repeated key winning. JsonObject::from_members
// and the parser each keep keys in storage of their own; both order them here.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "json/string_scan.h"

namespace brelvo::json {

// A member's place in the sort: the first eight key bytes as a big-endian
// integer order most keys with one comparison; ties fall back to the bytes.
struct MemberSortKey {
  std::uint64_t prefix;
  std::uint32_t position;
};

// The key's first eight bytes, zero-padded. Reads only the key's own bytes.
inline std::uint64_t key_prefix(std::string_view key) {
  const std::size_t size = key.size();
  if (size >= 8) return std::byteswap(detail::load_little_endian(key.data()));
  const std::uint64_t word = std::byteswap(detail::load_short_padded(key.data(), size));
  return word & ~(~std::uint64_t{0} >> (8 * size));
}

// Sorts keys, made by key_prefix for the member at each position, into the
// order above and drops all but the last of each key. Gives how many are left,
// at the front of keys. key_of(position) gives that member's key bytes.
template <typename KeyOf>
std::size_t order_members(std::span<MemberSortKey> keys, const KeyOf& key_of) {
  // Equal keys sort by position, so that the last of a run is the one given latest.
  const auto before = [&key_of](const MemberSortKey& a, const MemberSortKey& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const int c = key_of(a.position).compare(key_of(b.position));
    return c < 0 || (c == 0 && a.position < b.position);
  };
  const auto same = [&key_of](const MemberSortKey& a, const MemberSortKey& b) {
    return a.prefix == b.prefix && key_of(a.position) == key_of(b.position);
  };
  if (!std::is_sorted(keys.begin(), keys.end(), before))
    std::sort(keys.begin(), keys.end(), before);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i + 1 == keys.size() || !same(keys[i], keys[i + 1])) keys[kept++] = keys[i];
  }
  return kept;
}

}  // namespace brelvo::json
