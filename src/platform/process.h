// The running process.
//
// Required of every backend.
#pragma once

#include <cstdint>

namespace reader::platform {

// The identifier of the calling process. On POSIX it changes in a child
// made by fork(): what the library created before the fork belongs to the
// parent.
std::uint64_t currentProcessId();

}  // namespace reader::platform
