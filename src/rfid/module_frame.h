// Building the hex-frame module's frames: 01, the total length in bytes (this
// byte and the two trailing zeros included), 00 03 04, the command, its
// parameters, 00 00, sent as uppercase hexadecimal text.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/byte_string.h"

namespace reader {

// The frame of `command` with `parameters`, as hexadecimal text. Each
// element of `parameterBytes` is appended after `parameters` (block data).
ByteString moduleFrame(std::uint8_t command, std::initializer_list<std::uint8_t> parameters,
                       const ByteString &parameterBytes = ByteString());

// Reading one block of a Tag-it (TagType 8) or ISO 15693 (16) tag; an empty
// text for any other TagType or a block outside 0..255.
ByteString blockReadFrame(int tagType, int block);

// Reading blocks `block` and `block` + 1 of an ISO 15693 tag at once; an
// empty text for a block outside 0..255.
ByteString blockPairReadFrame(int block);

// Writing one whole block of a Tag-it or ISO 15693 tag; an empty text for
// any other TagType or a block outside 0..255.
ByteString blockWriteFrame(int tagType, int block, const ByteString &blockBytes);

}  // namespace reader
