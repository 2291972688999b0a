// The one way a command reaches the engine or the module: framed for the
// channel's kind, written, and, when an answer is wanted, read back and
// retried until the answer is acceptable.
#pragma once

#include "core/byte_string.h"
#include "core/port_lock.h"

namespace reader {

struct WaitCancel;

// Sends `command` (a text command for kinds 2, 5 and 6; an SSI packet without
// checksum for kinds 3 and 4, which is sent with its checksum; `command`
// itself is left as it is).
// `timeoutMs` is the write time-out, and for the SSI engines also the wait
// for the answer; text engines and modules get 1000 ms for the answer.
//
// Without an answer buffer: the result of one write. With one: up to
// `attempts` exchanges, until an acceptable answer arrived (text engine: not
// "NG"; SSI: not a NAK from the engine; modules: any answer); `answer` holds
// the last answer read. Runs under the caller's lock (the token). A channel
// being closed fails at once;
// with `cancel`, a request ends the wait for the answer (and the attempts)
// as a failure.
bool sendCommand(const PortLock &lock, const ByteString &command, int timeoutMs, ByteString *answer, int attempts,
                 const WaitCancel *cancel = nullptr);

// The same for a command built in place.
inline bool sendCommand(const PortLock &lock, const char *text, int timeoutMs, ByteString *answer, int attempts,
                        const WaitCancel *cancel = nullptr) {
  return sendCommand(lock, ByteString::fromText(text), timeoutMs, answer, attempts, cancel);
}

}  // namespace reader
