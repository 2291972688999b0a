// The tag protocol of each RFID module kind, in one table entry per kind:
// switching its reading, detecting and naming a tag, the read cycle, reading
// and writing a block, and the block sizes it knows. The rest of rfid/ works
// through these entries; adding a module kind is one new file and one entry
// in tag_protocol.cpp.
#pragma once

#include <span>

#include "core/byte_string.h"
#include "core/port_lock.h"
#include "core/scan_result.h"
#include "core/serial_channel.h"
#include "rfid/tag_request.h"

namespace reader {

// A tag family whose block size the module's naming already tells.
struct FixedBlockSize {
  int tagType;
  int size;
};

struct TagProtocol {
  // Makes the module ready before a read cycle or a write (the hex-frame
  // module's port may have been closed by the idle close).
  bool (*prepare)(const PortLock &lock);
  // Switches the module's reading on or off (see switchModuleReading).
  bool (*switchReading)(const PortLock &lock, bool on);
  // Reads the module's answer to its switch-on: a tag, named, with the data
  // the channel's request asks for (see readTag).
  bool (*readTag)(const PortLock &lock, ScanResult &out, const TagRequest &request, const WaitCancel *cancel);
  // Names a tag from the module's answer (see nameTag).
  void (*name)(const DeviceChannel &channel, ScanResult &result);
  // One read cycle under the port lock: detections until a tag is found or
  // the module's tries are used up.
  bool (*cycle)(const PortLock &lock, ScanResult &out, const TagRequest &request, bool &wrongBlockLength);
  // One block of the tag, read or written whole.
  bool (*readBlock)(const PortLock &lock, int tagType, int block, ByteString &bytes);
  bool (*writeBlock)(const PortLock &lock, int tagType, int block, const ByteString &bytes);
  // A block read back is exactly the tag's block (otherwise it may bring
  // more: the pages after it).
  bool blockReadIsExact;
  std::span<const FixedBlockSize> fixedBlockSizes;
  // Whether the module has block commands for the family.
  bool (*writable)(int tagType);
};

// The entry of a module kind; nullptr for any other kind.
const TagProtocol *tagProtocol(int kind);

extern const TagProtocol kAsciiModuleTags;
extern const TagProtocol kHexModuleTags;

}  // namespace reader
