// Throwaway stand-in for the terminal configuration until its own source
// lands: settings come from the environment only, and problems are kept as
// the real one keeps them (each text once until the next reload).
#include <cstdlib>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {
namespace {

std::mutex gLock;
std::set<std::string> gSeen;  // guarded by gLock
std::string gProblems;        // guarded by gLock

}  // namespace

std::optional<std::string> terminalSetting(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void reloadTerminalConfig() {
  std::lock_guard guard(gLock);
  gSeen.clear();
  gProblems.clear();
}

void reportTerminalProblem(const std::string &text) {
  std::lock_guard guard(gLock);
  if (gSeen.insert(text).second) gProblems += text + "\r\n";
}

std::string terminalProblems() {
  std::lock_guard guard(gLock);
  return gProblems;
}

}  // namespace reader::platform::posix
