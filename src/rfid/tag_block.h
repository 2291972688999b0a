// One block of tag memory: read it, or overlay bytes on it and write it
// back. Both modules; the caller holds the RFID channel's portLock and has
// switched reading on (the ASCII module's port is open only then).
#pragma once

#include <cstdint>

#include "core/byte_string.h"
#include "core/port_lock.h"

namespace reader {

// Reads block 0..255 of the tag of TagType `tagType` into `bytes` (raw,
// emptied first). ASCII module: any tag; hex-frame module: Tag-it (8) and
// ISO 15693 (16) only. False for no answer, a status letter (lastError set
// from it), or an answer that holds no block (lastError NoTag), an ISO 15693
// error reply included.
bool readTagBlock(const PortLock &lock, int tagType, int block, ByteString &bytes);

// Reads the block, puts `data` at `offset` in it (bytes that would fall past
// its end are dropped: the block never grows) and writes the whole block
// back. `placed` is the number of data bytes the written block carries. False
// for empty data, an offset outside the block, a failed read, a block that
// reads back shorter than the tag's `blockSize` (when given), or on the
// hex-frame module with any other length (lastError ChannelError::WrongBlockLength), or a
// write the module or the tag refused or did not answer (lastError says why).
bool writeTagBlock(const PortLock &lock, int tagType, int blockSize, int block, int offset, const ByteString &data,
                   std::uint32_t &placed);

}  // namespace reader
