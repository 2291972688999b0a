#include "rfid/protocol_select.h"

#include "core/command_transport.h"
#include "core/device_kind.h"
#include "rfid/hex_module_frames.h"

namespace reader {

bool selectProtocol(DeviceChannel &channel) {
  if (channel.kind != DeviceKind::HexModule) return false;
  const char *frame = nullptr;
  switch (channel.protocolSelector) {
    case 3: frame = HexModuleFrame::SelectIso14443A; break;
    case 5: frame = HexModuleFrame::SelectIso14443B; break;
    case 8: frame = HexModuleFrame::SelectTagit; break;
    case 16: frame = HexModuleFrame::SelectIso15693; break;
    default: return true;
  }
  ByteString answer;
  return sendCommand(channel, frame, 3000, &answer, 3);
}

}  // namespace reader
