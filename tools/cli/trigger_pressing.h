// Whether readerctl presses trigger key 1 itself for scan, watch and tag
// watch. It stands in for the key driver where there is none: on the built-in
// simulated terminal, and where no trigger key is configured. On a Linux
// terminal whose trigger the library reads (READER_TRIGGER_DEVICE or
// READER_TRIGGER_X11, in the environment or the configuration file) the
// user's own press starts the scans, and readerctl only waits for it.
// --press and --no-press decide it instead.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace readerctl {

enum class TriggerPressing {
  automatic,  // as the terminal is: see pressesTrigger
  always,     // --press
  never,      // --no-press
};

// The choice `word` makes: --press or --no-press; nullopt for another word.
std::optional<TriggerPressing> pressingWord(const std::string &word);

// Whether the library reads the terminal's own trigger keys: a trigger
// device or X11 key is configured. Never on Windows, whose library has no
// such reader (trigger_keys_configured_posix.cpp, _win32.cpp).
bool triggerKeysConfigured();

// Whether readerctl presses the trigger: always with --press, never with
// --no-press, and otherwise unless real devices are used (not the built-in
// `simulated` terminal) and the trigger keys are configured.
bool pressesTrigger(TriggerPressing choice, bool simulated);

// The note, once per command, that readerctl waits for the user's press.
void noteWaitingForTrigger(std::ostream &err);

}  // namespace readerctl
