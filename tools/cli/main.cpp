// readerctl: the command-line tool of the reader library.
#include <atomic>
#include <csignal>
#include <iostream>

#include "host_adapter.h"
#include "invocation.h"

namespace {

std::atomic<bool> gStopRequested{false};

void requestStop(int) { gStopRequested = true; }

// scan, watch and tag watch end cleanly on SIGINT and SIGTERM, halting the
// reader; every other command keeps the default (the process ends at once).
// std::signal rather than sigaction: Windows has only the former (Ctrl-C
// raises SIGINT there).
void stopOnSignals() {
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
}

}  // namespace

int main(int argc, char **argv) {
#ifdef SIGPIPE
  // A reader of the output that goes away (readerctl watch | head -1) is
  // an ordinary end: the write fails instead, the command sees its output
  // gone and halts the reader, and the exit status stays 0.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  int status = 0;
  std::optional<readerctl::Invocation> invocation =
      readerctl::parseInvocation(argc, argv, std::cout, std::cerr, status);
  if (!invocation) return status;
  invocation->stderrIsTerminal = readerctl::host::standardErrorIsTerminal();
  if (invocation->waitsForDecodes()) stopOnSignals();
  return readerctl::runInvocation(*invocation, std::cout, std::cerr, gStopRequested);
}
