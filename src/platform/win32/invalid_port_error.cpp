#include <windows.h>

#include "platform/serial_port.h"

namespace reader::platform {

ErrorCode invalidPortError() { return ERROR_INVALID_HANDLE; }

}  // namespace reader::platform
