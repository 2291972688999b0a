// The ASCII module's tag commands as the text that goes on the wire. Numbers
// are two lowercase hexadecimal digits ("rb0a" reads block 10), data is
// uppercase hexadecimal; nothing is appended.
#pragma once

#include "core/byte_string.h"

namespace reader {

// "l" + sector + the key text as it is (its low 8 bits).
ByteString sectorLoginCommand(int sector, const ByteString &key);

// "rb" + block on a "MultiISO 1.0" module (moduleVariant 1), "r" + block on
// an "ISO 0.9v" module (moduleVariant 0).
ByteString blockReadCommand(int moduleVariant, int block);

// "wb" or "w" (as for reading) + block + the whole block as hexadecimal.
ByteString blockWriteCommand(int moduleVariant, int block, const ByteString &blockBytes);

}  // namespace reader
