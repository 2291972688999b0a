// The hex-frame RFID module's link: frames of hexadecimal text written as
// they stand, an answer that ends when the line falls silent, and the probe
// frame to find the module. It runs at 115200 bit/s only.
#include "core/command_transport.h"
#include "core/hex_module_frames.h"
#include "core/link_protocol.h"
#include "core/serial_channel.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;

ByteString asWritten(ByteString &command) { return command; }

bool neverRefused(const ByteString &) { return false; }

bool probe(DeviceChannel &channel) {
  ByteString answer;
  if (!sendCommand(channel, HexModuleFrame::Probe, kProbeTimeoutMs, &answer, 3)) return false;
  channel.moduleVariant = 2;
  return true;
}

bool noSpeedToSwitch(DeviceChannel &, int) { return true; }

}  // namespace

const LinkProtocol kHexModuleLink = {
    .workingSpeed = 115200,
    .foundAt9600 = false,
    .probe = probe,
    .switchSpeed = noSpeedToSwitch,
    .wrap = asWritten,
    .write = writeFrame,
    .refused = neverRefused,
    .answerTimeoutMs = 1000,
    .scan = nullptr,
    .readDecode = nullptr,
    .acknowledgeDecode = nullptr,
    .triggersItself = nullptr,
    .filtersCode128 = false,
    .name = nullptr,
};

}  // namespace reader
