// JsonValue: the one dynamic value type for everything the program reads,
// builds, sends and prints.
//
//   JsonValue v = JsonObject{};
//   v.insert("tool", "find_elements");      // strings are copied in
//   v.insert("count", 3);                   // non-negative ints are unsigned
//   v.insert("scale", 1.0);                 // doubles stay floats: "1.0"
//   to_compact_text(v);   // {"count":3,"scale":1.0,"tool":"find_elements"}
//
//   v.get_string("tool");                    // "find_elements", a std::string_view
//   v.get_string("count");                   // nothing: the member is not a string
//   v.get_string("name").value_or("none");   // a missing member's default
//   v.get_unsigned("count");                 // 3
//   v.get_unsigned("scale");                 // nothing: 1.0 is a float
//   v.get("scale");                          // the member itself, of any kind
//   v.remove("tool");                        // moves the member out, bytes and all
//
// Numbers keep their kind (unsigned, negative, float) from construction to
// text, so 1 and 1.0 round-trip as different texts. Objects keep one value per
// key and always present members in ascending byte order of their keys; the
// last insert of a key wins. Values own their children; copies are deep.
// String values are JsonStrings, whose bytes come from the trees' pool: a
// JsonString passed in is moved, any other string's bytes are copied. They are
// read as std::string_view; moving the JsonValue moves the bytes. A string
// that is most of a parsed text may instead keep that text's own buffer
// (parse_json_taking); copies of it are JsonStrings again.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json/internal/node_pool.h"
#include "json/json_error.h"

namespace brelvo::json {

class JsonValue;

namespace internal {
// The bytes of a value known to be a string, unchecked: the parser's key
// comparisons and the printer go without as_string()'s optional, which g++
// passes through memory.
std::string_view string_bytes(const JsonValue& value);
// For the parser: a string value that will hold bytes of a whole text, its
// buffer and all, and that text's bytes [offset, offset + length) put in.
JsonValue text_placeholder();
bool is_text_placeholder(const JsonValue& value);
void take_text(JsonValue& placeholder, std::string&& text, std::size_t offset, std::size_t length);
}  // namespace internal

// A finite number in exactly one of three representations.
class JsonNumber {
 public:
  enum class Kind : std::uint8_t { kUnsigned, kNegative, kFloat };

  // Inline: the parser makes one per number.
  static JsonNumber from_unsigned(std::uint64_t value) {
    JsonNumber n;
    n.bits_.u = value;
    return n;
  }
  // Zero and positive values are stored as unsigned.
  static JsonNumber from_signed(std::int64_t value) {
    if (value >= 0) return from_unsigned(static_cast<std::uint64_t>(value));
    JsonNumber n;
    n.kind_ = Kind::kNegative;
    n.bits_.i = value;
    return n;
  }
  // Non-finite doubles are rejected by JsonValue, never stored here.
  static JsonNumber from_double(double value) {
    JsonNumber n;
    n.kind_ = Kind::kFloat;
    n.bits_.d = value;
    return n;
  }

  Kind kind() const { return kind_; }
  std::uint64_t unsigned_value() const { return bits_.u; }
  std::int64_t negative_value() const { return bits_.i; }
  double float_value() const { return bits_.d; }

  friend bool operator==(const JsonNumber& a, const JsonNumber& b);

 private:
  union Bits {
    std::uint64_t u;
    std::int64_t i;
    double d;
  };
  Kind kind_ = Kind::kUnsigned;
  Bits bits_{.u = 0};
};

struct JsonMember;

// Members sorted by key bytes, one per key.
class JsonObject {
 public:
  using Members = std::vector<JsonMember, internal::PoolAllocator<JsonMember>>;
  using const_iterator = Members::const_iterator;
  using iterator = Members::iterator;

  JsonObject();
  ~JsonObject();
  JsonObject(const JsonObject&);
  JsonObject(JsonObject&&) noexcept;
  JsonObject& operator=(const JsonObject&);
  JsonObject& operator=(JsonObject&&) noexcept;
  // Builds from members in any order in O(n log n), moving them out of the
  // span; of repeated keys the later member wins.
  static JsonObject from_members(std::span<JsonMember> members);
  // Takes members already in that order, one per key, as a builder that
  // sorts them itself (the parser) makes them.
  static JsonObject from_ordered_members(Members members);

  // Returns the value previously stored under the key, if any.
  std::optional<JsonValue> insert(std::string key, JsonValue value);
  std::optional<JsonValue> remove(std::string_view key);
  const JsonValue* get(std::string_view key) const;
  JsonValue* get(std::string_view key);
  bool contains(std::string_view key) const { return get(key) != nullptr; }

