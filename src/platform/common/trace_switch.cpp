// Whether the serial trace is on: the environment variable READER_TRACE,
// nonempty and not "0".
#include <cstdlib>
#include <cstring>

#include "platform/trace.h"

namespace reader::platform {

// Read once, on the first call; later changes to READER_TRACE are not seen.
bool traceEnabled() {
  static const bool enabled = [] {
    const char *value = std::getenv("READER_TRACE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
  }();
  return enabled;
}

}  // namespace reader::platform
