#include "platform/process.h"

#include <windows.h>

namespace reader::platform {

std::uint64_t currentProcessId() { return GetCurrentProcessId(); }

}  // namespace reader::platform
