#include <cerrno>

#include "platform/serial_port.h"

namespace reader::platform {

ErrorCode invalidPortError() { return EBADF; }

}  // namespace reader::platform
