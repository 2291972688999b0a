// The serial trace: every frame written to and read from a channel's port,
// in hexadecimal, when tracing is switched on (READER_TRACE).
#pragma once

#include "core/byte_string.h"
#include "core/device_channel.h"

namespace reader {

// direction '>' for host to device, '<' for device to host; `complete` false
// marks a failed write or a frame that was cut short or timed out.
void traceFrame(const DeviceChannel &channel, char direction, const ByteString &bytes, bool complete);
void traceEvent(const DeviceChannel &channel, const char *what);
// "COM<n> speed <bits per second>"
void traceSpeed(const DeviceChannel &channel, int bitsPerSecond);
// "COM<n> open failed: <device>: <reason>", after an open of the channel's
// port failed.
void traceOpenFailure(const DeviceChannel &channel);

}  // namespace reader
