#include "rfid/tag_cycle.h"

#include "core/port_lock.h"
#include "rfid/tag_protocol.h"

namespace reader {

bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key, ScanResult &out) {
  bool wrongBlockLength = false;
  return rfidReadCycle(device, start, length, key, out, wrongBlockLength);
}

bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key, ScanResult &out,
                   bool &wrongBlockLength) {
  wrongBlockLength = false;
  DeviceChannel &channel = device.rfid;
  if (device.rfidPresent == 0) return false;
  const auto held = PortLock::take(channel);
  // The module may have been halted while this cycle waited for the port.
  if (!held || device.rfidPresent == 0) return false;
  const PortLock &lock = *held;
  channel.lastError = 0;
  const TagProtocol *tags = tagProtocol(channel.kind);
  if (tags == nullptr || !tags->prepare(lock)) return false;
  return tags->cycle(lock, out, TagRequest{start, length, key}, wrongBlockLength);
}

}  // namespace reader
