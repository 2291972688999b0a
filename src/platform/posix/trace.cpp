// The serial trace on POSIX: to the host's output listener, else to stderr.
#include "platform/trace.h"

#include <cstdio>

#include "3100XE_DLL.h"
#include "platform/posix/host_listeners.h"

namespace reader::platform {

void traceLine(const char *line) {
  if (line == nullptr) line = "";
  ReaderOutput output{};
  output.kind = READER_OUTPUT_TRACE;
  output.text = line;
  if (!posix::emitOutput(output)) {
    std::fprintf(stderr, "%s\n", line);  // one call: lines of two threads never mix
  }
}

}  // namespace reader::platform
