// The terminal's trigger keys, read by the library itself on Linux: from an
// input event device (READER_TRIGGER_DEVICE with READER_TRIGGER1_KEY and
// READER_TRIGGER2_KEY, READER_TRIGGER_GRAB) or from a key grab on the X
// display (READER_TRIGGER_X11). Each press and release posts the trigger
// message ReaderHostTriggerKey posts.
//
// Private to the POSIX backend. Start and stop are called from any thread,
// not concurrently with each other.
#pragma once

namespace reader::platform::posix {

// Starts reading the configured trigger keys on a thread of its own (nothing configured: nothing
// starts). Problems go to reportTerminalProblem; never fails the start. Idempotent.
void startTriggerKeys();
// Stops the reader thread and closes its device/display; returns when it has stopped. Idempotent.
void stopTriggerKeys();

}  // namespace reader::platform::posix
