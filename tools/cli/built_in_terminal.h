// The built-in simulated terminal: the simulators of tools/sim on
// pseudo-terminals in this process, used when READER_COM1 and READER_COM2 are
// both unset. Only Linux has it (built_in_terminal_posix.cpp); on Windows the
// devices are always the machine's COM1 and COM2 (built_in_terminal_win32.cpp).
#pragma once

#include <memory>
#include <ostream>

#include "cli_options.h"

namespace readerctl {

class BuiltInTerminal {
 public:
  virtual ~BuiltInTerminal() = default;  // also restores the environment it set

  // Puts the --barcode barcodes in front of the simulated engine.
  virtual void presentBarcodes() = 0;

  // Prints the simulated devices' traffic logs.
  virtual void printTraffic(std::ostream &out) const = 0;
};

// Whether this host has a built-in simulated terminal.
bool builtInTerminalAvailable();

// Makes the terminal the options describe, points the library's environment
// (READER_COM1, READER_MODEL, ...) at it and says so on `notice`. nullptr
// when it cannot, with a message on `err` and `status` 1 (the terminal cannot
// be made) or 2 (its engine refuses a barcode given, or there is no engine
// for it).
std::unique_ptr<BuiltInTerminal> startBuiltInTerminal(const CliOptions &options, std::ostream &notice,
                                                      std::ostream &err, int &status);

}  // namespace readerctl
