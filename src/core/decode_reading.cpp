#include "core/decode_reading.h"

#include "core/link_protocol.h"

namespace reader {

bool readDecode(const PortLock &lock, ScanResult &out, int timeoutMs, const WaitCancel *cancel) {
  DeviceChannel &channel = lock.channel();
  out = ScanResult();
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && link->readDecode != nullptr && link->readDecode(lock, out, timeoutMs, cancel);
}

void acknowledgeDecode(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link != nullptr && link->acknowledgeDecode != nullptr) link->acknowledgeDecode(lock);
}

}  // namespace reader
