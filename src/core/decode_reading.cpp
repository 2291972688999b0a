#include "core/decode_reading.h"

#include "core/link_protocol.h"

namespace reader {

bool readDecode(DeviceChannel &channel, ScanResult &out, int timeoutMs, const WaitCancel *cancel) {
  out = ScanResult();
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && link->readDecode != nullptr && link->readDecode(channel, out, timeoutMs, cancel);
}

void acknowledgeDecode(DeviceChannel &channel) {
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link != nullptr && link->acknowledgeDecode != nullptr) link->acknowledgeDecode(channel);
}

}  // namespace reader
