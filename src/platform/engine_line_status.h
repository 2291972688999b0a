// Status of the scan engine's wake line.
//
// Required of every backend; a backend without it returns false, and the
// callers then fall back to fixed waits.
#pragma once

#include <cstdint>

namespace reader::platform {

// Reads the line status: 0 once the engine has noticed an asserted wake line,
// 1 once it has noticed its release. false when no status is available.
bool queryEngineLineStatus(std::uint32_t &status);

}  // namespace reader::platform
