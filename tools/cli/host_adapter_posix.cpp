// readerctl's host adapter on POSIX: the library's host API stands in for the
// window system and the key driver, and hands the trace over.
#include <3100XE_DLL.h>
#include <unistd.h>

#include <cstdlib>

#include "host_adapter.h"

namespace readerctl::host {

namespace {

struct TraceTarget {
  TraceListener listener = nullptr;
  void *context = nullptr;
};

TraceTarget gTraceTarget;

// The output listener carries every kind of output; only the trace is wanted.
void forwardTrace(const ReaderOutput *output, void *context) {
  const auto *target = static_cast<const TraceTarget *>(context);
  if (output->kind == READER_OUTPUT_TRACE && output->text != nullptr) target->listener(output->text, target->context);
}

}  // namespace

int dispatch(int timeoutMs) { return ReaderHostDispatch(timeoutMs); }

bool triggerKey(int key, bool pressed) { return ReaderHostTriggerKey(key, pressed ? 1 : 0) == 1; }

bool setBroadcastListener(BroadcastListener listener, void *context) {
  ReaderHostSetBroadcastListener(listener, context);
  return true;
}

void enableTrace() { setenv("READER_TRACE", "1", 1); }

bool setTraceListener(TraceListener listener, void *context) {
  // Once removed, the old listener is not running: the target may change.
  ReaderHostSetOutputListener(nullptr, nullptr);
  if (listener == nullptr) return true;
  gTraceTarget = {listener, context};
  ReaderHostSetOutputListener(&forwardTrace, &gTraceTarget);
  return true;
}

int linkSpeed(int port) { return ReaderHostGetLinkSpeed(port); }

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace readerctl::host
