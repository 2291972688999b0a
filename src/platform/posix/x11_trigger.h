// The trigger keys grabbed on the X display ($DISPLAY), for terminals whose
// keys reach only the X server.
//
// Private to the POSIX backend. libX11.so.6 is loaded at run time: the build
// needs neither its headers nor the library. The reader runs on the calling
// thread until the stop descriptor becomes readable, sleeping in poll() on
// the display connection between events.
#pragma once

#include <optional>
#include <string>

namespace reader::platform::posix {

struct X11TriggerConfig {
  // The keysym names (XStringToKeysym: "F13", "XF86Launch5") or numbers
  // ("0xffca") of trigger 1 and trigger 2; at least one is set.
  std::optional<std::string> keys[2];
};

// Grabs the keys on the root window (whatever modifiers are down) and posts a
// trigger press or release, as ReaderHostTriggerKey does, for each press and
// release; the X server's automatic repeats are not presses. A missing
// library or display, a key the display lacks or another client's grab of it
// is reported (reportTerminalProblem); a display that goes away ends the
// reader with one problem.
void runX11Trigger(const X11TriggerConfig &config, int stopFd);

}  // namespace reader::platform::posix
