// Windows has no built-in simulated terminal: the simulators need
// pseudo-terminals. readerctl refuses its options there (see invocation.cpp).
#include "built_in_terminal.h"

namespace readerctl {

bool builtInTerminalAvailable() { return false; }

std::unique_ptr<BuiltInTerminal> startBuiltInTerminal(const CliOptions &, std::ostream &, std::ostream &err,
                                                      int &status) {
  err << "readerctl: the built-in simulated terminal exists only on Linux\n";
  status = 1;
  return nullptr;
}

}  // namespace readerctl
