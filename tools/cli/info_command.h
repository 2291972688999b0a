// readerctl info: what the reader found.
#pragma once

#include <ostream>

#include "reader_session.h"

namespace readerctl {

// Prints the library version, the serial number, the start result, what was
// found and the active devices, as lines or (`json`) one JSON object.
// Returns the exit status: 0 when the start succeeded, 1 otherwise.
int runInfoCommand(ReaderSession &session, bool json, std::ostream &out, std::ostream &err);

}  // namespace readerctl
