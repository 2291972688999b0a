// Owner-thread dispatch of window messages, for the host API.
//
// Private to the POSIX backend; implemented with the window system in
// window_messages.cpp.
#pragma once

namespace reader::platform::posix {

// Dispatches the pending messages of the windows the calling thread owns:
// messages sent from other threads first, as they arrive, and the messages
// that were posted when dispatching began (a message posted meanwhile, for
// example by a procedure to its own window, waits for the next call, so one
// call always ends). Waits up to timeoutMs for the first message (0: no wait,
// negative: no limit). A thread without windows just waits and returns 0.
// After shutdownWindows: returns 0 at once, and a waiting call wakes.
// Returns the number of messages dispatched.
int dispatchWindowMessages(int timeoutMs);

}  // namespace reader::platform::posix
