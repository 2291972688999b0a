// Naming a decode: the device's own type marker becomes the library's type
// code and a readable type name, and the data loses what is not data (type
// prefix, check digits the user does not want, symbology identifiers).
#pragma once

#include "core/device_channel.h"
#include "core/scan_result.h"

namespace reader {

// The name of a type no table knows. The SSI engines and the RFID modules
// have always reported it so (the text engine says "unknown"), and
// applications compare against that text.
inline constexpr const char *kUnknownTypeName = "unkonwn";

// Names a barcode engine's decode: sets result.code and result.name from
// result.data and the channel's kind, and trims result.data. For the text
// engine the configuration block is read, so the caller holds the channel's
// portLock (or is the only user of the block). Any data, however short or
// odd, is safe. Tags are named by nameTag (rfid/tag_naming.h).
void nameResult(const DeviceChannel &channel, ScanResult &result);

}  // namespace reader
