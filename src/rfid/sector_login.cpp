#include "rfid/sector_login.h"

#include "core/command_transport.h"
#include "rfid/ascii_module_commands.h"
#include "rfid/module_status.h"

namespace reader {

namespace {

constexpr int kLoginTimeoutMs = 1000;
constexpr int kLoginAttempts = 2;
constexpr const char *kLoginAccepted = "L";

// The module ends a command at a line end: a key holding one would end the
// login early and have the module run the rest of the key as a command of
// its own (a block write, say), and its extra answers would be taken for
// the answers to later commands. Such a key is never sent.
bool endsACommand(const ByteString &key) {
  for (std::uint32_t i = 0; i < key.length(); ++i) {
    const std::uint8_t c = key.byteAt(i);
    if (c == '\r' || c == '\n') return true;
  }
  return false;
}

}  // namespace

bool loginSector(const PortLock &lock, int sector, const ByteString &key) {
  DeviceChannel &channel = lock.channel();
  if (sector < 0 || endsACommand(key)) return false;
  ByteString command = sectorLoginCommand(sector, key);
  ByteString answer;
  if (!sendCommand(lock, command, kLoginTimeoutMs, &answer, kLoginAttempts)) return false;
  if (answer.equals(kLoginAccepted)) return true;
  refusedWithStatus(channel, answer);
  return false;
}

bool SectorLogins::enter(int block) {
  const int sector = block / kMifareSectorBlocks;
  if (sector == sector_) return true;
  if (!loginSector(lock_, sector, key_)) return false;
  sector_ = sector;
  return true;
}

}  // namespace reader
