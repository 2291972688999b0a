#include "rfid/module_setup.h"

#include <atomic>

#include "core/command_transport.h"
#include "core/engine_detection.h"
#include "core/hex_module_frames.h"
#include "core/serial_channel.h"
#include "platform/clock.h"

namespace reader {

namespace {

// The hex-frame module keeps its set-up for as long as it is powered, so each
// frame is sent once per library lifetime, after its first acceptance.
std::atomic<int> setupFrame1Sent{0};
std::atomic<int> setupFrame2Sent{0};

// Writes a module parameter until the module confirms the value, up to ten
// times.
void writeParameterConfirmed(const PortLock &lock, const char *command, const char *expected) {
  for (int i = 0; i < 10; ++i) {
    ByteString answer;
    if (sendCommand(lock, command, 1000, &answer, 3) && answer.equals(expected)) return;
  }
}

}  // namespace

bool applyAsciiModuleSetup(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  if (!openPort(lock)) return false;
  if (!negotiateLink(lock)) {
    closePort(lock);
    return false;
  }
  platform::sleepMs(100);
  writeParameterConfirmed(lock, "wp0B08", "08");
  writeParameterConfirmed(lock, "wp0E7F", "7F");
  // The block holds the module's parameters as read now, not appended to the
  // ones of an earlier set-up.
  channel.configBlock.reset();
  readConfiguration(lock, channel.configBlock);
  closePort(lock);
  return true;
}

bool applyHexModuleSetup(const PortLock &lock) {
  if (setupFrame1Sent == 1 && setupFrame2Sent == 1) return true;
  ByteString answer;
  if (setupFrame1Sent == 0) {
    if (!sendCommand(lock, HexModuleFrame::SetupFirst, 3000, &answer, 3)) return false;
    setupFrame1Sent = 1;
  }
  if (setupFrame2Sent == 0) {
    const bool sent = sendCommand(lock, HexModuleFrame::SetupSecond, 3000, &answer, 3);
    if (sent) setupFrame2Sent = 1;
    return sent;
  }
  return true;
}

}  // namespace reader
