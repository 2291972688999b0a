// One complete RFID tag detection and read.
#pragma once

#include "core/byte_string.h"
#include "core/reader_device.h"

namespace reader {

struct TagReadResult {
  int tagType = 0;
  ByteString typeName;
  ByteString uid;
  ByteString data;
  int blockSize = 0;
};

// Switches reading on, waits for a tag, identifies it and reads `length`
// bytes from `start` (negative: the family's default). True when a tag was
// identified and its ScanResult stored.
bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key,
                   TagReadResult &result);

}  // namespace reader