  std::size_t size() const;
  bool empty() const;
  const_iterator begin() const;
  const_iterator end() const;
  iterator begin();
  iterator end();

  friend bool operator==(const JsonObject& a, const JsonObject& b);

 private:
  Members members_;
};

using JsonArray = std::vector<JsonValue, internal::PoolAllocator<JsonValue>>;
// A string value's bytes come from the pool too: a parse makes thousands.
using JsonString = std::basic_string<char, std::char_traits<char>, internal::PoolAllocator<char>>;

class JsonValue {
 public:
  enum class Kind : std::uint8_t { kNull, kBool, kNumber, kString, kArray, kObject };

  JsonValue() noexcept {}
  JsonValue(std::nullptr_t) noexcept {}
  JsonValue(bool b) noexcept : kind_(Kind::kBool) { storage_.boolean = b; }
  JsonValue(JsonNumber n) noexcept : kind_(Kind::kNumber) { storage_.number = n; }
  JsonValue(int n) noexcept : JsonValue(JsonNumber::from_signed(n)) {}
  JsonValue(long n) noexcept : JsonValue(JsonNumber::from_signed(n)) {}
  JsonValue(long long n) noexcept : JsonValue(JsonNumber::from_signed(n)) {}
  JsonValue(unsigned n) noexcept : JsonValue(JsonNumber::from_unsigned(n)) {}
  JsonValue(unsigned long n) noexcept : JsonValue(JsonNumber::from_unsigned(n)) {}
  JsonValue(unsigned long long n) noexcept : JsonValue(JsonNumber::from_unsigned(n)) {}
  // A non-finite double gives null.
  JsonValue(double d);
  JsonValue(JsonString s) noexcept : kind_(Kind::kString) {
    std::construct_at(&storage_.string, std::move(s));
  }
  // Copies the bytes: a std::string's buffer cannot pass to the pool.
  JsonValue(const std::string& s) : JsonValue(std::string_view(s)) {}
  // Built in place: a string made aside and moved in costs a second copy
  // of its bytes when they fit in the string itself.
  JsonValue(std::string_view s) : kind_(Kind::kString) { std::construct_at(&storage_.string, s); }
  JsonValue(const char* s) : kind_(Kind::kString) { std::construct_at(&storage_.string, s); }
  JsonValue(JsonArray a) noexcept : kind_(Kind::kArray) {
    std::construct_at(&storage_.array, std::move(a));
  }
  JsonValue(JsonObject o) noexcept : kind_(Kind::kObject) {
    std::construct_at(&storage_.object, std::move(o));
  }

  JsonValue(const JsonValue& other);
  JsonValue(JsonValue&& other) noexcept : kind_(other.kind_) { take_from(other); }
  JsonValue& operator=(const JsonValue& other);
  JsonValue& operator=(JsonValue&& other) noexcept;
  // Scalars own nothing: destroying one, as most of a tree is, decides one
  // branch and calls nothing.
  ~JsonValue() {
    if (kind_ >= Kind::kString) release();
  }

  // An array of strings, in list order.
  static JsonValue from_strings(const std::vector<std::string>& strings);

  Kind kind() const { return kind_; }
  bool is_null() const { return kind_ == Kind::kNull; }
  bool is_bool() const { return kind_ == Kind::kBool; }
  bool is_number() const { return kind_ == Kind::kNumber; }
  bool is_string() const { return kind_ == Kind::kString; }
  bool is_array() const { return kind_ == Kind::kArray; }
  bool is_object() const { return kind_ == Kind::kObject; }

  // Each accessor gives nothing (nullptr) for a value of another kind.
  const bool* as_bool() const { return is_bool() ? &storage_.boolean : nullptr; }
  const JsonNumber* as_number() const { return is_number() ? &storage_.number : nullptr; }
  std::optional<std::string_view> as_string() const {
    if (!is_string()) return std::nullopt;
    return string_view();
  }
  const JsonArray* as_array() const { return is_array() ? &storage_.array : nullptr; }
  JsonArray* as_array() { return is_array() ? &storage_.array : nullptr; }
  const JsonObject* as_object() const { return is_object() ? &storage_.object : nullptr; }
  JsonObject* as_object() { return is_object() ? &storage_.object : nullptr; }
  // The integer of a number in the unsigned representation.
  std::optional<std::uint64_t> as_unsigned() const;
  bool is_true() const { return is_bool() && storage_.boolean; }

