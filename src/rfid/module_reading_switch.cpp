#include "rfid/module_reading_switch.h"

#include "rfid/tag_protocol.h"

namespace reader {

bool switchModuleReading(const PortLock &lock, bool on) {
  DeviceChannel &channel = lock.channel();
  if (channel.scanOn == (on ? 1 : 0)) return true;
  const TagProtocol *tags = tagProtocol(channel.kind);
  return tags != nullptr && tags->switchReading(lock, on);
}

}  // namespace reader
