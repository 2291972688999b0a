// Types shared by every platform service.
//
// The platform layer is the library's only door to the operating system. The
// core sees these headers and nothing else of the system: no handles, no
// system headers. One backend per platform implements them (posix/ and
// win32/), and the build picks the backend's files.
#pragma once

#include <cstdint>

namespace reader::platform {

// A system error code as the platform reports it (errno on POSIX,
// GetLastError on Windows); 0 means no error.
using ErrorCode = std::uint32_t;

// Wait without limit.
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

enum class WaitResult { Signaled, TimedOut, Failed };

}  // namespace reader::platform
