#include "rfid/module_port_reopen.h"

#include "core/serial_channel.h"
#include "rfid/module_setup.h"
#include "rfid/protocol_select.h"

namespace reader {

bool reopenRfidPort(DeviceChannel &channel) {
  if (channel.port.isOpen()) return true;
  if (!openPort(channel)) return false;
  if (!setBaud(channel, channel.baudRate)) {
    closePort(channel);
    return false;
  }
  return applyHexModuleSetup(channel) && selectProtocol(channel);
}

}  // namespace reader
