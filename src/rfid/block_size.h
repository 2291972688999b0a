// The block size of the tag just identified.
#pragma once

#include "core/port_lock.h"
#include "core/scan_result.h"

namespace reader {

// Sets `size` for the tag described by `tag` (its code is the TagType). The
// ASCII module knows the sizes of the ISO 14443 type A families; for the
// others block 0 is read and its length is the size, which also tells three
// families apart: an SR176 with 4-byte blocks is an SRIX4K, an Infineon or
// EM ISO 15693 tag with 8-byte blocks the my-d or EM4135 variant, and `tag`
// gets the refined code and name. The hex-frame module's ISO 15693 tags (all
// of code 16, which no refinement changes) are sized by block 0 the same
// way; its other families have fixed sizes. False when block 0 could not be
// read or the module kind has no tags.
bool determineBlockSize(const PortLock &lock, ScanResult &tag, int &size);

}  // namespace reader
