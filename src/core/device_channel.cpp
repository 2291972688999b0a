#include "core/device_channel.h"

#include "core/serial_channel.h"

namespace reader {

DeviceChannel::DeviceChannel(ReaderDevice &owner) : device(owner) { resetChannel(*this); }

DeviceChannel::~DeviceChannel() { releaseChannel(*this); }

void resetChannel(DeviceChannel &channel) {
  channel.portNumber = 0;
  channel.timeoutMs = 3000;
  channel.baudRate = 9600;
  channel.kind = 0;
  channel.lastError = 0;
  channel.resultCode = 0;
  channel.readStart = 0;
  channel.readLength = 0;
  channel.blockSize = 0;
  channel.moduleVariant = 0;
  channel.protocolSelector = 0;
  channel.tagBlockCount = 0;
  channel.tagInfoByte = 0;
  channel.scanOn = 0;
  channel.aimTime = 0;
  // A pending wake or cancel belongs to the device that was closed.
  channel.idleWake.wait(0);
  channel.aimCancel.wait(0);
}

void releaseChannel(DeviceChannel &channel) { closePort(channel); }

}  // namespace reader
