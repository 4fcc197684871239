// Parsing, printing and Base64 decoding, ours next to RapidJSON, simdjson and
// nlohmann::json on the same generated documents. Names are
// "<operation>/<document>/<library>"; bench/report.py pairs them up.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>
#include <nlohmann/json.hpp>

#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "documents.h"
#include "json/base64.h"
#include "json/internal/shortest_digits.h"
#include "json/json_parse.h"
#include "json/json_text.h"

namespace brelvo::bench {
namespace {

struct Ours {
  static constexpr const char* kName = "brelvo";
  using Dom = json::JsonValue;
  static Dom parse(const std::string& text) {
    auto value = json::parse_json(text);
    if (!value) std::abort();
    return std::move(*value);
  }
  static std::size_t compact(const Dom& dom) { return json::to_compact_text(dom).size(); }
  static std::size_t indented(const Dom& dom) { return json::to_indented_text(dom).size(); }
};

// Full precision: every number correctly rounded, as ours, nlohmann's and
// simdjson's are. RapidJSON's default is faster but rounds some floats wrong
// (see RapidJsonFast), so it would not be the same work.
struct RapidJson {
  static constexpr const char* kName = "rapidjson";
  using Dom = rapidjson::Document;
  static void parse_into(Dom& dom, const std::string& text) {
    dom.Parse<rapidjson::kParseFullPrecisionFlag>(text.data(), text.size());
    if (dom.HasParseError()) std::abort();
  }
  // The text stays in RapidJSON's own buffer: no copy is charged to it.
  template <typename Writer>
  static std::size_t write(const Dom& dom, auto&&... configure) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    (configure(writer), ...);
    dom.Accept(writer);
    benchmark::DoNotOptimize(buffer.GetString());
    return buffer.GetSize();
  }
  static std::size_t compact(const Dom& dom) {
    return write<rapidjson::Writer<rapidjson::StringBuffer>>(dom);
  }
  static std::size_t indented(const Dom& dom) {
    return write<rapidjson::PrettyWriter<rapidjson::StringBuffer>>(
        dom, [](auto& writer) { writer.SetIndent(' ', 2); });
  }
};

// RapidJSON's default parse, shown for reference.
struct RapidJsonFast {
  static constexpr const char* kName = "rapidjson_fast";
  using Dom = rapidjson::Document;
  static void parse_into(Dom& dom, const std::string& text) {
    dom.Parse(text.data(), text.size());
    if (dom.HasParseError()) std::abort();
  }
};

// The floats two trees of one text hold differently, and all floats.
struct FloatCount {
  std::size_t different = 0;
  std::size_t all = 0;
};

void count_floats(const rapidjson::Value& a, const rapidjson::Value& b, FloatCount& count) {
  if (a.IsArray()) {
    for (rapidjson::SizeType i = 0; i < a.Size(); ++i) count_floats(a[i], b[i], count);
  } else if (a.IsObject()) {
    for (auto m = a.MemberBegin(), n = b.MemberBegin(); m != a.MemberEnd(); ++m, ++n)
      count_floats(m->value, n->value, count);
  } else if (a.IsDouble()) {
    ++count.all;
    if (a.GetDouble() != b.GetDouble()) ++count.different;
  }
}

// How many floats of a document RapidJSON's default parse rounds otherwise
// than its full-precision parse, which rounds them all correctly.
FloatCount misrounded_by_rapidjson_fast(const std::string& text) {
  rapidjson::Document fast;
  rapidjson::Document exact;
  RapidJsonFast::parse_into(fast, text);
  RapidJson::parse_into(exact, text);
  FloatCount count;
  count_floats(fast, exact, count);
  return count;
}

struct Nlohmann {
  static constexpr const char* kName = "nlohmann";
  using Dom = nlohmann::json;
  static Dom parse(const std::string& text) { return nlohmann::json::parse(text); }
  static std::size_t compact(const Dom& dom) { return dom.dump().size(); }
  static std::size_t indented(const Dom& dom) { return dom.dump(2).size(); }
};

// Each library builds its own tree outside the timed loop, then prints it.
template <typename Library>
void print_benchmark(benchmark::State& state, const std::string& text, bool indented) {
  typename Library::Dom dom;
  if constexpr (requires { Library::parse_into(dom, text); }) {
    Library::parse_into(dom, text);
  } else {
    dom = Library::parse(text);
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = indented ? Library::indented(dom) : Library::compact(dom);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

template <typename Library>
void parse_benchmark(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    if constexpr (requires(typename Library::Dom & dom) { Library::parse_into(dom, text); }) {
      typename Library::Dom dom;
      Library::parse_into(dom, text);
      benchmark::DoNotOptimize(&dom);
    } else {
      auto dom = Library::parse(text);
      benchmark::DoNotOptimize(&dom);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// simdjson reuses one parser and wants padded input, as its users do.
void simdjson_parse_benchmark(benchmark::State& state, const std::string& text) {
  simdjson::dom::parser parser;
  const simdjson::padded_string padded(text);
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(padded).get(root) != simdjson::SUCCESS) std::abort();
    benchmark::DoNotOptimize(&root);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void collect_floats(const json::JsonValue& value, std::vector<double>& floats) {
  if (const json::JsonNumber* number = value.as_number()) {
    // Zeros are printed without looking for digits.
    if (number->kind() == json::JsonNumber::Kind::kFloat && number->float_value() != 0.0)
      floats.push_back(number->float_value());
  } else if (const json::JsonArray* elements = value.as_array()) {
    for (const json::JsonValue& element : *elements) collect_floats(element, floats);
  } else if (const json::JsonObject* members = value.as_object()) {
    for (const json::JsonMember& member : *members) collect_floats(member.value, floats);
  }
}

// The shortest digits of each float, as the printer finds them, and nothing
// else: the least a printer that takes its digits from there can cost.
// Throughput is counted in the document's compact text, as printing's is.
void float_digits_benchmark(benchmark::State& state, const std::vector<double>& floats,
                            std::size_t compact_bytes) {
  json::internal::DigitBuffer buffer;
  for (auto _ : state) {
    for (double d : floats) {
      benchmark::DoNotOptimize(json::internal::shortest_digits(std::fabs(d), buffer));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * compact_bytes));
}

void base64_benchmark(benchmark::State& state, const std::string& text) {
  std::size_t decoded_bytes = 0;
  for (auto _ : state) {
    auto bytes = json::decode_base64(text);
    if (!bytes) std::abort();
    decoded_bytes = bytes->size();
    benchmark::DoNotOptimize(bytes->data());
  }
  // Throughput in image bytes, the figure a screenshot's size is given in.
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * decoded_bytes));
}

void add(const std::string& name, std::function<void(benchmark::State&)> body) {
  benchmark::RegisterBenchmark(name.c_str(), std::move(body))->Unit(benchmark::kMillisecond);
}

template <typename Library>
void add_printing(const Document& document) {
  const std::string& text = document.text;
  add("compact/" + document.name + "/" + Library::kName,
      [&text](benchmark::State& state) { print_benchmark<Library>(state, text, false); });
  add("indented/" + document.name + "/" + Library::kName,
      [&text](benchmark::State& state) { print_benchmark<Library>(state, text, true); });
}

template <typename Library>
void add_parsing(const Document& document) {
  const std::string& text = document.text;
  add("parse/" + document.name + "/" + Library::kName,
      [&text](benchmark::State& state) { parse_benchmark<Library>(state, text); });
}

void register_all() {
  static const std::vector<Document> documents = all_documents();
  static const std::string image_text = image_base64_text();
  for (const Document& document : documents) {
    // In the results' context, so the table can show what was measured.
    benchmark::AddCustomContext("document_bytes/" + document.name,
                                std::to_string(document.text.size()));
    const FloatCount misrounded = misrounded_by_rapidjson_fast(document.text);
    benchmark::AddCustomContext(
        "rapidjson_fast_misrounded/" + document.name,
        std::to_string(misrounded.different) + " of " + std::to_string(misrounded.all));
    add_parsing<Ours>(document);
    add_parsing<RapidJson>(document);
    add_parsing<RapidJsonFast>(document);
    add("parse/" + document.name + "/simdjson",
        [&document](benchmark::State& state) { simdjson_parse_benchmark(state, document.text); });
    add_parsing<Nlohmann>(document);
    add_printing<Ours>(document);
    add_printing<RapidJson>(document);
    add_printing<Nlohmann>(document);
    // The float digits alone on the document of floats.
    if (document.name == "geometry") {
      const json::JsonValue tree = Ours::parse(document.text);
      std::vector<double> floats;
      collect_floats(tree, floats);
      const std::size_t compact_bytes = Ours::compact(tree);
      add("float_digits/" + document.name + "/brelvo",
          [floats = std::move(floats), compact_bytes](benchmark::State& state) {
            float_digits_benchmark(state, floats, compact_bytes);
          });
    }
  }
  add("base64/image/brelvo", [](benchmark::State& state) { base64_benchmark(state, image_text); });
}

}  // namespace
}  // namespace brelvo::bench

int main(int argc, char** argv) {
  // Keep freed memory in the process: otherwise every iteration pays the
  // kernel's first-touch page faults again (several microseconds per page
  // on a virtual machine) and the figures measure the kernel, not the code.
  // Every library gets the same allocator.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, -1);
  benchmark::Initialize(&argc, argv);
  brelvo::bench::register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
