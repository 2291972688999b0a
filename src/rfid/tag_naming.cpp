#include "rfid/tag_naming.h"

#include "rfid/tag_protocol.h"

namespace reader {

void nameTag(const DeviceChannel &channel, ScanResult &result) {
  result.code = 0;
  result.name.reset();
  if (const TagProtocol *tags = tagProtocol(channel.kind)) tags->name(channel, result);
}

}  // namespace reader
