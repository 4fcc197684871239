// The two text forms of a JsonValue.
//
//   to_compact_text(v)   {"a":"x","b":[1,2.5]}       what goes over the wire
//   to_indented_text(v)  {\n  "a": "x",\n  "b": [...]  what the command line prints
//
// Neither form ends with a line feed. Keys come out in ascending byte order,
// so equal values give equal text. The append_ forms write into the caller's
// buffer, so a message and its trailing line feed take one allocation;
// write_indented_text hands the text over in pieces as it is made.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "json/json_value.h"

namespace brelvo::json {

std::string to_compact_text(const JsonValue& value);
std::string to_indented_text(const JsonValue& value);

void append_compact_text(std::string& out, const JsonValue& value);
void append_indented_text(std::string& out, const JsonValue& value);

// Takes a piece of printed text; false refuses it and stops the printing.
using TextSink = std::function<bool(std::string_view)>;
// The indented text and then end (a line feed, say) handed to sink in
// pieces of up to 64 KiB as the text is made, long strings straight from the
// value, so no copy of the whole text is held. False when sink refused a
// piece; it is handed nothing after that.
bool write_indented_text(const JsonValue& value, std::string_view end, const TextSink& sink);

// A string in its text form, quotes and escapes included.
void append_quoted_string(std::string& out, std::string_view text);

}  // namespace brelvo::json
