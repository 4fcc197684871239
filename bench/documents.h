// The benchmark documents, generated from a fixed seed so every run and every
// library sees the same bytes.
#pragma once

#include <string>
#include <vector>

namespace brelvo::bench {

struct Document {
  std::string name;
  std::string text;  // compact JSON
};

// Many small objects and short strings, some escaped or non-ASCII (~600 KB).
std::string social_feed_document();
// Arrays of floats with up to 17 significant digits (~2 MB).
std::string geometry_document();
// Deep nesting, many distinct keys per object (~1.7 MB).
std::string catalogue_document();
// 2,000 tool records as the application's "commands" answer gives them.
std::string tool_catalogue_document();
// A screenshot answer: 32 MiB of image bytes as "imageBase64".
std::string image_answer_document();
// The image text alone, for the Base64 decoder.
std::string image_base64_text();

// All of the above except the bare Base64 text, in a fixed order.
std::vector<Document> all_documents();

}  // namespace brelvo::bench
