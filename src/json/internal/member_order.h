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

#include "json/internal/string_scan.h"

namespace brelvo::json::internal {

// A member's place in the sort: the first eight key bytes as a big-endian
// integer order most keys with one comparison; ties fall back to the bytes.
struct MemberSortKey {
  std::uint64_t prefix;
  std::uint32_t position;
};

// The key's first eight bytes, zero-padded. Reads only the key's own bytes.
inline std::uint64_t key_prefix(std::string_view key) {
  const std::size_t size = key.size();
  if (size >= 8) return std::byteswap(load_little_endian(key.data()));
  const std::uint64_t word = std::byteswap(load_short_padded(key.data(), size));
  return word & ~(~std::uint64_t{0} >> (8 * size));
}

// Objects with keys from kCountingSortMin to kCountingSortMax are put in
// order by counting (order_by_prefix), the others by std::sort. A comparison
// sort mispredicts about once per key it moves when keys come in no
// particular order, which costs it more than all its other work; counting
// costs n * n steps but decides no branch on the keys. Below nine keys the
// insertion sort std::sort does is cheap, and records repeated in an array
// teach the predictor its few branches.
inline constexpr std::size_t kCountingSortMin = 9;
inline constexpr std::size_t kCountingSortMax = 64;

// Orders keys, given in position order and at most kCountingSortMax, by
// prefix and, among equal prefixes, by position: each key's place is the
// number of keys that go before it. This and order_equal_prefixes stay out of
// line: inlined into the parser, their code slowed the objects that never
// come here by a few per cent.
[[gnu::noinline]] inline void order_by_prefix(std::span<MemberSortKey> keys) {
  MemberSortKey ordered[kCountingSortMax];
  const std::size_t n = keys.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t prefix = keys[i].prefix;
    std::size_t place = 0;
    for (std::size_t j = 0; j < i; ++j) place += keys[j].prefix <= prefix;
    for (std::size_t j = i + 1; j < n; ++j) place += keys[j].prefix < prefix;
    ordered[place] = keys[i];
  }
  std::copy_n(ordered, n, keys.begin());
}

// Sorts the runs of keys that share a prefix by the rest of their bytes.
template <typename Before>
[[gnu::noinline]] void order_equal_prefixes(std::span<MemberSortKey> keys, const Before& before) {
  for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
    if (keys[i].prefix != keys[i + 1].prefix) continue;
    std::size_t end = i + 2;
    while (end < keys.size() && keys[end].prefix == keys[i].prefix) ++end;
    std::sort(keys.begin() + static_cast<std::ptrdiff_t>(i),
              keys.begin() + static_cast<std::ptrdiff_t>(end), before);
    i = end - 1;
  }
}

// Sorts keys, made by key_prefix for the member at each position and given in
// position order, into the order above and drops all but the last of each
// key. Gives how many are left, at the front of keys. key_of(position) gives
// that member's key bytes.
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
  if (!std::is_sorted(keys.begin(), keys.end(), before)) {
    if (keys.size() >= kCountingSortMin && keys.size() <= kCountingSortMax) {
      order_by_prefix(keys);
      order_equal_prefixes(keys, before);
    } else {
      std::sort(keys.begin(), keys.end(), before);
    }
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i + 1 == keys.size() || !same(keys[i], keys[i + 1])) keys[kept++] = keys[i];
  }
  return kept;
}

}  // namespace brelvo::json::internal
