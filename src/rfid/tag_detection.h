// Waiting for one tag from an RFID module that reads.
#pragma once

#include "core/device_channel.h"
#include "core/scan_result.h"
#include "core/serial_channel.h"

namespace reader {

// Reads the module's answer to its switch-on: a tag is named by its family
// (code and name), its UID text is the data, and the bytes the channel's
// readStart and readLength ask for are read into tagData (with blockSize).
// True when a tag was found; otherwise lastError says why:
// ChannelError::NoTag, the ASCII module's status letter, or the serial
// error of a read that timed out.
//
// The channel's stored result is not touched. Called with the channel's
// portLock held. With `cancel`, the wait for the answer to begin ends early
// once it is requested (see readFrame).
bool readTag(DeviceChannel &channel, ScanResult &out, const WaitCancel *cancel = nullptr);

}  // namespace reader
