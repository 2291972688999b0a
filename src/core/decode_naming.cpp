#include "core/decode_naming.h"

#include "core/link_protocol.h"

namespace reader {

void nameResult(const DeviceChannel &channel, ScanResult &result) {
  result.code = 0;
  result.name.reset();
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link != nullptr && link->name != nullptr) link->name(channel, result);
}

}  // namespace reader
