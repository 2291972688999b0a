#include "rfid/module_port_reopen.h"

#include "core/serial_channel.h"
#include "rfid/module_setup.h"
#include "rfid/protocol_select.h"

namespace reader {

bool reopenRfidPort(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  if (channel.port.isOpen()) return true;
  if (!openPort(lock)) return false;
  if (!setBaud(lock, channel.baudRate)) {
    closePort(lock);
    return false;
  }
  return applyHexModuleSetup(lock) && selectProtocol(lock);
}

}  // namespace reader
