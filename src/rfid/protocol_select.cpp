#include "rfid/protocol_select.h"

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/hex_module_frames.h"

namespace reader {

bool selectProtocol(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  if (channel.kind != DeviceKind::HexModule) return false;
  const HexModuleFrame::Family *family = HexModuleFrame::family(channel.protocolSelector);
  if (family == nullptr) return true;
  ByteString answer;
  return sendCommand(lock, family->select, 3000, &answer, 3);
}

}  // namespace reader
