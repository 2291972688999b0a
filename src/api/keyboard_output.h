// Typing an output record into the application that has the keyboard focus.
#pragma once

#include "core/byte_string.h"

namespace reader {

// Types the record: runs of characters are posted as characters, each line
// feed or carriage return as a press and release of that virtual key (a CR
// is the Enter key). A byte above 127 is typed as its value 128 to 255.
// Never throws; when memory runs out nothing is typed.
void typeRecord(const ByteString &record) noexcept;

}  // namespace reader
