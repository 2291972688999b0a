// Reading the requested data bytes of the tag just identified.
#pragma once

#include "core/port_lock.h"
#include "core/scan_result.h"
#include "rfid/tag_request.h"

namespace reader {

// Reads the bytes `request` asks for of the tag described by `tag` (UID in
// data, TagType in code) into tag.tagData, and sets tag.blockSize (refining
// code and name where the block size tells). Mifare sectors are logged in to
// with the request's key; a Tag-it tag is read as `detection` describes it.
//
// The bytes returned are always the contiguous run from the requested
// start: a block that cannot be read ends the read with what came before
// it. The hex-frame module reads Tag-it and ISO 15693 tags only; when its
// block answers are not as long as the block size, no data at all is kept
// and lastError is ChannelError::WrongBlockLength.
//
// True when tagData is not empty. The caller holds portLock and has switched
// reading on.
bool readTagData(const PortLock &lock, ScanResult &tag, const TagRequest &request, const TagDetection &detection = {});

}  // namespace reader
