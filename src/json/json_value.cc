#include "json/json_value.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "json/utf8.h"

namespace brelvo::json {

bool operator==(const JsonNumber& a, const JsonNumber& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case JsonNumber::Kind::kUnsigned:
      return a.bits_.u == b.bits_.u;
    case JsonNumber::Kind::kNegative:
      return a.bits_.i == b.bits_.i;
    case JsonNumber::Kind::kFloat:
      // Bitwise, so that -0.0 and 0.0 stay apart like their texts do.
      return std::signbit(a.bits_.d) == std::signbit(b.bits_.d) && a.bits_.d == b.bits_.d;
  }
  return false;
}

namespace {

bool key_less(const JsonMember& member, std::string_view key) {
  return member.key < key;
}

}  // namespace

namespace {

// A member's place in the sort: the first eight key bytes as a big-endian
// integer order most keys with one comparison; ties fall back to the bytes.
struct SortKey {
  std::uint64_t prefix;
  std::uint32_t position;
};

std::uint64_t key_prefix(const std::string& key) {
  const std::size_t size = key.size();
  if (size == 0) return 0;
  std::uint64_t word = 0;
  // A string's storage holds capacity() bytes, so eight can be read whole
  // when it has room for them; the bytes past the key are masked off.
  std::memcpy(&word, key.data(), key.capacity() >= 8 ? 8 : size);
  if constexpr (std::endian::native == std::endian::little) word = std::byteswap(word);
  return size >= 8 ? word : word & ~(~std::uint64_t{0} >> (8 * size));
}

// Keys compare by bytes; equal keys by position, so that the last of a run
// of equal keys is the one given latest.
bool sorts_before(const SortKey& a, const SortKey& b, std::span<const JsonMember> members) {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  const int c = members[a.position].key.compare(members[b.position].key);
  return c < 0 || (c == 0 && a.position < b.position);
}

bool same_key(const SortKey& a, const SortKey& b, std::span<const JsonMember> members) {
  return a.prefix == b.prefix && members[a.position].key == members[b.position].key;
}

}  // namespace

JsonObject JsonObject::from_members(std::span<JsonMember> members) {
  JsonObject object;
  object.members_.reserve(members.size());
  constexpr std::size_t kSmall = 32;
  SortKey small[kSmall];
  std::unique_ptr<SortKey[]> large;
  SortKey* keys = small;
  if (members.size() > kSmall) {
    large = std::make_unique_for_overwrite<SortKey[]>(members.size());
    keys = large.get();
  }
  bool ascending = true;
  for (std::size_t i = 0; i < members.size(); ++i) {
    keys[i] = {key_prefix(members[i].key), static_cast<std::uint32_t>(i)};
    if (i > 0 && ascending) ascending = sorts_before(keys[i - 1], keys[i], members);
  }
  const std::span<SortKey> order(keys, members.size());
  if (!ascending) {
    std::sort(order.begin(), order.end(), [members](const SortKey& a, const SortKey& b) {
      return sorts_before(a, b, members);
    });
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    const bool repeated_later = i + 1 < order.size() && same_key(order[i], order[i + 1], members);
    if (!repeated_later) object.members_.push_back(std::move(members[order[i].position]));
  }
  return object;
}

std::optional<JsonValue> JsonObject::insert(std::string key, JsonValue value) {
  if (members_.empty() || members_.back().key < key) {
    members_.push_back({std::move(key), std::move(value)});
    return std::nullopt;
  }
  auto it = std::lower_bound(members_.begin(), members_.end(), key, key_less);
  if (it != members_.end() && it->key == key) {
    std::swap(it->value, value);
    return value;
  }
  members_.insert(it, {std::move(key), std::move(value)});
  return std::nullopt;
}

std::optional<JsonValue> JsonObject::remove(std::string_view key) {
  auto it = std::lower_bound(members_.begin(), members_.end(), key, key_less);
  if (it == members_.end() || it->key != key) return std::nullopt;
  JsonValue removed = std::move(it->value);
  members_.erase(it);
  return removed;
}

const JsonValue* JsonObject::get(std::string_view key) const {
  auto it = std::lower_bound(members_.begin(), members_.end(), key, key_less);
  return it != members_.end() && it->key == key ? &it->value : nullptr;
}

JsonValue* JsonObject::get(std::string_view key) {
  return const_cast<JsonValue*>(std::as_const(*this).get(key));
}

bool operator==(const JsonObject& a, const JsonObject& b) {
  return a.members_ == b.members_;
}

JsonValue::JsonValue(double d) {
  if (std::isfinite(d)) data_ = JsonNumber::from_double(d);
}

JsonValue JsonValue::from_strings(const std::vector<std::string>& strings) {
  JsonArray array;
  array.reserve(strings.size());
  for (const auto& s : strings) array.emplace_back(s);
  return array;
}

std::optional<std::uint64_t> JsonValue::as_unsigned() const {
  const JsonNumber* n = as_number();
  if (n == nullptr || n->kind() != JsonNumber::Kind::kUnsigned) return std::nullopt;
  return n->unsigned_value();
}

const JsonValue* JsonValue::get(std::string_view key) const {
  const JsonObject* object = as_object();
  return object != nullptr ? object->get(key) : nullptr;
}

JsonValue* JsonValue::get(std::string_view key) {
  JsonObject* object = as_object();
  return object != nullptr ? object->get(key) : nullptr;
}

std::optional<JsonValue> JsonValue::insert(std::string key, JsonValue value) {
  JsonObject* object = as_object();
  if (object == nullptr) return std::nullopt;
  return object->insert(std::move(key), std::move(value));
}

std::optional<JsonValue> JsonValue::remove(std::string_view key) {
  JsonObject* object = as_object();
  return object != nullptr ? object->remove(key) : std::nullopt;
}

std::expected<JsonValue, JsonParseError> json_from_path(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (!is_valid_utf8(text))
    return std::unexpected(JsonParseError{"path contains invalid UTF-8 characters", 0, 0});
  return JsonValue(text);
}

}  // namespace brelvo::json
