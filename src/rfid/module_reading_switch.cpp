#include "rfid/module_reading_switch.h"

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/hex_module_frames.h"
#include "core/serial_channel.h"
#include "platform/clock.h"

namespace reader {

namespace {

constexpr int kCommandTimeoutMs = 1000;
constexpr std::uint32_t kModuleWakeMs = 100;

bool asciiModuleOn(DeviceChannel &channel) {
  if (!openPort(channel)) return false;
  if (!setBaud(channel, channel.baudRate)) {
    closePort(channel);
    return false;
  }
  platform::sleepMs(kModuleWakeMs);
  if (sendCommand(channel, "s", kCommandTimeoutMs, nullptr, 0)) {
    channel.scanOn = 1;
    return true;
  }
  closePort(channel);
  return false;
}

bool hexModuleOn(DeviceChannel &channel) {
  const HexModuleFrame::Family *family = HexModuleFrame::family(channel.protocolSelector);
  if (family == nullptr || !sendCommand(channel, family->detect, kCommandTimeoutMs, nullptr, 0)) return false;
  channel.scanOn = 1;
  return true;
}

}  // namespace

bool switchModuleReading(DeviceChannel &channel, bool on) {
  const int wanted = on ? 1 : 0;
  if (channel.scanOn == wanted) return true;
  switch (channel.kind) {
    case DeviceKind::AsciiModule:
      if (on) return asciiModuleOn(channel);
      channel.scanOn = 0;
      closePort(channel);
      return true;
    case DeviceKind::HexModule:
      if (on) return hexModuleOn(channel);
      channel.scanOn = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace reader
