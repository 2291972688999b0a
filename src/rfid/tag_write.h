// Writing data into tag memory by byte address.
#pragma once

#include <cstdint>

#include "core/byte_string.h"
#include "core/reader_device.h"

namespace reader {

// Under the RFID channel's portLock (waited for without limit): switches
// reading on with the protocol selected now (the hex-frame module's port is
// reopened if the idle close shut it), identifies the tag in the field (it
// becomes the channel's ScanResult), and writes `data` from byte address
// `start` (negative: the family's first data block, Mifare sector trailers
// passed over) block by block, each block read, overlaid and written back.
// Mifare sectors are logged in to with `key`.
//
// At most kMaxTagDataBytes bytes are placed, and none past the family's last
// block. The first block that cannot be written (or sector refused) ends
// the write, so no byte ever lands at another address than its own.
//
// Returns the number of data bytes written, 0 when none was (no tag, a range
// outside the tag, an ISO 14443 tag on the hex-frame module, a refusal, a
// block size the tag's block answers do not bear out).
std::uint32_t writeTagData(ReaderDevice &device, int start, const ByteString &data, const ByteString &key);

}  // namespace reader
