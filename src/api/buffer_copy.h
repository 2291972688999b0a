// Copying a text into a caller's buffer.
#pragma once

#include <string_view>

namespace reader {

// The shared rule: the whole text and its NUL when the buffer holds
// length + 1 bytes, and the result is the length; otherwise the first
// size - 1 bytes and a NUL, and the result is the size. The caller has
// checked the buffer (non-null, size >= 1).
int copyToBuffer(std::string_view text, char *buffer, int size);

}  // namespace reader
