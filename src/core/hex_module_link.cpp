// The hex-frame RFID module's link: frames of hexadecimal text written as
// they stand, an answer that ends when the line falls silent, and the probe
// frame to find the module. It runs at 115200 bit/s only.
#include "core/command_transport.h"
#include "core/frame_reader.h"
#include "core/hex_module_frames.h"
#include "core/link_protocol.h"
#include "core/serial_channel.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;

// The module's bracketed fields.
constexpr std::uint32_t kLongestAnswer = 512;

bool readLinkFrame(const PortLock &lock, ByteString &out, int firstByteTimeoutMs, bool, const WaitCancel *cancel) {
  FrameReader reader(lock, firstByteTimeoutMs, kHexModuleGapMs, kLongestAnswer, 1, cancel);
  std::uint8_t b = 0;
  if (!reader.next(b)) return false;
  out.append(b);
  while (!reader.exhausted()) {
    if (!reader.next(b)) {
      // Only the line falling silent ends this kind's frame.
      if (reader.stopped() == FrameReader::Stop::Silence) return true;
      reader.discardInputIfStillTalking();
      return false;
    }
    out.append(b);
  }
  reader.dropRestOfFrame(-1);
  reader.discardInputIfStillTalking();
  return false;
}

bool probe(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  ByteString answer;
  if (!sendCommand(lock, HexModuleFrame::Probe, kProbeTimeoutMs, &answer, 3)) return false;
  channel.moduleVariant = 2;
  return true;
}

}  // namespace

constinit const LinkProtocol kHexModuleLink = {
    .workingSpeed = 115200,
    .foundAt9600 = false,
    .readFrame = readLinkFrame,
    .longestAnswer = kLongestAnswer,
    .probe = probe,
    .switchSpeed = noSpeedToSwitch,
    .wrap = commandAsWritten,
    .write = writeFrame,
    .refused = answerNeverRefused,
    .answerTimeoutMs = 1000,
};

}  // namespace reader
