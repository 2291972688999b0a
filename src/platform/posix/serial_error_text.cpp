#include "platform/posix/serial_error_text.h"

#include <cerrno>
#include <system_error>

namespace reader::platform::posix {

namespace {

// The errors an open of a misnamed, busy or forbidden device gives, named for
// what the user then does; the rest in the system's words.
std::string reason(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV: return "no such device";
    case EACCES:
    case EPERM: return "permission denied";
    case EBUSY: return "busy: another process is using the port";
    case ENOTTY: return "not a serial line";
    case EISDIR: return "not a serial line (a directory)";
    default: return std::generic_category().message(error);
  }
}

}  // namespace

std::string serialErrorText(int error) { return reason(error) + " (errno " + std::to_string(error) + ")"; }

}  // namespace reader::platform::posix
