// Throwaway stand-in for the terminal configuration (environment only), so
// that the trigger-key tests link before the configuration file's reader
// exists. Problems are kept once per text, as the real one keeps them.
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/terminal_config.h"

namespace reader::platform::posix {
namespace {
std::mutex gMutex;
std::vector<std::string> gProblems;
}  // namespace

std::optional<std::string> terminalSetting(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void reloadTerminalConfig() {
  std::lock_guard lock(gMutex);
  gProblems.clear();
}

void reportTerminalProblem(const std::string &text) {
  std::lock_guard lock(gMutex);
  for (const std::string &problem : gProblems) {
    if (problem == text) return;
  }
  gProblems.push_back(text);
}

std::string terminalProblems() {
  std::lock_guard lock(gMutex);
  std::string out;
  for (const std::string &problem : gProblems) out += problem + "\r\n";
  return out;
}

}  // namespace reader::platform::posix
