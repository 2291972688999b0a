// The ASCII module's one-letter status answers and the ChannelError each
// stands for. "L" (a login accepted) is not among them: it is no error.
#pragma once

#include <cstdint>

#include "core/byte_string.h"
#include "core/device_channel.h"

namespace reader {

// The error of a status answer ("?", "F", "N", "O" or "R"); 0 for any other
// answer.
std::uint32_t moduleStatusError(const ByteString &answer);

// For a status answer: stores its error in lastError and returns true.
bool refusedWithStatus(DeviceChannel &channel, const ByteString &answer);

}  // namespace reader
