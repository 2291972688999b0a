// The trigger keys read from a Linux input event device (evdev).
//
// Private to the POSIX backend. The reader runs on the calling thread until
// the stop descriptor becomes readable; it sleeps in poll() between events
// and never wakes up on its own. A device that vanishes is closed and waited
// for by path (inotify on its directory), then reopened and grabbed again.
#pragma once

#include <optional>
#include <string>

namespace reader::platform::posix {

struct EvdevTriggerConfig {
  // An event device's path, or "name:" and the name the device reports
  // (EVIOCGNAME), looked up among the event* entries of the input directory
  // at the start and each time a device appears.
  std::string device;
  // The key codes of trigger 1 and trigger 2; at least one is set.
  std::optional<unsigned> keys[2];
  // Take the device for this reader alone (EVIOCGRAB), so that its keys do
  // not also type into the focused application.
  bool grab = false;
};

// Posts a trigger press or release, as ReaderHostTriggerKey does, for every
// press (value 1) and release (value 0) of a configured key; repeats (value 2)
// are not presses. Keys held when the device vanishes or the events were
// dropped are released. Problems (a missing or unreadable device, one that is
// not a keyboard or lacks a key) go to reportTerminalProblem.
void runEvdevTrigger(const EvdevTriggerConfig &config, int stopFd);

}  // namespace reader::platform::posix
