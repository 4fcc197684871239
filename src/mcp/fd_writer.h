// write_all: one whole message to a descriptor, written without stdio
// buffering so nothing can linger or interleave.
//
//   write_all(1, "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
#pragma once

#include <string_view>

namespace brelvo::mcp {

// Retries interrupted and partial writes. Any other failure (a closed pipe,
// for one) drops the rest of the bytes silently: the peer is gone and there
// is nobody left to tell.
void write_all(int fd, std::string_view bytes);

}  // namespace brelvo::mcp
