// The last RFID tag as the result queries give it: the one the last
// auto-read, ReadRfidData or WriteRfidData found.
#pragma once

#include "tag_report.h"

namespace readerctl {

// GetDecodeTagType, GetDecodeRfidUID and GetDecodeRfidData, as they stand
// now, and whether the module is of kind 6 (GetReaderType). Any thread.
Tag lastTag();

}  // namespace readerctl
