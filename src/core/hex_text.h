// Bytes as hexadecimal text and back.
#pragma once

#include "core/byte_string.h"

namespace reader {

// Each byte as two uppercase hexadecimal digits; `out` is emptied first.
void toHexText(const ByteString &bytes, ByteString &out);

// Two characters per byte; an odd last character gives its value times 16.
// Characters are not validated: '0'..'9' count from '0', up to 'F' from 'A'
// as 10, anything above from 'a' as 10. `out` is emptied first.
void fromHexText(const ByteString &text, ByteString &out);

}  // namespace reader
