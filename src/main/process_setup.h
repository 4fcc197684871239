// The process state every run starts from.
#pragma once

namespace brelvo::cli {

// Ignores SIGPIPE, so that writing to a closed pipe or socket fails with
// EPIPE where it happens instead of killing the process, and reopens any of
// descriptors 0, 1 and 2 that is closed on /dev/null, so that no socket or
// file the program opens later can take their place.
void prepare_process();

}  // namespace brelvo::cli
