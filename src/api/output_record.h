// The output record: the last decode as the user has configured it to be
// handed on (type code, four-digit length, prefix, data, suffix; for RFID
// the UID and the tag data), and the same record with its terminator as the
// keyboard path types it. Built fresh from the stored result and the library
// options on every call; nothing is cached.
#pragma once

#include "core/byte_string.h"

namespace reader {

// The record of the last barcode decode (mask 7) or RFID result (mask 32);
// empty for any other mask. It carries no terminator.
ByteString buildOutputRecord(int mask);

// The record for the keyboard (which: 1 barcode, 2 RFID): at most 999
// bytes and cut at its first NUL, with the configured terminator after or
// before it. Any other value of which leaves `out` empty.
void buildTerminatedRecord(int which, ByteString &out);

}  // namespace reader
