// The serial trace on Windows: one line at a time to standard error.
#include "platform/trace.h"

#include <cstdio>

namespace reader::platform {

void traceLine(const char *line) {
  std::fprintf(stderr, "%s\n", line == nullptr ? "" : line);  // one call: lines never mix
}

}  // namespace reader::platform
