#include "rfid/module_reading_switch.h"

#include "rfid/tag_protocol.h"

namespace reader {

bool switchModuleReading(DeviceChannel &channel, bool on) {
  if (channel.scanOn == (on ? 1 : 0)) return true;
  const TagProtocol *tags = tagProtocol(channel.kind);
  return tags != nullptr && tags->switchReading(channel, on);
}

}  // namespace reader
