// The scan engine's wake-line status: a desktop has no such control, so no
// status is ever available and the core uses its fixed waits.
#include "platform/engine_line_status.h"

namespace reader::platform {

bool queryEngineLineStatus(const SerialPort *, std::uint32_t &) { return false; }

}  // namespace reader::platform
