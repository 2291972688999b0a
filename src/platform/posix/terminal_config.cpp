// Placeholder until the configuration file is read: settings from the
// environment only, problems kept in memory, each text once.
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {
namespace {

std::mutex problemsMutex;
std::set<std::string> seen;
std::string problems;

}  // namespace

std::optional<std::string> terminalSetting(const char *name) {
  if (const char *value = std::getenv(name)) return std::string(value);
  return std::nullopt;
}

void reloadTerminalConfig() {
  std::lock_guard lock(problemsMutex);
  seen.clear();
  problems.clear();
}

void reportTerminalProblem(const std::string &text) {
  std::lock_guard lock(problemsMutex);
  if (seen.insert(text).second) problems += text + "\r\n";
}

std::string terminalProblems() {
  std::lock_guard lock(problemsMutex);
  return problems;
}

}  // namespace reader::platform::posix
