#include "trigger_pressing.h"

namespace readerctl {

std::optional<TriggerPressing> pressingWord(const std::string &word) {
  if (word == "--press") return TriggerPressing::always;
  if (word == "--no-press") return TriggerPressing::never;
  return std::nullopt;
}

bool pressesTrigger(TriggerPressing choice, bool simulated) {
  switch (choice) {
    case TriggerPressing::always: return true;
    case TriggerPressing::never: return false;
    case TriggerPressing::automatic: break;
  }
  return simulated || !triggerKeysConfigured();
}

void noteWaitingForTrigger(std::ostream &err) {
  err << "readerctl: waiting for the trigger key (press it on the terminal; --press presses it for you)\n";
}

}  // namespace readerctl
