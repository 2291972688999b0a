// The run-time commands of reader-sim, one per line ("barcode code39:ABC",
// "status", ...): what the simulated devices see, and what they are doing.
//
// Every command is one row of one table (control_commands.cpp); a new
// command, such as one for the RFID module's tags, is a new row and its
// handler.
#pragma once

#include <string>
#include <string_view>

#include "readersim/terminal.h"

namespace readersim {

struct CommandResult {
  bool ok = true;
  // ok: what the command prints, lines ended by '\n' (may be empty).
  // Otherwise: a one-line error without a newline.
  std::string text;
};

class ControlCommands {
 public:
  explicit ControlCommands(const Terminal &terminal) : terminal_(terminal) {}

  // Runs one line. Spaces around it, a CR or LF at its end, blank lines and
  // lines starting with '#' are passed over; the command word is matched
  // without regard to case. Never throws: any failure is a result.
  CommandResult run(std::string_view line) const noexcept;

  // The command list with what each takes, then the symbology names.
  static std::string help();

 private:
  const Terminal &terminal_;
};

}  // namespace readersim
