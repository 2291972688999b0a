// Naming a tag a module reported: its family becomes the tag type code and
// name, and the data keeps the UID text.
#pragma once

#include "core/device_channel.h"
#include "core/scan_result.h"

namespace reader {

// Sets result.code and result.name from the module's answer in result.data
// (ASCII module: the family letter, removed; hex-frame module: the family
// the module was set to) and the channel's kind. Any data is safe.
void nameTag(const DeviceChannel &channel, ScanResult &result);

}  // namespace reader
