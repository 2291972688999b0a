#include "core/command_transport.h"

#include "core/device_kind.h"
#include "core/serial_channel.h"
#include "core/ssi_checksum.h"
#include "core/ssi_message.h"
#include "platform/serial_port.h"

namespace reader {

namespace {

constexpr int kAnswerTimeoutMs = 1000;
constexpr int kTextEnginePreamble = 30;  // 0xFF bytes that wake the engine

// The attempts go on while the channel is not closing and nobody asked the
// exchange to end.
bool mayTry(const DeviceChannel &channel, const WaitCancel *cancel) {
  return channel.closing == 0 && (cancel == nullptr || !cancel->requested());
}

bool sendToTextEngine(DeviceChannel &channel, const ByteString &command, ByteString *answer,
                      int attempts, const WaitCancel *cancel) {
  ByteString frame;
  for (int i = 0; i < kTextEnginePreamble; ++i) frame.append(0xFF);
  frame.append(0x1B);
  frame.append(command);
  frame.append(0x0D);
  if (answer == nullptr) return writeFrame(channel, frame);
  if (attempts < 1) return false;
  for (int attempt = 0; attempt < attempts && mayTry(channel, cancel); ++attempt) {
    if (writeFrame(channel, frame) && readFrame(channel, *answer, kAnswerTimeoutMs, false, cancel) &&
        !answer->equals("NG"))
      return true;
  }
  return false;
}

bool writeSsi(DeviceChannel &channel, const ByteString &packet) {
  wakeLine(channel, 1);
  const bool written = writeFrame(channel, packet);
  wakeLine(channel, 0);
  return written;
}

bool sendToSsiEngine(DeviceChannel &channel, ByteString &packet, int timeoutMs, ByteString *answer,
                     int attempts, const WaitCancel *cancel) {
  appendSsiChecksum(packet);
  if (answer == nullptr) return writeSsi(channel, packet);
  if (attempts < 1) return false;
  for (int attempt = 0; attempt < attempts && mayTry(channel, cancel); ++attempt) {
    if (writeSsi(channel, packet) && readFrame(channel, *answer, timeoutMs, false, cancel) &&
        !isSsiNak(*answer))
      return true;
  }
  return false;
}

bool sendToModule(DeviceChannel &channel, const ByteString &command, ByteString *answer,
                  int attempts, const WaitCancel *cancel) {
  if (answer == nullptr) return writeFrame(channel, command);
  if (attempts < 1) return false;
  for (int attempt = 0; attempt < attempts && mayTry(channel, cancel); ++attempt) {
    if (writeFrame(channel, command) && readFrame(channel, *answer, kAnswerTimeoutMs, false, cancel))
      return true;
  }
  return false;
}

}  // namespace

bool isSsiNak(const ByteString &answer) {
  return answer.length() >= 5 && answer.byteAt(0) == 5 && answer.byteAt(1) == ssi::kNak &&
         answer.byteAt(2) == ssi::kSourceEngine && answer.byteAt(3) == 0;
}

namespace {

bool exchange(DeviceChannel &channel, ByteString &command, int timeoutMs, ByteString *answer, int attempts,
              const WaitCancel *cancel) {
  switch (channel.kind) {
    case DeviceKind::TextEngine:
      return sendToTextEngine(channel, command, answer, attempts, cancel);
    case DeviceKind::SsiEngine3:
    case DeviceKind::SsiEngine4:
      return sendToSsiEngine(channel, command, timeoutMs, answer, attempts, cancel);
    case DeviceKind::AsciiModule:
    case DeviceKind::HexModule:
      return sendToModule(channel, command, answer, attempts, cancel);
    default:
      return false;
  }
}

}  // namespace

bool sendCommand(DeviceChannel &channel, ByteString &command, int timeoutMs, ByteString *answer,
                 int attempts, const WaitCancel *cancel) {
  // A device being closed (halt, unload) takes no more commands: retries and
  // wake-line waits against a port that is going would only delay the close.
  if (channel.closing != 0) {
    channel.lastError = platform::invalidPortError();
    return false;
  }
  setTimeout(channel, timeoutMs, 'w');
  const std::uint32_t framesBefore = channel.framesRead;
  const bool accepted = exchange(channel, command, timeoutMs, answer, attempts, cancel);
  if (!accepted && answer != nullptr && attempts >= 1 && channel.framesRead == framesBefore)
    ++channel.unansweredExchanges;
  return accepted;
}

}  // namespace reader
