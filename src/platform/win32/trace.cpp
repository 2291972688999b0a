// The serial trace on Windows: one line at a time to standard error.
#include "platform/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace reader::platform {

// Read once, on the first call; later changes to READER_TRACE are not seen.
bool traceEnabled() {
  static const bool enabled = [] {
    const char *value = std::getenv("READER_TRACE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
  }();
  return enabled;
}

void traceLine(const char *line) {
  std::fprintf(stderr, "%s\n", line == nullptr ? "" : line);  // one call: lines never mix
}

}  // namespace reader::platform
