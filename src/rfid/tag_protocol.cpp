#include "rfid/tag_protocol.h"

#include "core/device_kind.h"

namespace reader {

const TagProtocol *tagProtocol(int kind) {
  switch (kind) {
    case DeviceKind::AsciiModule: return &kAsciiModuleTags;
    case DeviceKind::HexModule: return &kHexModuleTags;
    default: return nullptr;
  }
}

}  // namespace reader
