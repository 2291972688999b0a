#include "core/engine_detection.h"

#include <cstring>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/link_protocol.h"
#include "core/reader_device.h"
#include "core/serial_channel.h"
#include "platform/terminal_identity.h"

namespace reader {

namespace {

constexpr int kProbeTimeoutMs = 1000;

// The hex-frame module is tried after the ASCII one when the model does not
// say which the terminal carries.
bool identifyRfidByModel(const PortLock &lock, int model) {
  DeviceChannel &channel = lock.channel();
  switch (model) {
    case Model::Hlm3100xe: channel.kind = DeviceKind::HexModule; return negotiateLink(lock);
    case Model::Hlm3200xe: channel.kind = DeviceKind::AsciiModule; return negotiateLink(lock);
    default:
      channel.kind = DeviceKind::AsciiModule;
      if (negotiateLink(lock)) return true;
      channel.kind = DeviceKind::HexModule;
      return negotiateLink(lock);
  }
}

}  // namespace

int readModel() {
  char description[100] = {};
  if (!platform::readModelDescription(description, sizeof description)) return Model::Unknown;
  if (std::strcmp(description, "HLM3100XE") == 0) return Model::Hlm3100xe;
  if (std::strcmp(description, "HLM3200XE") == 0) return Model::Hlm3200xe;
  if (std::strcmp(description, "Pocket_PC") == 0) return Model::Hlm3200xe;
  return Model::Unknown;
}

bool probeDevice(const PortLock &lock, int bitsPerSecond) {
  DeviceChannel &channel = lock.channel();
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && setBaud(lock, bitsPerSecond) && link->probe(lock);
}

bool switchEngineBaud(const PortLock &lock, int bitsPerSecond) {
  DeviceChannel &channel = lock.channel();
  const LinkProtocol *link = linkProtocol(channel.kind);
  return link != nullptr && link->switchSpeed(lock, bitsPerSecond);
}

namespace {

// A device found at 9600 is moved to its working speed; a refused switch
// keeps a working link at 9600.
bool moveToSpeed(const PortLock &lock, int speed) {
  if (switchEngineBaud(lock, speed)) setBaud(lock, speed);
  return true;
}

}  // namespace

bool negotiateLink(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  // The revision answer may change the SSI kind during the probe; the speed
  // follows the kind the negotiation started with.
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr) return false;
  const int speed = link->workingSpeed;
  if (probeDevice(lock, speed)) return true;
  return link->foundAt9600 && probeDevice(lock, 9600) && moveToSpeed(lock, speed);
}

bool renegotiateLinkAfterDefaults(const PortLock &lock) {
  DeviceChannel &channel = lock.channel();
  const LinkProtocol *link = linkProtocol(channel.kind);
  if (link == nullptr || !link->foundAt9600) return negotiateLink(lock);
  // The engine's own defaults put it at 9600: asked there first, so that the
  // working speed's probes, which would all go unanswered, are not waited
  // out. An engine that kept its speed is found there next.
  const int speed = link->workingSpeed;
  if (probeDevice(lock, 9600)) return moveToSpeed(lock, speed);
  return probeDevice(lock, speed);
}

bool sendEngineDefaults(const PortLock &lock) {
  const LinkProtocol *link = linkProtocol(lock.channel().kind);
  return link != nullptr && link->sendDefaults != nullptr && link->sendDefaults(lock);
}

void readConfiguration(const PortLock &lock, ByteString &out) {
  const LinkProtocol *link = linkProtocol(lock.channel().kind);
  if (link != nullptr && link->readConfiguration != nullptr) link->readConfiguration(lock, out);
}

namespace {

// The engine the fitted-hardware text names (character 0), and whether it
// names an RFID module (character 2); nothing for a text shorter than 3.
struct FittedHardware {
  int engineKind = DeviceKind::None;
  bool rfidModule = false;
};

FittedHardware readFittedHardware() {
  char hardware[20] = {};
  platform::queryDeviceInformation(platform::kInfoFittedHardware, hardware, sizeof hardware);
  FittedHardware fitted;
  if (std::strlen(hardware) < 3) return fitted;
  switch (hardware[0]) {
    case '1':
    case '2': fitted.engineKind = DeviceKind::TextEngine; break;
    case '3': fitted.engineKind = DeviceKind::SsiEngine3; break;
    case '4':
    case '5': fitted.engineKind = DeviceKind::SsiEngine4; break;
    default: break;
  }
  fitted.rfidModule = hardware[2] == '1';
  return fitted;
}

}  // namespace

int fittedKind(const DeviceChannel &channel, int model) {
  const FittedHardware fitted = readFittedHardware();
  if (channel.portNumber == 1) return fitted.engineKind;
  if (channel.portNumber == 2 && fitted.rfidModule) {
    // As identification leaves it: a model that does not tell ends on the
    // hex-frame module, tried last.
    return model == Model::Hlm3200xe ? DeviceKind::AsciiModule : DeviceKind::HexModule;
  }
  return DeviceKind::None;
}

bool identifyByHardware(const PortLock &lock, int model) {
  DeviceChannel &channel = lock.channel();
  channel.kind = DeviceKind::None;
  const FittedHardware fitted = readFittedHardware();
  if (channel.portNumber == 1) {
    if (fitted.engineKind == DeviceKind::None) return false;
    channel.kind = fitted.engineKind;
    if (!negotiateLink(lock)) return false;
    // An engine with parameters to send (SSI) gets them; one with a
    // configuration to keep (text) has it read.
    const LinkProtocol *link = linkProtocol(channel.kind);
    if (link != nullptr && link->sendDefaults != nullptr) return link->sendDefaults(lock);
    readConfiguration(lock, channel.configBlock);
    configBlockChanged(channel);
    return true;
  }
  if (channel.portNumber == 2) return fitted.rfidModule && identifyRfidByModel(lock, model);
  return false;
}

bool identifyByRequest(const PortLock &lock, int requestedKind, int model) {
  DeviceChannel &channel = lock.channel();
  bool found = false;
  if (channel.portNumber == 1) {
    if (requestedKind >= DeviceKind::TextEngine && requestedKind <= DeviceKind::SsiEngine4) {
      channel.kind = requestedKind;
      found = negotiateLink(lock);
    } else {
      for (int kind = DeviceKind::TextEngine; kind <= DeviceKind::SsiEngine4 && !found; ++kind) {
        channel.kind = kind;
        found = negotiateLink(lock);
      }
    }
  } else if (channel.portNumber == 2) {
    if (requestedKind == DeviceKind::AsciiModule || requestedKind == DeviceKind::HexModule) {
      channel.kind = requestedKind;
      found = negotiateLink(lock);
    } else {
      found = identifyRfidByModel(lock, model);
    }
  }
  if (!found) channel.kind = DeviceKind::None;
  return found;
}

}  // namespace reader
