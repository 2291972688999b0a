// Placeholder until the configuration file is read: the environment only.
#include "platform/posix/terminal_config.h"

#include <cstdlib>

namespace reader::platform::posix {

std::optional<std::string> terminalSetting(const char *name) {
  const char *value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void reloadTerminalConfig() {}

void reportTerminalProblem(const std::string &) {}

std::string terminalProblems() { return {}; }

}  // namespace reader::platform::posix
