#include "rfid/tag_cycle.h"

namespace reader {

// Tag cycles are not built yet: a released RFID thread finds no tag.
bool rfidReadCycle(ReaderDevice &device, int, int, const ByteString &, TagReadResult &) {
  device.rfid.lastError = 0;
  return false;
}

}  // namespace reader
