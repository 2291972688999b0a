#include "rfid/sector_login.h"

#include "core/command_transport.h"
#include "rfid/ascii_module_commands.h"
#include "rfid/module_status.h"

namespace reader {

namespace {

constexpr int kLoginTimeoutMs = 1000;
constexpr int kLoginAttempts = 2;
constexpr const char *kLoginAccepted = "L";

}  // namespace

bool loginSector(DeviceChannel &channel, int sector) {
  if (sector < 0) return false;
  ByteString command = sectorLoginCommand(sector, channel.tagKey);
  ByteString answer;
  if (!sendCommand(channel, command, kLoginTimeoutMs, &answer, kLoginAttempts)) return false;
  if (answer.equals(kLoginAccepted)) return true;
  refusedWithStatus(channel, answer);
  return false;
}

bool SectorLogins::enter(int block) {
  const int sector = block / kMifareSectorBlocks;
  if (sector == sector_) return true;
  if (!loginSector(channel_, sector)) return false;
  sector_ = sector;
  return true;
}

}  // namespace reader
