// One complete RFID tag detection and read.
#pragma once

#include "core/byte_string.h"
#include "core/reader_device.h"
#include "core/scan_result.h"

namespace reader {

// Under the RFID channel's portLock (waited for without limit): switches
// reading on, waits for a tag, identifies it, reads `length` bytes from byte
// address `start` (negative: the family's first data block; Mifare sectors
// logged in to with `key`) and switches reading off.
//
// The ASCII module's port is opened for the cycle and closed after it. The
// hex-frame module's port is reopened if the idle close shut it, and the air
// protocols are tried in the order ISO 15693, ISO 14443 type A, Tag-it,
// ISO 14443 type B, starting at the one selected now, two detections each,
// 100 ms apart; the protocol that found the tag stays selected, and the idle
// close starts its wait afresh.
//
// True when a tag was identified: it is then the channel's ScanResult and is
// copied to `out`. A data read that fails does not fail the cycle: the tag
// comes with the bytes gathered. False otherwise, with lastError saying why
// (NoTag when the module reported none); the stored result stays as it was.
bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key, ScanResult &out);

// The same cycle; `wrongBlockLength` is set when the tag was identified but
// its block answers were not as long as its block size, so that none of the
// data asked for could be placed (the tag then comes without data).
bool rfidReadCycle(ReaderDevice &device, int start, int length, const ByteString &key, ScanResult &out,
                   bool &wrongBlockLength);

}  // namespace reader
