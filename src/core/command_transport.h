// The one way a command reaches the engine or the module: framed for the
// channel's kind, written, and, when an answer is wanted, read back and
// retried until the answer is acceptable.
#pragma once

#include "core/byte_string.h"
#include "core/device_channel.h"

namespace reader {

struct WaitCancel;

// Sends `command` (a text command for kinds 2, 5 and 6; an SSI packet without
// checksum for kinds 3 and 4, which gets its checksum appended in place).
// `timeoutMs` is the write time-out, and for the SSI engines also the wait
// for the answer; text engines and modules get 1000 ms for the answer.
//
// Without an answer buffer: the result of one write. With one: up to
// `attempts` exchanges, until an acceptable answer arrived (text engine: not
// "NG"; SSI: not a NAK from the engine; modules: any answer); `answer` holds
// the last answer read. Takes no lock. A channel being closed fails at once;
// with `cancel`, a request ends the wait for the answer (and the attempts)
// as a failure.
bool sendCommand(DeviceChannel &channel, ByteString &command, int timeoutMs, ByteString *answer,
                 int attempts, const WaitCancel *cancel = nullptr);

// The same for a command built in place.
inline bool sendCommand(DeviceChannel &channel, const char *text, int timeoutMs,
                        ByteString *answer, int attempts, const WaitCancel *cancel = nullptr) {
  ByteString command = ByteString::fromText(text);
  return sendCommand(channel, command, timeoutMs, answer, attempts, cancel);
}


}  // namespace reader
