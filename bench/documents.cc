#include "documents.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

namespace brelvo::bench {
namespace {

constexpr std::size_t kImageBytes = 32u << 20;

// A small deterministic generator (splitmix64): the same documents on every
// machine and every run.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

constexpr std::array<std::string_view, 16> kWords = {
    "wall",   "slab",  "beam",   "column", "door", "window", "stair", "roof",
    "façade", "level", "storey", "zone",   "duct", "pipe",   "space", "site"};

void append_uint(std::string& out, std::uint64_t n) {
  char buffer[24];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, n).ptr);
}

void append_double(std::string& out, double d) {
  char buffer[32];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, d).ptr);
}

void append_key(std::string& out, std::string_view key) {
  out += '"';
  out += key;
  out += "\":";
}

void append_words(std::string& out, Random& random, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    out += kWords[random.below(kWords.size())];
  }
}

void append_post(std::string& out, Random& random, std::uint64_t id) {
  out += '{';
  append_key(out, "id");
  append_uint(out, 1'000'000'000'000 + id);
  out += ',';
  append_key(out, "user");
  out += '{';
  append_key(out, "id");
  append_uint(out, random.below(100'000));
  out += ",\"name\":\"";
  append_words(out, random, 2);
  out += "\",\"verified\":";
  out += random.below(4) == 0 ? "true" : "false";
  out += ",\"followers\":";
  append_uint(out, random.below(5'000'000));
  out += "},\"text\":\"";
  append_words(out, random, 6 + random.below(10));
  if (random.below(5) == 0) out += " \\\"quoted\\\"\\n\\u00e9t\\u00e9";
  out += "\",\"tags\":[";
  const std::size_t tags = random.below(4);
  for (std::size_t t = 0; t < tags; ++t) {
    if (t > 0) out += ',';
    out += '"';
    out += kWords[random.below(kWords.size())];
    out += '"';
  }
  out += "],\"likes\":";
  append_uint(out, random.below(10'000));
  out += ",\"reply_to\":null,\"lang\":\"en\",\"score\":";
  append_double(out, static_cast<double>(random.below(1000)) / 8.0);
  out += '}';
}

void append_float_array(std::string& out, Random& random, std::size_t count, double scale) {
  out += '[';
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += ',';
    append_double(out, (random.unit() - 0.5) * scale);
  }
  out += ']';
}

void append_mesh(std::string& out, Random& random, std::size_t index) {
  out += "{\"name\":\"mesh-";
  append_uint(out, index);
  out += "\",\"vertices\":";
  append_float_array(out, random, 300, 200.0);
  out += ",\"normals\":";
  append_float_array(out, random, 300, 2.0);
  out += ",\"indices\":[";
  for (std::size_t i = 0; i < 200; ++i) {
    if (i > 0) out += ',';
    append_uint(out, random.below(100));
  }
  out += "]}";
}

// An object whose keys are distinct and unordered, with children to `depth`.
void append_catalogue_node(std::string& out, Random& random, int depth) {
  out += '{';
  const std::size_t keys = 12 + random.below(20);
  for (std::size_t k = 0; k < keys; ++k) {
    if (k > 0) out += ',';
    out += "\"prop_";
    append_uint(out, random.below(1'000'000));
    out += "_";
    append_uint(out, k);
    out += "\":";
    if (depth > 0 && k < 3) {
      append_catalogue_node(out, random, depth - 1);
    } else if (k % 3 == 0) {
      append_uint(out, random.below(1'000'000));
    } else {
      out += '"';
      append_words(out, random, 1 + random.below(3));
      out += '"';
    }
  }
  out += '}';
}

void append_tool(std::string& out, Random& random, std::size_t index) {
  out += "{\"name\":\"tool_";
  append_uint(out, index);
  out += "\",\"description\":\"";
  append_words(out, random, 12);
  out += ".\",\"inputSchema\":{\"type\":\"object\",\"properties\":{";
  const std::size_t properties = 1 + random.below(5);
  for (std::size_t p = 0; p < properties; ++p) {
    if (p > 0) out += ',';
    out += "\"arg";
    append_uint(out, p);
    out += "\":{\"type\":\"string\",\"description\":\"";
    append_words(out, random, 4);
    out += "\"}";
  }
  out += "},\"required\":[\"arg0\"]}}";
}

template <typename AppendItem>
std::string array_of(std::size_t count, std::uint64_t seed, AppendItem append_item) {
  Random random(seed);
  std::string out = "[";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += ',';
    append_item(out, random, i);
  }
  out += ']';
  return out;
}

}  // namespace

std::string social_feed_document() {
  return "{\"statuses\":" + array_of(2'600, 1, append_post) + ",\"next\":\"cursor-2\"}";
}

std::string geometry_document() {
  return "{\"meshes\":" + array_of(165, 2, append_mesh) + ",\"unit\":\"m\"}";
}

std::string catalogue_document() {
  return "{\"classes\":" +
         array_of(24, 3,
                  [](std::string& out, Random& random, std::size_t) {
                    append_catalogue_node(out, random, 4);
                  }) +
         "}";
}

std::string tool_catalogue_document() {
  return "{\"tools\":" + array_of(2'000, 4, append_tool) + "}";
}

std::string image_base64_text() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Random random(5);
  std::string text;
  text.reserve(kImageBytes / 3 * 4 + 4);
  // Whole groups of random symbols, then a tail whose unused bits are zero
  // so that a strict decoder accepts it.
  const std::size_t groups = kImageBytes / 3;
  for (std::size_t i = 0; i < groups * 4; ++i) text += kAlphabet[random.below(64)];
  const std::size_t tail = kImageBytes % 3;
  if (tail == 2) {
    text += kAlphabet[random.below(64)];
    text += kAlphabet[random.below(64)];
    text += kAlphabet[random.below(16) * 4];
    text += '=';
  } else if (tail == 1) {
    text += kAlphabet[random.below(64)];
    text += kAlphabet[random.below(4) * 16];
    text += "==";
  }
  return text;
}

std::string image_answer_document() {
  return "{\"height\":2048,\"imageBase64\":\"" + image_base64_text() +
         "\",\"mimeType\":\"image/png\",\"width\":4096}";
}

std::vector<Document> all_documents() {
  return {{"social_feed", social_feed_document()},
          {"geometry", geometry_document()},
          {"catalogue", catalogue_document()},
          {"tool_catalogue", tool_catalogue_document()},
          {"image_answer", image_answer_document()}};
}

}  // namespace brelvo::bench
