#include "core/device_channel.h"

#include "core/serial_channel.h"

namespace reader {

DeviceChannel::DeviceChannel() { resetChannel(*this); }

// Nothing else can hold the lock of a channel that goes.
DeviceChannel::~DeviceChannel() { interruptPort(*this); }

void resetChannel(DeviceChannel &channel) {
  channel.portNumber = 0;
  channel.baudRate = 9600;
  channel.kind = 0;
  channel.lastError = 0;
  channel.result.clearCode();
  channel.blockSize = 0;
  channel.moduleVariant = 0;
  channel.protocolSelector = 0;
  channel.scanOn = 0;
  channel.stopRequested = 0;
  channel.closing = 0;
  channel.frameTailPending = 0;
  channel.autoScanToken = 0;
  channel.triggerMode = 0;
  channel.code128Accepted = 0;
  channel.ean128Accepted = 0;
  channel.aimTime = 0;
  // A pending wake or cancel belongs to the device that was closed.
  channel.idleWake.wait(0);
  channel.aimCancel.wait(0);
}

void configBlockChanged(DeviceChannel &channel) {
  constexpr std::uint32_t kTriggerModeByte = 20;
  constexpr std::uint32_t kCode128Byte = 22;
  const ByteString &block = channel.configBlock;
  const bool whole = block.length() >= kMinConfigBlockBytes;
  channel.triggerMode = whole ? (block.byteAt(kTriggerModeByte) >> 4) & 0x0F : 0;
  channel.code128Accepted = whole && (block.byteAt(kCode128Byte) & 0x80) != 0 ? 1 : 0;
  channel.ean128Accepted = whole && (block.byteAt(kCode128Byte) & 0x40) != 0 ? 1 : 0;
}

}  // namespace reader
