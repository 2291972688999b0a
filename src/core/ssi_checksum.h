// The SSI packet checksum.
#pragma once

#include "core/byte_string.h"

namespace reader {

// Appends the two's complement of the 16-bit byte sum, high byte first:
// 04 E4 04 00 gets FF 14.
void appendSsiChecksum(ByteString &packet);

}  // namespace reader
