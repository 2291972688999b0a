// The trigger keys read from an input device (evdev) or grabbed on an X
// display, as the terminal's configuration names them. Private to the POSIX
// backend.
#pragma once

namespace reader::platform::posix {

// Starts reading the configured trigger keys on a thread of its own (nothing
// configured: nothing starts). Problems are reported, never fail the start.
// Idempotent.
void startTriggerKeys();
// Stops the reader and closes its device or display; returns when it has
// stopped. Idempotent.
void stopTriggerKeys();

}  // namespace reader::platform::posix
