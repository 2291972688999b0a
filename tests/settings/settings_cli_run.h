// `readerctl settings ...` run in-process, against the reader the test has
// started: its exit status and what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "settings_command.h"

namespace settings_testing {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun settings(const std::vector<std::string> &args) {
  std::ostringstream out, err;
  const int status = readerctl::runSettingsCommand(args, out, err);
  return {status, out.str(), err.str()};
}

inline bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

}  // namespace settings_testing
