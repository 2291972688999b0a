#include "core/link_protocol.h"

#include "core/device_kind.h"

namespace reader {

const LinkProtocol *linkProtocol(int kind) {
  switch (kind) {
    case DeviceKind::TextEngine: return &kTextEngineLink;
    case DeviceKind::SsiEngine3: return &kSsiEngine3Link;
    case DeviceKind::SsiEngine4: return &kSsiEngine4Link;
    case DeviceKind::AsciiModule: return &kAsciiModuleLink;
    case DeviceKind::HexModule: return &kHexModuleLink;
    default: return nullptr;
  }
}

}  // namespace reader
