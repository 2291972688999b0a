// Waiting for one tag from an RFID module that reads, and the steps of a read
// cycle that both module kinds share.
#pragma once

#include "core/port_lock.h"
#include "core/scan_result.h"
#include "core/serial_channel.h"
#include "rfid/tag_request.h"

namespace reader {

// Reads the module's answer to its switch-on: a tag is named by its family
// (code and name), its UID text is the data, and the bytes `request` asks
// for are read into tagData (with blockSize).
// True when a tag was found; otherwise lastError says why:
// ChannelError::NoTag, the ASCII module's status letter, or the serial
// error of a read that timed out.
//
// The channel's stored result is not touched. Called with the channel's
// portLock held. With `cancel`, the wait for the answer to begin ends early
// once it is requested (see readFrame).
bool readTag(const PortLock &lock, ScanResult &out, const TagRequest &request, const WaitCancel *cancel = nullptr);

// One detection: the module's reading switched on for it and off again, and
// the tag read. `wrongBlockLength` tells that its data read gave up on block
// answers of the wrong length (the tag then has no data).
bool detectTag(const PortLock &lock, ScanResult &candidate, const TagRequest &request, bool &wrongBlockLength);

// Stores a detected tag as the channel's result and hands it out.
void acceptTag(DeviceChannel &channel, ScanResult &candidate, ScanResult &out);

// No tag answered: lastError says so; false. The first also empties what
// arrived.
bool noTag(DeviceChannel &channel, ScanResult &out);
bool noTagFound(DeviceChannel &channel);

}  // namespace reader
