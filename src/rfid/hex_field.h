// Hexadecimal fields in the modules' answers, read strictly: a field that is
// not whole bytes of hexadecimal digits is refused rather than guessed at, so
// a garbled answer never turns into tag bytes or a UID.
#pragma once

#include "core/byte_string.h"

namespace reader {

// True when the text is one or more hexadecimal digits (either case).
bool isHexText(const ByteString &text);

// Decodes pairs of hexadecimal digits (either case) into bytes. False, with
// `bytes` empty, for an odd count or any other character; an empty text
// gives no bytes and true.
bool decodeHexField(const ByteString &text, ByteString &bytes);

}  // namespace reader