  // Member of an object; nothing when this is not an object or lacks the key.
  const JsonValue* get(std::string_view key) const;
  JsonValue* get(std::string_view key);
  // The member's as_string() and as_unsigned(): nothing also when the member
  // is of another kind. Inline: defined in json_value.cc, they moved g++ to
  // stop inlining JsonObject::insert's moves of values.
  std::optional<std::string_view> get_string(std::string_view key) const {
    const JsonValue* member = get(key);
    return member != nullptr ? member->as_string() : std::nullopt;
  }
  std::optional<std::uint64_t> get_unsigned(std::string_view key) const {
    const JsonValue* member = get(key);
    return member != nullptr ? member->as_unsigned() : std::nullopt;
  }
  // Object members; on a value of another kind both do nothing and give nothing.
  std::optional<JsonValue> insert(std::string key, JsonValue value);
  std::optional<JsonValue> remove(std::string_view key);

  friend bool operator==(const JsonValue& a, const JsonValue& b);
  friend std::string_view internal::string_bytes(const JsonValue& value);
  friend JsonValue internal::text_placeholder();
  friend bool internal::is_text_placeholder(const JsonValue& value);
  friend void internal::take_text(JsonValue& placeholder, std::string&& text, std::size_t offset,
                                  std::size_t length);

 private:
  // A tagged union rather than std::variant: a variant destroys and moves
  // through a table of functions, one indirect call per value, which was a
  // tenth of parsing a document and destroying its tree.
  union Storage {
    Storage() {}
    ~Storage() {}
    bool boolean;
    JsonNumber number;
    JsonString string;
    // A string that keeps a parsed text's buffer, whole_text_ tells; its
    // bytes start at text_offset_.
    std::string text;
    JsonArray array;
    JsonObject object;
  };

  // Moves other's contents into this value's storage, which holds nothing;
  // kind_ is already other's.
  void take_from(JsonValue& other) noexcept {
    whole_text_ = other.whole_text_;
    text_offset_ = other.text_offset_;
    switch (kind_) {
      case Kind::kString:
        if (whole_text_) {
          std::construct_at(&storage_.text, std::move(other.storage_.text));
        } else {
          std::construct_at(&storage_.string, std::move(other.storage_.string));
        }
        break;
      case Kind::kArray:
        std::construct_at(&storage_.array, std::move(other.storage_.array));
        break;
      case Kind::kObject:
        std::construct_at(&storage_.object, std::move(other.storage_.object));
        break;
      default:
        copy_scalar_from(other);
        break;
    }
  }
  void copy_scalar_from(const JsonValue& other) noexcept {
    if (kind_ == Kind::kBool) storage_.boolean = other.storage_.boolean;
    if (kind_ == Kind::kNumber) storage_.number = other.storage_.number;
  }
  // Destroys a string, array or object.
  void release() noexcept;
  std::string_view string_view() const {
    if (!whole_text_) return storage_.string;
    return std::string_view(storage_.text).substr(text_offset_);
  }

  Storage storage_;
  Kind kind_ = Kind::kNull;
  bool whole_text_ = false;
  // Where a whole text's string starts in it: its bytes stay where they were
  // parsed, and the rest of the text after them is cut off.
  std::uint32_t text_offset_ = 0;
};

struct JsonMember {
  std::string key;
  JsonValue value;

  friend bool operator==(const JsonMember& a, const JsonMember& b) = default;
};

// Defined here, where JsonMember is complete.
inline JsonObject::JsonObject() = default;
inline JsonObject::~JsonObject() = default;
inline JsonObject::JsonObject(const JsonObject&) = default;
inline JsonObject::JsonObject(JsonObject&&) noexcept = default;
inline JsonObject& JsonObject::operator=(const JsonObject&) = default;
inline JsonObject& JsonObject::operator=(JsonObject&&) noexcept = default;
inline std::size_t JsonObject::size() const {
  return members_.size();
}
inline bool JsonObject::empty() const {
  return members_.empty();
}
inline JsonObject::const_iterator JsonObject::begin() const {
  return members_.begin();
}
inline JsonObject::const_iterator JsonObject::end() const {
  return members_.end();
}
inline JsonObject::iterator JsonObject::begin() {
  return members_.begin();
}
inline JsonObject::iterator JsonObject::end() {
  return members_.end();
}

inline std::string_view internal::string_bytes(const JsonValue& value) {
  return value.string_view();
}

inline void JsonValue::release() noexcept {
  switch (kind_) {
    case Kind::kString:
      if (whole_text_) {
        std::destroy_at(&storage_.text);
      } else {
        std::destroy_at(&storage_.string);
      }
      break;
    case Kind::kArray:
      std::destroy_at(&storage_.array);
      break;
    case Kind::kObject:
      std::destroy_at(&storage_.object);
      break;
    default:
      break;
  }
}

// A string value holding the path's text; a path that is not valid UTF-8
// gives "path contains invalid UTF-8 characters" with line 0.
std::expected<JsonValue, JsonParseError> json_from_path(const std::filesystem::path& path);

}  // namespace brelvo::json
