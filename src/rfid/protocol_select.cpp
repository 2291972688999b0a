#include "rfid/protocol_select.h"

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/hex_module_frames.h"

namespace reader {

bool selectProtocol(DeviceChannel &channel) {
  if (channel.kind != DeviceKind::HexModule) return false;
  const HexModuleFrame::Family *family = HexModuleFrame::family(channel.protocolSelector);
  if (family == nullptr) return true;
  ByteString answer;
  return sendCommand(channel, family->select, 3000, &answer, 3);
}

}  // namespace reader
