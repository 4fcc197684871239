#include "json/json_value.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "json/internal/member_order.h"
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

JsonObject JsonObject::from_members(std::span<JsonMember> members) {
  constexpr std::size_t kSmall = 32;
  internal::MemberSortKey small[kSmall];
  std::unique_ptr<internal::MemberSortKey[]> large;
  internal::MemberSortKey* keys = small;
  if (members.size() > kSmall) {
    large = std::make_unique_for_overwrite<internal::MemberSortKey[]>(members.size());
    keys = large.get();
  }
  for (std::size_t i = 0; i < members.size(); ++i) {
    keys[i] = {internal::key_prefix(members[i].key), static_cast<std::uint32_t>(i)};
  }
  const std::span<internal::MemberSortKey> order(keys, members.size());
  const std::size_t kept = internal::order_members(
      order,
      [members](std::uint32_t position) -> std::string_view { return members[position].key; });
  JsonObject object;
  object.members_.reserve(kept);
  for (const internal::MemberSortKey& key : order.first(kept)) {
    object.members_.push_back(std::move(members[key.position]));
  }
  return object;
}

JsonObject JsonObject::from_ordered_members(Members members) {
  JsonObject object;
  object.members_ = std::move(members);
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
  if (!std::isfinite(d)) return;
  kind_ = Kind::kNumber;
  storage_.number = JsonNumber::from_double(d);
}

JsonValue::JsonValue(const JsonValue& other) : kind_(other.kind_) {
  switch (kind_) {
    case Kind::kString:
      std::construct_at(&storage_.string, other.string_view());
      break;
    case Kind::kArray:
      std::construct_at(&storage_.array, other.storage_.array);
      break;
    case Kind::kObject:
      std::construct_at(&storage_.object, other.storage_.object);
      break;
    default:
      copy_scalar_from(other);
      break;
  }
}

// Through a temporary: other may live inside this value, as when a value is
// replaced by one of its own elements.
JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
  JsonValue taken(std::move(other));
  release();
  kind_ = taken.kind_;
  take_from(taken);
  return *this;
}

JsonValue& JsonValue::operator=(const JsonValue& other) {
  return *this = JsonValue(other);
}

bool operator==(const JsonValue& a, const JsonValue& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case JsonValue::Kind::kNull:
      return true;
    case JsonValue::Kind::kBool:
      return a.storage_.boolean == b.storage_.boolean;
    case JsonValue::Kind::kNumber:
      return a.storage_.number == b.storage_.number;
    case JsonValue::Kind::kString:
      return a.string_view() == b.string_view();
    case JsonValue::Kind::kArray:
      return a.storage_.array == b.storage_.array;
    case JsonValue::Kind::kObject:
      return a.storage_.object == b.storage_.object;
  }
  return false;
}

JsonValue internal::text_placeholder() {
  JsonValue placeholder;
  placeholder.kind_ = JsonValue::Kind::kString;
  placeholder.whole_text_ = true;
  std::construct_at(&placeholder.storage_.text);
  return placeholder;
}

bool internal::is_text_placeholder(const JsonValue& value) {
  return value.whole_text_ && value.is_string() && value.storage_.text.empty();
}

void internal::take_text(JsonValue& placeholder, std::string&& text, std::size_t offset,
                         std::size_t length) {
  std::string& bytes = placeholder.storage_.text;
  bytes = std::move(text);
  if (offset <= std::numeric_limits<std::uint32_t>::max()) {
    placeholder.text_offset_ = static_cast<std::uint32_t>(offset);
    bytes.resize(offset + length);
  } else {
    std::memmove(bytes.data(), bytes.data() + offset, length);
    bytes.resize(length);
  }
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
