#include "core/command_transport.h"

#include "core/link_protocol.h"
#include "core/serial_channel.h"
#include "platform/serial_port.h"

namespace reader {

namespace {

// The attempts go on while the channel is not closing and nobody asked the
// exchange to end.
bool mayTry(const DeviceChannel &channel, const WaitCancel *cancel) {
  return channel.closing == 0 && (cancel == nullptr || !cancel->requested());
}

bool exchange(const PortLock &lock, const ByteString &command, int timeoutMs, ByteString *answer, int attempts,
              const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr) return false;
  const ByteString frame = link->wrap(command);
  if (answer == nullptr) return link->write(lock, frame);
  if (attempts < 1) return false;
  const int answerTimeoutMs = link->answerTimeoutMs != 0 ? link->answerTimeoutMs : timeoutMs;
  for (int attempt = 0; attempt < attempts && mayTry(channel, cancel); ++attempt) {
    if (link->write(lock, frame) && readFrame(lock, *answer, answerTimeoutMs, false, cancel) && !link->refused(*answer))
      return true;
  }
  return false;
}

}  // namespace

bool sendCommand(const PortLock &lock, const ByteString &command, int timeoutMs, ByteString *answer, int attempts,
                 const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  // A device being closed (halt, unload) takes no more commands: retries and
  // wake-line waits against a port that is going would only delay the close.
  if (channel.closing != 0) {
    channel.lastError = platform::invalidPortError();
    return false;
  }
  setTimeout(lock, timeoutMs, 'w');
  const std::uint32_t framesBefore = channel.framesRead;
  const bool accepted = exchange(lock, command, timeoutMs, answer, attempts, cancel);
  if (!accepted && answer != nullptr && attempts >= 1 && channel.framesRead == framesBefore)
    ++channel.unansweredExchanges;
  return accepted;
}

}  // namespace reader
