// The ASCII RFID module's link: text commands written as they stand, one
// answer line each, "v" to find the module (its version tells the variant)
// and "wp0C03" to move it to 57600 bit/s.
#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/frame_reader.h"
#include "core/hex_text.h"
#include "core/link_protocol.h"
#include "core/serial_channel.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
// A line of the module.
constexpr std::uint32_t kLongestAnswer = 256;

bool readLinkFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool, const WaitCancel *cancel) {
  FrameReader reader(lock, firstByteTimeoutMs, kInterByteGapMs, kLongestAnswer, 1, cancel);
  // Zero bytes are no part of a line.
  if (!readTerminatedFrame(lock, reader, out, kLf, [](std::uint8_t b, bool) { return b != 0; })) return false;
  if (!out.empty() && out.at(out.length() - 1) == kCr) out.popBack();
  return true;
}

bool probe(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  ByteString answer;
  if (!sendCommand(lock, "v", kProbeTimeoutMs, &answer, 3)) return false;
  std::uint32_t at = 0;
  if (answer.find(0, "MultiISO 1.0", at)) {
    channel.moduleVariant = 1;
    return true;
  }
  if (answer.find(0, "ISO 0.9v", at)) {
    channel.moduleVariant = 0;
    return true;
  }
  return false;
}

// The module knows one other speed; the command names none.
bool switchSpeed(const PortLock &lock, int) {
  DeviceChannel &channel = lock.channel();
  ByteString answer;
  bool sent = false;
  for (int i = 0; i < 2 && !sent; ++i) sent = sendCommand(lock, "wp0C03", kProbeTimeoutMs, &answer, 1);
  if (!sent) return false;
  if (answer.equals("F")) {
    channel.lastError = ChannelError::ModuleF;
    return false;
  }
  if (answer.equals("R")) {
    channel.lastError = ChannelError::ModuleR;
    return false;
  }
  return true;
}

// The module parameters 0x0A..0x1F, a byte each; one the module does not
// give is a 0.
void readConfiguration(const PortLock &lock, ByteString &out) {
  ByteString answer;
  for (int parameter = 0x0A; parameter <= 0x1F; ++parameter) {
    ByteString command;
    command.format("rp%02x", parameter);
    if (sendCommand(lock, command, kProbeTimeoutMs, &answer, 1) && !answer.equals("R")) {
      ByteString bytes;
      fromHexText(answer, bytes);
      out.append(bytes);
    } else {
      out.append(0);
    }
  }
}

}  // namespace

constinit const LinkProtocol kAsciiModuleLink = {
    .workingSpeed = 57600,
    .foundAt9600 = true,
    .readFrame = readLinkFrame,
    .longestAnswer = kLongestAnswer,
    .probe = probe,
    .switchSpeed = switchSpeed,
    .wrap = commandAsWritten,
    .write = writeFrame,
    .refused = answerNeverRefused,
    .answerTimeoutMs = 1000,
    .readConfiguration = readConfiguration,
};

}  // namespace reader
